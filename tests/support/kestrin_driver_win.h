// Drives a real Kestrin.exe from another process, as a user would: its own copy in a temporary directory, its main
// window read and pressed by control id, its message boxes read and answered with OK from the start. Paths are UTF-8.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win_handle_win.h"

namespace kestrin::test {

std::string ExecutableDirectory();  // this test program's, with its trailing backslash
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::string WindowText(HWND window);
std::string SystemText(DWORD error);                               // FormatMessage's text for the error
std::vector<std::string> FileNames(const std::string& directory);  // plain files, sorted
// Starts the program from a temporary directory (files must go beside the program, not in
// the working directory); its standard output and error go to `output`, or nowhere.
UniqueHandle StartProcess(const std::string& program, const std::string& arguments, std::string* error,
                          PROCESS_INFORMATION* started = nullptr, HANDLE output = nullptr);
// Runs the program to its end (60 s at most), standard output and error into *output; its
// exit code, or -1 when it could not run or did not end.
long RunAndRead(const std::string& program, const std::string& arguments, std::string* output);

// A temporary directory holding copies of Kestrin.exe and Lumiq.dll, removed with the object; or `path` (with its
// trailing backslash), made for them.
struct ProgramDirectory {
  static std::unique_ptr<ProgramDirectory> Create(std::string* error, std::string path = "");
  ~ProgramDirectory();
  std::string File(const std::string& name) const { return path + name; }
  std::string SnapshotPath() const { return path + SnapshotName(); }
  std::string SnapshotName() const;  // COMPUTER_desktop_USER.sav for this computer and user
  std::string path;                  // with its trailing backslash
};

struct SeenBox {
  std::string caption, text;
  HWND owner = nullptr;
  bool ownerVisible = false;  // when the box was found
};

// One running Kestrin.exe, terminated with the object if it still runs.
class Kestrin {
 public:
  static std::unique_ptr<Kestrin> Start(const std::string& program, const std::string& arguments, std::string* error);
  ~Kestrin();
  bool IsRunning() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process_.get(), exitCode);
  }
  bool SawVisibleWindow() const { return sawVisibleWindow_; }
  // Its top-level windows (of the class), once there is one (none after `timeoutMs`).
  std::vector<HWND> TopWindows(const char* className = nullptr, DWORD timeoutMs = 0) const;
  bool WaitForMainWindow(DWORD timeoutMs);
  HWND main() const { return main_; }

  HWND Control(int id) const { return GetDlgItem(main_, id); }
  std::string Text(int id) const { return WindowText(Control(id)); }
  bool IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  int CheckState(int id) const { return static_cast<int>(Send(BM_GETCHECK, 0, id)); }  // -1 when unanswered
  RECT Rect(int id = 0) const {  // the control's window rectangle; 0: the main window's
    RECT rect = {};
    GetWindowRect(id ? Control(id) : main_, &rect);
    return rect;
  }
  HWND Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(info_.dwThreadId, &info) ? info.hwndFocus : nullptr;
  }
  // A click as the window receives it, posted: a command blocks the window's thread.
  void Press(int id, WORD code = BN_CLICKED) const {
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Control(id)));
  }
  bool Command(int id) { return Press(id), WaitIdle(); }
  bool Click(int id) const { return Send(BM_CLICK, 0, id) != -1; }  // answered synchronously
  void SysCommand(WPARAM command) const { PostMessageA(main_, WM_SYSCOMMAND, command, 0); }
  // To control `id` (0: the window), 10 s at most; -1 when unanswered.
  LRESULT Send(UINT message, WPARAM wp = 0, int id = 0) const;
  void PostKey(UINT virtualKey) const;  // to the control with the focus
  // Until everything posted to the window's thread so far has been taken, with no message box open or shown meanwhile.
  bool WaitIdle(DWORD timeoutMs = 30000);
  std::vector<SeenBox> TakeBoxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(boxes_);
  }

 private:
  Kestrin() = default;
  void Watch();

  UniqueHandle process_;
  PROCESS_INFORMATION info_ = {};  // its handles are not kept here
  HWND main_ = nullptr;
  std::atomic<bool> stop_{false}, sawVisibleWindow_{false};
  std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  std::atomic<size_t> boxesSeen_{0};
  std::thread watcher_;
};

}  // namespace kestrin::test
