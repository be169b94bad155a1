#include "uninstall_win.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "text_rules.h"
#include "win_handle_win.h"

namespace kestrin {

void DeleteAllSnapshots() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* slash = std::strrchr(path, '\\');
  if (!slash) return;
  slash[1] = '\0';
  const std::string directory = path;
  // Every deletion goes by full path, so a directory that can't be made current changes
  // nothing about which files go.
  SetCurrentDirectoryA(directory.c_str());
  const std::string pattern = directory + "*.sav";
  if (pattern.size() >= MAX_PATH) return;
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA(pattern.c_str(), &entry));
  if (!search) return;
  do {
    // The pattern also matches through 8.3 names ("notes.save") and any program's .sav
    // files: only snapshot names by their long form go.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!IsSnapshotFileName(entry.cFileName)) continue;
    const std::string file = directory + entry.cFileName;
    if (file.size() < MAX_PATH) DeleteFileA(file.c_str());
  } while (FindNextFileA(search.get(), &entry));
}

}  // namespace kestrin
