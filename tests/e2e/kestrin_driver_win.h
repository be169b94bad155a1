// Drives a real Kestrin.exe from another process, as a user would: its own copy in a
// temporary directory, its main window read and pressed by control id, its message boxes
// read and answered, and the screen state (display mode, gamma ramp) put back afterwards.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win_handle_win.h"

namespace kestrin::e2e {

// "x64" or "x86": the architecture of this build.
const char* Architecture();
// This test program's directory, with its trailing backslash.
std::string ExecutableDirectory();
// Where the screenshots go: $KESTRIN_SCREENSHOT_DIR, else build/screenshots (two levels
// above build/<preset>/bin); created if missing. With its trailing backslash.
std::string ScreenshotDirectory();

bool ReadFileBytes(const std::string& path, std::string* bytes);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names of the plain files in `directory` (with or without trailing backslash), sorted.
std::vector<std::string> FileNames(const std::string& directory);

// A fresh directory under the temporary path holding copies of Kestrin.exe and Lumiq.dll
// from beside this program, and an empty "work" subdirectory that serves as the current
// directory of the programs started; everything in it is deleted with the object.
class ProgramDirectory {
 public:
  static std::unique_ptr<ProgramDirectory> Create(std::string* error);
  ~ProgramDirectory();
  ProgramDirectory(const ProgramDirectory&) = delete;
  ProgramDirectory& operator=(const ProgramDirectory&) = delete;

  const std::string& path() const { return path_; }  // with trailing backslash
  std::string File(const std::string& name) const { return path_ + name; }
  std::string ProgramPath() const { return File("Kestrin.exe"); }
  std::string OptionsPath() const { return File("Kestrin.ini"); }
  // COMPUTER_desktop_USER.sav for the computer and user this test runs as.
  std::string SnapshotPath() const;
  std::string WorkDirectory() const { return path_ + "work\\"; }

 private:
  ProgramDirectory() = default;
  std::string path_;
};

enum class BoxIcon { kNone, kExclamation, kStop, kOther };
const char* BoxIconName(BoxIcon icon);

// A message box of Kestrin's, as the watcher found it before pressing its OK button.
struct SeenBox {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::kNone;
  HWND owner = nullptr;
  bool ownerVisible = false;  // the owner's visibility when the box was found
  ULONGLONG tick = 0;         // GetTickCount64 when the box was found
};

// One running Kestrin.exe. Its message boxes are recorded and answered with OK from the
// start; the process is terminated with the object if it is still running.
class Kestrin {
 public:
  // Starts `program` with `arguments` in `workDirectory`; does not wait for any window.
  // With `output` (an inheritable handle), the program's standard output and error go there.
  static std::unique_ptr<Kestrin> Start(const std::string& program, const std::string& arguments,
                                        const std::string& workDirectory, std::string* error,
                                        HANDLE output = nullptr);
  ~Kestrin();
  Kestrin(const Kestrin&) = delete;
  Kestrin& operator=(const Kestrin&) = delete;

  DWORD processId() const { return processId_; }
  DWORD threadId() const { return threadId_; }
  bool IsRunning() const;
  // False when the process is still running after `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
  // True if any top-level window of the process was seen visible since the start (looked
  // for every few milliseconds).
  bool SawVisibleWindow() const { return sawVisibleWindow_; }

  // Waits for the visible main window ("Kestrin", class "#32770", of this process).
  bool WaitForMainWindow(DWORD timeoutMs);
  HWND main() const { return main_; }
  ULONGLONG mainVisibleTick() const { return mainVisibleTick_; }

  HWND Control(int id) const { return GetDlgItem(main_, id); }
  std::string Text(int id) const;
  bool IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  bool IsVisible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
  // BM_GETCHECK; -1 when the control does not answer.
  int CheckState(int id) const;
  RECT WindowRect() const;
  RECT ControlRect(int id) const;
  HWND Focus() const;

  // A click on control `id` as the window receives it: WM_COMMAND with `code`, posted,
  // since a command blocks the window's thread.
  void Press(int id, WORD code = BN_CLICKED) const;
  // Press, then WaitIdle.
  bool Command(int id, DWORD timeoutMs = 30000);
  // A mouse click on a button of the main window (BM_CLICK), answered synchronously.
  bool Click(int id) const;
  void SysCommand(WPARAM command) const;
  // WM_KEYDOWN and WM_KEYUP posted to the control that has the focus (or the window).
  void PostKey(UINT virtualKey) const;

  // Waits until the window's thread has taken everything posted to it so far from its
  // queue, with no message box open or shown meanwhile: the commands posted have ended
  // (or wait in the About box).
  bool WaitIdle(DWORD timeoutMs = 30000);

  // The message boxes seen so far, in order; clears the record.
  std::vector<SeenBox> TakeBoxes();
  // Waits until at least `count` boxes are on record (not taken).
  bool WaitForBoxes(size_t count, DWORD timeoutMs);
  size_t BoxesSeen() const;

  // A visible top-level window of this process's thread titled `title` (not a message box).
  HWND FindWindowTitled(const std::string& title) const;

 private:
  Kestrin() = default;
  void Watch();
  bool MessageBoxOpen() const;

  kestrin::UniqueHandle process_;
  DWORD processId_ = 0, threadId_ = 0;
  HWND main_ = nullptr;
  ULONGLONG mainVisibleTick_ = 0;

  std::atomic<bool> stop_{false};
  std::atomic<bool> sawVisibleWindow_{false};
  mutable std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  size_t boxesSeen_ = 0;
  std::thread watcher_;
};

// 3 x 256 entries: red, green, blue.
using Ramp = std::array<uint16_t, 768>;
bool ReadScreenRamp(Ramp* ramp);
bool SetScreenRamp(const Ramp& ramp);
Ramp IdentityRamp();
// The ramp the program builds from three exponents, as the display gives it back: the
// test display keeps only the top 8 bits of each entry.
Ramp ProgramRampOnDisplay(double red, double green, double blue);

// A display mode as the tests compare it.
struct ModeInfo {
  DWORD width = 0, height = 0, bits = 0, frequency = 0;
  LONG x = 0, y = 0;
  DWORD flags = 0;
  std::string Size() const;      // "1280 x 1024", as the panels show it
  std::string Describe() const;  // every field an apply sets
};
// The current and the registry's display mode as a fresh process reads them: under Wine
// a process keeps the mode it first read and sees only its own changes afterwards.
bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry);
std::string CurrentSize();   // "?" when it cannot be read
std::string RegistrySize();
// A dynamic change of the current mode to another size, for the programs started after it.
bool SetCurrentSize(DWORD width, DWORD height);

// Puts back the current and registry display modes and the gamma ramp found at
// construction: at Restore() and, if it was not called, at destruction.
class ScreenStateGuard {
 public:
  ScreenStateGuard();
  ~ScreenStateGuard();
  ScreenStateGuard(const ScreenStateGuard&) = delete;
  ScreenStateGuard& operator=(const ScreenStateGuard&) = delete;

  bool saved() const { return modesSaved_ && rampSaved_; }
  // What did not come back, one line each; empty when all did.
  std::string Restore();

 private:
  ModeInfo current_;
  ModeInfo registry_;
  bool modesSaved_ = false;
  Ramp ramp_{};
  bool rampSaved_ = false;
  bool restored_ = false;
};

}  // namespace kestrin::e2e
