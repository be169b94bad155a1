#include "uninstall_win.h"

#include <cwchar>
#include <string>

#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "utf8_win.h"
#include "win_handle_win.h"

namespace kestrin {

void DeleteAllSnapshots(const Report& report) {
  std::string directory;
  if (!ProgramDirectoryPath(&directory)) {
    report(Failed(Step::kListFolder, GetLastError()));
    return;
  }
  // Every deletion goes by full path, so a directory that can't be made current changes
  // nothing about which files go.
  SetCurrentDirectoryW(WideText(directory).c_str());
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW(WideText(directory + "*").c_str(), &entry));
  if (!search) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) report(Failed(Step::kListFolder, error));
    return;
  }
  do {
    // The long name decides (a "*.sav" pattern would match "notes.save" through its 8.3
    // name), and only the snapshot's own form goes, not any program's .sav or .tmp files.
    std::string name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!Utf8Text(entry.cFileName, wcslen(entry.cFileName), &name) ||
        !(IsSnapshotFileName(name) || IsSnapshotTempFileName(name)))
      continue;
    const std::string file = directory + name;
    if (!DeleteFileW(WideText(file).c_str())) {
      const DWORD error = GetLastError();
      report(Failed(Step::kDeleteFile, error, file));
    }
  } while (FindNextFileW(search.get(), &entry));
}

}  // namespace kestrin
