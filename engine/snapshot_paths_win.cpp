#include "snapshot_paths_win.h"

#include <windows.h>

#include <cwchar>

#include "text_rules.h"
#include "utf8_win.h"

namespace kestrin {
namespace {

// The longest path the wide functions take: the module path is read in full, so that only
// the paths built from it have to fit.
constexpr DWORD kLongPathCapacity = 32768;

bool Refuse(DWORD error) {
  SetLastError(error);
  return false;
}

bool LongModulePath(std::string* out) {
  std::wstring path(kLongPathCapacity, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &path[0], kLongPathCapacity);
  if (length == 0) return false;
  if (length >= kLongPathCapacity) return Refuse(ERROR_FILENAME_EXCED_RANGE);
  std::wstring longPath(kLongPathCapacity, L'\0');
  const DWORD longLength = GetLongPathNameW(path.c_str(), &longPath[0], kLongPathCapacity);
  if (longLength >= kLongPathCapacity) return Refuse(ERROR_FILENAME_EXCED_RANGE);
  // Without a long form the path stays as the system gave it.
  return longLength ? Utf8Text(longPath.data(), longLength, out)
                    : Utf8Text(path.data(), length, out);
}

}  // namespace

bool SnapshotPath(std::string* path) {
  wchar_t user[259] = {};
  DWORD userSize = ARRAYSIZE(user);
  if (!GetUserNameW(user, &userSize)) return false;
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerSize = ARRAYSIZE(computer);
  if (!GetComputerNameW(computer, &computerSize)) return false;
  if (!user[0] || !computer[0]) return Refuse(ERROR_INVALID_NAME);
  std::string userName, computerName, modulePath;
  if (!Utf8Text(user, wcslen(user), &userName) ||
      !Utf8Text(computer, wcslen(computer), &computerName) || !LongModulePath(&modulePath))
    return false;
  return BuildSnapshotPath(modulePath, computerName, userName, path) ||
         Refuse(ERROR_FILENAME_EXCED_RANGE);
}

bool OptionsPath(std::string* path) {
  std::string modulePath;
  if (!LongModulePath(&modulePath)) return false;
  return BuildOptionsPath(modulePath, path) || Refuse(ERROR_FILENAME_EXCED_RANGE);
}

bool ProgramDirectoryPath(std::string* directory) {
  std::string modulePath;
  if (!LongModulePath(&modulePath)) return false;
  *directory = ModuleDirectory(modulePath);
  return !directory->empty() || Refuse(ERROR_BAD_PATHNAME);
}

}  // namespace kestrin
