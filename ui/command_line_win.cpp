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
#include "resource_ids.h"
#include "restore_win.h"
#include "saved_panel_win.h"
#include "snapshot_file_win.h"
#include "uninstall_win.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

// An extended dialog template starts with u16 version, u16 signature, u32 help id and u32
// extended style; then comes the u32 style.
constexpr size_t kTemplateStyleOffset = 2 * sizeof(WORD) + 2 * sizeof(DWORD);  // 12

// Where the lines go: standard error when the caller redirected it, and the console the
// program was started from, if any (a windowed program has none of its own).
class Lines {
 public:
  Lines() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN)
      error_ = error;
    const bool errorIsConsole = error_ && GetConsoleMode(error_, &mode);
    if (!errorIsConsole && AttachConsole(ATTACH_PARENT_PROCESS))
      console_.reset(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
  }

  void Write(std::string text) {
    // One line each: the system's texts end in a line break of their own.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text += "\r\n";
    for (HANDLE out : {error_, console_.get()}) {
      DWORD written = 0;
      if (out) WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }

 private:
  HANDLE error_ = nullptr;
  UniqueHandle console_;
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

// Remembers the screen, runs the program to its end, puts the screen back: the mode, the
// settle pause, the icons, then the gamma ramp, which a mode change may have reset.
DWORD OnRun(HWND window, AgentClient* agent, const std::string& program) {
  StartupState before;
  CaptureStartupDisplayMode(&before);
  GammaRamp ramp{};
  const bool haveRamp = ReadScreenRamp(&ramp) != 0;
  if (!haveRamp) Failure("Unable to retrieve gamma adjustment");
  CaptureIconLayout(window, agent, &before.startupIcons);

  std::string commandLine = program;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    Failure(WithSystemErrorText("Unable to start " + program, GetLastError()));
    return 1;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);

  if (before.startupModeValid) ApplyDisplayMode(window, &before.startupMode);
  Sleep(MODE_SETTLE_MS);
  if (before.startupIcons.bytes) ApplyIconLayout(window, agent, before.startupIcons);
  // The ramp as it was read; a platform that refuses a ramp read back from the device
  // (Wine checks its shape) gets the one built from its estimated exponents instead.
  if (haveRamp && !SetScreenRamp(&ramp) &&
      !BuildAndSetGamma(EstimateGammaExponent(ramp.data(), kRedChannel),
                        EstimateGammaExponent(ramp.data(), kGreenChannel),
                        EstimateGammaExponent(ramp.data(), kBlueChannel)))
    Failure("Unable to set gamma adjustment");
  return code;
}

}  // namespace

int RunCommandLine(const CommandLine& command) {
  Lines output;
  lines = &output;
  failures = 0;
  if (command.mode == CommandMode::kBad) {
    output.Write(command.error);
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
