#include "command_line_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "agent_client_win.h"
#include "display_mode_win.h"
#include "gamma_win.h"
#include "main_window_win.h"
#include "message_box_win.h"
#include "options_file_win.h"
#include "program_runner_win.h"
#include "resource_ids.h"
#include "restore_win.h"
#include "saved_panel_win.h"
#include "snapshot_file_win.h"
#include "uninstall_win.h"
#include "utf8_win.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

// An extended dialog template starts with u16 version, u16 signature, u32 help id and u32
// extended style; then comes the u32 style.
constexpr size_t kTemplateStyleOffset = 2 * sizeof(WORD) + 2 * sizeof(DWORD);  // 12

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

Lines* lines = nullptr;
int failures = 0;

void Failure(const std::string& text) {
  ++failures;
  if (lines) lines->Write(text);
}

// The main window's controls, never shown: the engine reads its choices from them (the
// options file's check boxes, "Apply and save as default") exactly as in the window.
class HiddenMainDialog {
 public:
  HiddenMainDialog() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC found =
        FindResourceA(instance, MAKEINTRESOURCEA(IDD_MAIN), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    DWORD style;
    if (!bytes || size < kTemplateStyleOffset + sizeof style) return;
    std::vector<BYTE> copy(bytes, bytes + size);
    memcpy(&style, copy.data() + kTemplateStyleOffset, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    memcpy(copy.data() + kTemplateStyleOffset, &style, sizeof style);
    window_ = CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()),
                                         nullptr, Proc, 0);
    if (!window_) return;
    CheckDlgButton(window_, IDC_APPLY_AND_SAVE, BST_CHECKED);
    ReadOptions(window_);
  }
  ~HiddenMainDialog() {
    if (window_) DestroyWindow(window_);
  }
  HiddenMainDialog(const HiddenMainDialog&) = delete;
  HiddenMainDialog& operator=(const HiddenMainDialog&) = delete;
  HWND hwnd() const { return window_; }

 private:
  static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
  }

  HWND window_ = nullptr;
};

// One handler per switch, named after it (/Save: OnSave).
void OnUninstall(HWND window) { DeleteAllSnapshots(window); }

void OnSave(HWND window, AgentClient* agent) { SaveSnapshot(window, agent); }

void OnRestore(HWND window, AgentClient* agent, const CommandLine& command) {
  std::string path;
  if (const DWORD error = FindSnapshotFile(&path)) {
    // The window's button stays disabled without a snapshot or its path; here it must be said.
    Failure(WithSystemErrorText("Unable to access information", error));
    return;
  }
  if (command.icons || command.resolution || command.gamma)
    RestoreParts(window, agent, command.gamma, command.resolution, command.icons);
  else
    RestoreAsTicked(window, agent);
}

// The screen before /Run's program, and putting it back: the mode, the settle pause, the
// icons, then the gamma ramp, which a mode change may have reset.
class ScreenBefore {
 public:
  ScreenBefore(HWND window, AgentClient* agent) : window_(window), agent_(agent) {
    CaptureStartupDisplayMode(&state_);
    if (!state_.startupModeValid)
      Failure(WithSystemErrorText("Unable to retrieve display settings", GetLastError()));
    haveRamp_ = ReadScreenRamp(&ramp_) != 0;
    if (!haveRamp_) Failure("Unable to retrieve gamma adjustment");
    CaptureIconLayout(window_, agent_, &state_.startupIcons);
  }

  void PutBack() {
    if (putBack_) return;
    putBack_ = true;
    if (state_.startupModeValid) ApplyDisplayMode(window_, &state_.startupMode);
    Sleep(MODE_SETTLE_MS);
    if (state_.startupIcons.bytes) ApplyIconLayout(window_, agent_, state_.startupIcons);
    // The ramp as it was read; a platform that refuses a ramp read back from the device
    // (Wine checks its shape) gets the one built from its estimated exponents instead.
    if (haveRamp_ && !SetScreenRamp(&ramp_) &&
        !BuildAndSetGamma(EstimateGammaExponent(ramp_.data(), kRedChannel),
                          EstimateGammaExponent(ramp_.data(), kGreenChannel),
                          EstimateGammaExponent(ramp_.data(), kBlueChannel)))
      Failure("Unable to set gamma adjustment");
  }

 private:
  HWND window_;
  AgentClient* agent_;
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
    window_ = CreateWindowExA(0, kClass, "Kestrin", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~SessionEndWatch() {
    if (window_) DestroyWindow(window_);
  }
  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;
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
  HWND window_ = nullptr;
  bool ended_ = false;
};

// Remembers the screen, runs the program and all it starts to their end (pumping messages:
// a broadcast sent meanwhile must not hang), puts the screen back.
DWORD OnRun(HWND window, AgentClient* agent, const std::string& program) {
  ScreenBefore screen(window, agent);
  ProgramRun run;
  std::string error;
  if (!run.Start(program, &error)) {
    Failure(error);
    return 1;
  }
  SessionEndWatch session(&screen);
  if (!run.Wait([&session] { return session.Ended(); })) {
    // The session ended: the screen is back, and the program's end will not be seen.
    ++failures;
    return 1;
  }
  screen.PutBack();
  return run.ExitCode();
}

}  // namespace

int RunCommandLine(const CommandLine& command) {
  Lines output;
  lines = &output;
  failures = 0;
  if (command.mode == CommandMode::kBad) {
    output.Write(AnsiText(command.error));  // the lines are in the code page
    output.Write(kCommandLineUsage);
    lines = nullptr;
    return 2;
  }
  SetMessageSink(Failure);
  DWORD code = 0;
  {
    HiddenMainDialog dialog;
    AgentClient agent;
    if (command.mode == CommandMode::kUninstall) {
      OnUninstall(dialog.hwnd());  // needs none of the controls
    } else if (!dialog.hwnd()) {
      Failure("Unable to create the program's controls");
    } else if (command.mode == CommandMode::kSave) {
      OnSave(dialog.hwnd(), &agent);
    } else if (command.mode == CommandMode::kRestore) {
      OnRestore(dialog.hwnd(), &agent, command);
    } else if (command.mode == CommandMode::kRun) {
      code = OnRun(dialog.hwnd(), &agent, command.program);
    }
    DisconnectAgent(&agent);
  }
  SetMessageSink(nullptr);
  lines = nullptr;
  return failures ? 1 : static_cast<int>(code);
}

}  // namespace kestrin
