// Starts the program /Run names and waits for it and everything it starts: a launcher that
// starts the game and exits at once is followed to the game's end.
#pragma once

#include <windows.h>

#include <string>

#include "outcome.h"
#include "win_handle_win.h"

namespace kestrin {

class ProgramRun {
 public:
  // Starts `text` (program, then arguments; UTF-8), as the system would: a shortcut's target
  // with its arguments and start folder, a program named with a folder in that folder, and
  // what the system cannot start itself (a document, a program that asks for elevation)
  // through the shell. kStartProgram when nothing was started, kFollowProgram when the shell
  // handed it to a program already running, which cannot be waited for.
  Outcome Start(const std::string& text);

  // Pumps this thread's messages until every process of the run has ended (true), or until
  // `stop` says so (false). Processes that leave on purpose (break-away) are not followed.
  template <typename Stop>
  bool Wait(Stop stop) {
    while (!Ended()) {
      if (stop()) return false;
      PumpFor(kPollMs);
    }
    return true;
  }

  // The started program's own exit code, once it has ended.
  DWORD ExitCode() const;

 private:
  static constexpr DWORD kPollMs = 200;
  bool Ended();
  void PumpFor(DWORD ms);
  bool CreateInJob(const std::wstring& commandLine, const std::wstring& folder, DWORD* error);
  bool ShellStart(const std::wstring& file, const std::wstring& arguments,
                  const std::wstring& folder, DWORD* error);

  UniqueHandle job_, port_, process_;
  bool inJob_ = false;
  bool jobEmpty_ = false;
};

}  // namespace kestrin
