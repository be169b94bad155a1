// Where the snapshot and the options file lie: beside the program, by its long path. Paths
// are UTF-8 (utf8_win.h converts them for the system).
#pragma once

#include <string>

namespace kestrin {

// <program directory>\<computer>_desktop_<user>.sav. False, with the thread's last error
// set, when a name or the module path can't be read or the path would not fit 260 UTF-16
// units.
bool SnapshotPath(std::string* path);

// The program's long path with its last "." and what follows replaced by ".ini". False,
// with the last error set, when the module path can't be read or the result would not fit.
bool OptionsPath(std::string* path);

// The directory of the program's long path, with its trailing backslash. False, with the
// last error set, when the module path can't be read or names no directory.
bool ProgramDirectoryPath(std::string* directory);

}  // namespace kestrin
