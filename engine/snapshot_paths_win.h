// Where the snapshot and the options file lie: beside the program, by its long path.
#pragma once

#include <string>

namespace kestrin {

// <program directory>\<computer>_desktop_<user>.sav. False, with the thread's last error
// set, when a name or the module path can't be read or the path would not fit 260
// characters.
bool SnapshotPath(std::string* path);

// The program's long path with its last "." and what follows replaced by ".ini". False,
// with the last error set, when the module path can't be read or the result would not fit.
bool OptionsPath(std::string* path);

}  // namespace kestrin
