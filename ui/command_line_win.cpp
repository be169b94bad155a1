#include "command_line_win.h"

#include <windows.h>

#include <string>

#include "agent_client_win.h"
#include "display_mode_win.h"
#include "gamma_win.h"
#include "options_file_win.h"
#include "program_runner_win.h"
#include "save_restore_win.h"
#include "snapshot_file_win.h"
#include "system_text_win.h"
#include "uninstall_win.h"
#include "utf8_win.h"
#include "watcher_win.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

// Where the lines go: standard error when the caller redirected it, and the console the
// program was started from, if any (a windowed program has none of its own). That console
// is joined only to write a line: joined, its Ctrl+C or its closing would end Kestrin
// while /Run waits, before the screen is back.
class Lines {
 public:
  Lines() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN &&
        !GetConsoleMode(error, &mode))
      error_ = error;
  }

  void Write(std::string text) {
    // One line each: the system's texts end in a line break of their own.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text += "\r\n";
    DWORD written = 0;
    if (error_) WriteFile(error_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    UniqueHandle console(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (console)
      WriteFile(console.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    console.reset();
    FreeConsole();
  }

 private:
  HANDLE error_ = nullptr;
};

// Each failure one line; any failure makes the exit code 1.
class Failures {
 public:
  explicit Failures(Lines* lines) : lines_(lines) {}
  Report AsReport() {
    return [this](const Outcome& outcome) { Add(OutcomeMessage(outcome)); };
  }
  void Add(const std::string& text) {
    ++count_;
    lines_->Write(text);
  }
  int count() const { return count_; }

 private:
  Lines* lines_;
  int count_ = 0;
};

// The screen before /Run's program: its mode, ramp and icons, each reported when it cannot
// be read, and put back through the one restore sequence.
class ScreenBefore {
 public:
  ScreenBefore(AgentClient* agent, const Report& report) : agent_(agent), report_(report) {
    CaptureStartupDisplayMode(&state_);
    if (!state_.startupModeValid) report_(Failed(Step::kReadMode, GetLastError()));
    const Outcome ramp = ReadRamp(&ramp_);
    haveRamp_ = ramp.ok();
    if (!haveRamp_) report_(ramp);
    const Outcome captured = CaptureIconLayout(agent_, &state_.startupIcons);
    if (!captured.ok()) report_(captured);
  }

  void PutBack() {
    if (putBack_) return;
    putBack_ = true;
    const ScreenTarget target{state_.startupModeValid ? &state_.startupMode : nullptr,
                              &state_.startupIcons, haveRamp_ ? &ramp_ : nullptr, nullptr};
    // Icons that could not be read are not put back, and that was said already.
    const RestoreParts parts{state_.startupIcons.bytes != nullptr, true, haveRamp_};
    RestoreScreen(target, {parts, ModeLasting{}, true}, agent_, report_);
  }

 private:
  AgentClient* agent_;
  Report report_;
  StartupState state_;
  GammaRamp ramp_{};
  bool haveRamp_ = false;
  bool putBack_ = false;
};

// A hidden top-level window that hears the session end while /Run waits: the screen goes
// back before the system ends the process.
class SessionEndWatch {
 public:
  explicit SessionEndWatch(ScreenBefore* screen) : screen_(screen) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);
    window_.reset(CreateWindowExA(0, kClass, "Kestrin", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr));
    if (window_) SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  bool Ended() const { return ended_; }

 private:
  static constexpr char kClass[] = "Kestrin.RunWait";

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SessionEndWatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_ENDSESSION && wParam && self && !self->ended_) {
      self->ended_ = true;
      try {
        self->screen_->PutBack();
      } catch (...) {
        // Out of memory at logoff: nothing more can be done.
      }
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  ScreenBefore* screen_;
  bool ended_ = false;
  UniqueWindow window_;  // last: destroyed first, while the rest is still there
};

// One handler per switch, named after it (/Save: OnSave).
void OnUninstall(const Report& report) { DeleteAllSnapshots(report); }

void OnSave(AgentClient* agent, const Report& report) { SaveScreen(agent, report); }

void OnRestore(AgentClient* agent, const CommandLine& command, const Report& report) {
  Snapshot saved;
  // Where the window keeps its button disabled (no snapshot, or no path for one), this says so.
  if (const Outcome loaded = LoadSnapshot(&saved); !loaded.ok()) {
    report(loaded);
    return;
  }
  const bool named = command.icons || command.resolution || command.gamma;
  const RestoreParts parts =
      named ? RestoreParts{command.icons, command.resolution, command.gamma} : ReadOptions();
  // Lasting as "Apply and save as default" without "Affects all users".
  RestoreScreen(SnapshotTarget(saved), {parts, ModeLasting{}, true}, agent, report);
}

// Remembers the screen, runs the program and all it starts to their end (pumping messages:
// a broadcast sent meanwhile must not hang), puts the screen back.
DWORD OnRun(AgentClient* agent, const std::string& program, const Report& report) {
  ScreenBefore screen(agent, report);
  ProgramRun run;
  if (const Outcome started = run.Start(program); !started.ok()) {
    report(started);
    return 1;
  }
  SessionEndWatch session(&screen);
  if (!run.Wait([&session] { return session.Ended(); })) {
    // The session ended: the screen is back, and the program's end will not be seen.
    return 1;
  }
  screen.PutBack();
  return run.ExitCode();
}

}  // namespace

int RunCommandLine(const CommandLine& command) {
  Lines output;
  if (command.mode == CommandMode::kBad) {
    output.Write(AnsiText(command.error));  // the lines are in the code page
    output.Write(kCommandLineUsage);
    return 2;
  }
  if (command.mode == CommandMode::kWatch) {
    auto say = [&output](const std::string& line) { output.Write(line); };
    return command.stop ? StopWatcher(say) : RunWatcher(say);
  }
  Failures failures(&output);
  const Report report = failures.AsReport();
  AgentClient agent;
  DWORD code = 0;
  if (command.mode == CommandMode::kUninstall) OnUninstall(report);
  if (command.mode == CommandMode::kSave) OnSave(&agent, report);
  if (command.mode == CommandMode::kRestore) OnRestore(&agent, command, report);
  if (command.mode == CommandMode::kRun) code = OnRun(&agent, command.program, report);
  DisconnectAgent(&agent);
  return failures.count() ? 1 : static_cast<int>(code);
}

}  // namespace kestrin
