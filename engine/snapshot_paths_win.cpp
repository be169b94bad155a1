#include "snapshot_paths_win.h"

#include <windows.h>

#include "text_rules.h"

namespace kestrin {
namespace {

bool Refuse(DWORD error) {
  SetLastError(error);
  return false;
}

bool LongModulePath(std::string* out) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0) return false;
  if (length >= MAX_PATH) return Refuse(ERROR_FILENAME_EXCED_RANGE);
  char longPath[MAX_PATH] = {};
  const DWORD longLength = GetLongPathNameA(path, longPath, MAX_PATH);
  if (longLength >= MAX_PATH) return Refuse(ERROR_FILENAME_EXCED_RANGE);
  // Without a long form the path stays as the system gave it.
  *out = longLength ? std::string(longPath, longLength) : std::string(path, length);
  return true;
}

}  // namespace

bool SnapshotPath(std::string* path) {
  char user[259] = {};
  DWORD userSize = sizeof user;
  if (!GetUserNameA(user, &userSize)) return false;
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerSize = sizeof computer;
  if (!GetComputerNameA(computer, &computerSize)) return false;
  if (!user[0] || !computer[0]) return Refuse(ERROR_INVALID_NAME);
  std::string modulePath;
  if (!LongModulePath(&modulePath)) return false;
  return BuildSnapshotPath(modulePath, computer, user, path) || Refuse(ERROR_FILENAME_EXCED_RANGE);
}

bool OptionsPath(std::string* path) {
  std::string modulePath;
  if (!LongModulePath(&modulePath)) return false;
  return BuildOptionsPath(modulePath, path) || Refuse(ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace kestrin
