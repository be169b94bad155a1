#include "uninstall_win.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "utf8_win.h"
#include "win_handle_win.h"

namespace kestrin {

void DeleteAllSnapshots() {
  std::string directory;
  if (!ProgramDirectoryPath(&directory) || directory.empty()) return;
  // Every deletion goes by full path, so a directory that can't be made current changes
  // nothing about which files go.
  SetCurrentDirectoryW(WideText(directory).c_str());
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW(WideText(directory + "*.sav").c_str(), &entry));
  if (!search) return;
  do {
    // The pattern also matches through 8.3 names ("notes.save") and any program's .sav
    // files: only snapshot names by their long form go.
    std::string name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!Utf8Text(entry.cFileName, wcslen(entry.cFileName), &name) || !IsSnapshotFileName(name))
      continue;
    DeleteFileW(WideText(directory + name).c_str());
  } while (FindNextFileW(search.get(), &entry));
}

}  // namespace kestrin
