// How /Run's text names the program to start. Portable: no <windows.h>.
#pragma once

#include <string>
#include <vector>

namespace kestrin {

struct ProgramSplit {
  std::string program;    // quotes removed
  std::string arguments;  // the text after it, as it was written
};

// The ways the system may read `text` as a program and its arguments, in the order it tries
// them: a quoted name is one way; an unquoted one ends at each blank in turn, shortest first
// ("C:\Program Files\x.exe" may be "C:\Program" with "Files\x.exe" after it).
std::vector<ProgramSplit> ProgramSplits(const std::string& text);

// The folder a program named with one starts in ("D:\Games\X\x.exe" gives "D:\Games\X\");
// empty for a bare name, which keeps the current folder.
std::string ProgramFolder(const std::string& program);

// A shell link (".lnk"), which the system cannot start itself.
bool IsShortcutName(const std::string& program);

// `argument` as one word of a command line: quoted when it holds a blank or is empty.
std::string QuotedArgument(const std::string& argument);

}  // namespace kestrin
