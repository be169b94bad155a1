// Kestrin's command line, read from the raw text the system hands the program. Portable:
// no <windows.h>.
//   (nothing, or a first argument that is no switch)  the window
//   /Uninstall                                          delete the snapshots
//   /Save                                               "Save Current" without a window
//   /Restore [/Icons] [/Resolution] [/Gamma]            "Restore Saved", or just those parts
//   /Run PROGRAM [ARGUMENTS...]                         run it, then put the screen back
//   /Watch [/Stop]                                      guard the desktop, or stop the guard
// Switches are compared without regard to case.
#pragma once

#include <string>

namespace kestrin {

enum class CommandMode { kWindow, kUninstall, kSave, kRestore, kRun, kWatch, kBad };

struct CommandLine {
  CommandMode mode = CommandMode::kWindow;
  // /Restore: which parts; all false means as the options file says.
  bool icons = false, resolution = false, gamma = false;
  bool stop = false;    // /Watch /Stop
  std::string program;  // /Run: the rest of the command line, quoting kept
  std::string error;    // kBad: what is wrong
};

constexpr char kCommandLineUsage[] =
    "usage: Kestrin [/Save | /Restore [/Icons] [/Resolution] [/Gamma] | /Run PROGRAM "
    "[ARGUMENTS...] | /Watch [/Stop] | /Uninstall]";

// `raw` is the whole command line, the program's own name first.
CommandLine ParseCommandLine(const std::string& raw);

}  // namespace kestrin
