// Kestrin without its window: /Uninstall, /Save, /Restore and /Run, each failure one line
// on the console or standard error instead of a message box.
#pragma once

#include "command_line.h"

namespace kestrin {

// The process's exit code: 0 done, 1 something failed (each failure told in one line),
// 2 a bad command line (with the usage line); /Run: the program's own exit code once
// everything is back.
int RunCommandLine(const CommandLine& command);

}  // namespace kestrin
