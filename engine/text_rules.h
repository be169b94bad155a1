// Texts and names of the snapshot and options files. Portable: no <windows.h>. Paths and
// names are UTF-8, so that characters outside the ANSI code page survive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrin {

// Path buffers hold 260 UTF-16 units, the terminator included.
constexpr size_t kPathCapacity = 260;
// NetBIOS computer names have at most 15 characters (UTF-16 units).
constexpr size_t kMaxComputerNameLength = 15;

// An options value as decimal text: leading blanks, an optional sign, then digits up to the
// first non-digit; 0 without digits. Saturates at the int limits, so however many digits
// there are a non-zero number stays non-zero.
int OptionValue(const char* text);

// The directory part of a module path, trailing separator kept ("C:\Tools\x.exe" gives
// "C:\Tools\"); a bare "C:x.exe" gives "C:".
std::string ModuleDirectory(const std::string& modulePath);

// <directory of the long module path><computer>_desktop_<user>.sav. False, and *path
// untouched, when a name is empty or the result would not fit kPathCapacity, counted in
// UTF-16 units as the system counts it.
bool BuildSnapshotPath(const std::string& longModulePath, const std::string& computerName,
                       const std::string& userName, std::string* path);

// The long module path cut at its last "." (anywhere in the path), then ".ini". False, and
// *path untouched, when the result would not fit kPathCapacity (UTF-16 units).
bool BuildOptionsPath(const std::string& longModulePath, std::string* path);

struct CalendarTime {
  unsigned year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// "dd/mm/yyyy - hh:mm:ss"; an unknown time (all zero) gives "00/00/0 - 00:00:00".
std::string SaveTimeText(const CalendarTime& time);

// Where a save writes the new snapshot before it takes the snapshot's place: the snapshot's
// path with ".tmp" for its ".sav". Same length, so it fits wherever the snapshot's path
// does; and not "*.sav", not even by its short name.
std::string SnapshotTempPath(const std::string& snapshotPath);

// The watcher's record for one primary resolution, beside the snapshot and of its form:
// COMPUTER_desktop_USER_1280x1024.sav.
std::string ResolutionRecordPath(const std::string& snapshotPath, uint32_t width, uint32_t height);

// True for a snapshot's own file name, COMPUTER_desktop_USER.sav, compared without regard
// to case. Not for "notes.save", "data.savings" or another program's "other.sav".
bool IsSnapshotFileName(const std::string& name);
// The same for the name of a save's temporary file, COMPUTER_desktop_USER.tmp.
bool IsSnapshotTempFileName(const std::string& name);

}  // namespace kestrin
