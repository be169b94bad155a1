// Drives a real Kestrin.exe from another process, as a user would: its own copy in a temporary directory, its main
// window read and pressed by control id, its message boxes read and answered with OK from the start. Paths are UTF-8,
// as Kestrin carries them, so a directory may be named outside the code page.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "resource_ids.h"
#include "win_handle_win.h"

namespace kestrin::test {

inline std::wstring Wide(const std::string& utf8) { return std::filesystem::u8path(utf8).wstring(); }
inline std::string ExecutableDirectory() {  // this test program's, with its trailing backslash
  char path[MAX_PATH] = {};
  const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return full.substr(0, full.find_last_of("\\/") + 1);
}
// Any temporary directory that is not the program's: files must go beside the program.
inline std::string TempDirectory() {
  char temp[MAX_PATH] = {};
  return std::string(temp, GetTempPathA(MAX_PATH, temp));
}

inline bool ReadFileBytes(const std::string& path, std::string* bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char buffer[65536];
  DWORD got = 0;
  for (bytes->clear(); file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got;)
    bytes->append(buffer, got);
  return static_cast<bool>(file);
}
inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD wrote = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
         wrote == bytes.size();
}
inline bool FileExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline std::vector<std::string> FileNames(const std::string& directory) {  // plain files, sorted
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(directory)))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}
inline std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}
inline std::string SystemText(DWORD error) {  // FormatMessage's text for the error
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                 nullptr);
  return text;
}

// Starts the program from a temporary directory (files must go beside the program, not in the working directory); its
// standard output and error go to `output`, or nowhere.
inline UniqueHandle StartProcess(const std::string& program, const std::string& arguments, std::string* error,
                                 PROCESS_INFORMATION* started = nullptr, HANDLE output = nullptr) {
  std::wstring commandLine = Wide("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // without `output`, none: the stand-in's "ready" is for scripts/run
  startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(Wide(program).c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                      Wide(TempDirectory()).c_str(), &startup, &info))
    return *error = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")", UniqueHandle();
  CloseHandle(info.hThread);
  if (started) *started = info;
  return UniqueHandle(info.hProcess);
}

// Runs the program to its end (60 s at most), standard output and error into *output; its exit code, or -1 when it
// could not run or did not end. Into a file read once the child has ended: a pipe may stay open long after, held by a
// process it started (under Wine the first window starts the desktop process).
inline long RunAndRead(const std::string& program, const std::string& arguments, std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  char name[MAX_PATH] = {}, buffer[4096];
  GetTempFileNameA(TempDirectory().c_str(), "out", 0, name);
  UniqueHandle file(CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  std::string error;
  UniqueHandle process = file ? StartProcess(program, arguments, &error, nullptr, file.get()) : UniqueHandle();
  DWORD code = 0, got = 0;
  output->clear();
  if (!process) return -1;
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return TerminateProcess(process.get(), 1), -1;
  SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got) output->append(buffer, got);
  return GetExitCodeProcess(process.get(), &code) ? static_cast<long>(code) : -1;
}

// A temporary directory holding copies of Kestrin.exe and Lumiq.dll, removed with the object; or `path` (with its
// trailing backslash), made for them.
struct ProgramDirectory {
  static std::unique_ptr<ProgramDirectory> Create(std::string* error, std::string path = "") {
    static LONG counter = 0;
    std::unique_ptr<ProgramDirectory> directory(new ProgramDirectory);
    if (path.empty())
      path = TempDirectory() + "kestrin-test-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(InterlockedIncrement(&counter)) + "\\";
    if (!CreateDirectoryW(Wide(path).c_str(), nullptr)) return *error = "cannot create " + path, nullptr;
    directory->path = path;
    for (const char* name : {"Kestrin.exe", "Lumiq.dll"})
      if (!CopyFileW(Wide(ExecutableDirectory() + name).c_str(), Wide(directory->File(name)).c_str(), TRUE))
        return *error = std::string("cannot copy ") + name, nullptr;
    return directory;
  }
  ~ProgramDirectory() {  // a process that just ended may still hold its files for a moment
    std::error_code failed;
    for (int attempt = 0; attempt < 50 && !path.empty(); ++attempt, Sleep(100))
      if (std::filesystem::remove_all(std::filesystem::u8path(path), failed), !failed) break;
  }
  std::string File(const std::string& name) const { return path + name; }
  std::string SnapshotPath() const { return path + SnapshotName(); }
  std::string SnapshotName() const {  // COMPUTER_desktop_USER.sav for this computer and user
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {}, user[260] = {};
    DWORD computerSize = ARRAYSIZE(computer), userSize = ARRAYSIZE(user);
    GetComputerNameW(computer, &computerSize);
    GetUserNameW(user, &userSize);
    namespace fs = std::filesystem;
    return fs::path(computer).u8string() + "_desktop_" + fs::path(user).u8string() + ".sav";
  }
  std::string path;  // with its trailing backslash
};

struct SeenBox {
  std::string caption, text;
  HWND owner = nullptr;
  bool ownerVisible = false;  // when the box was found
};

// One running Kestrin.exe, terminated with the object if it still runs.
class Kestrin {
 public:
  static std::unique_ptr<Kestrin> Start(const std::string& program, const std::string& arguments, std::string* error) {
    std::unique_ptr<Kestrin> kestrin(new Kestrin);
    if (!(kestrin->process_ = StartProcess(program, arguments, error, &kestrin->info_))) return nullptr;
    kestrin->watcher_ = std::thread([k = kestrin.get()] { k->Watch(); });
    return kestrin;
  }
  ~Kestrin() {
    stop_ = true;
    watcher_.join();
    if (IsRunning()) TerminateProcess(process_.get(), 1), WaitForSingleObject(process_.get(), 10000);
  }
  bool IsRunning() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  long ExitCode(DWORD timeoutMs = 15000) {  // once it has ended; -1 while it runs
    DWORD code = 0;
    return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process_.get(), &code)
               ? static_cast<long>(code)
               : -1;
  }
  bool SawVisibleWindow() const { return sawVisibleWindow_; }
  // Its top-level windows (of the class), once there is one (none after `timeoutMs`).
  std::vector<HWND> TopWindows(const char* className = nullptr, DWORD timeoutMs = 0) const {
    std::vector<HWND> found;
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; found.empty(); Sleep(20)) {
      for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;)
        if (ProcessOf(w) == info_.dwProcessId) found.push_back(w);
      if (GetTickCount64() >= end) break;
    }
    return found;
  }
  bool WaitForMainWindow(DWORD timeoutMs) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; IsRunning() && GetTickCount64() < end; Sleep(5))
      for (HWND w : TopWindows("#32770"))
        if (IsWindowVisible(w) && GetDlgItem(w, IDC_SAVE_CURRENT)) return (main_ = w) != nullptr;
    return false;
  }
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
  LRESULT Send(UINT message, WPARAM wp = 0, int id = 0) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(id ? Control(id) : main_, message, wp, 0, SMTO_NORMAL, 10000, &result)
               ? static_cast<LRESULT>(result)
               : -1;
  }
  void PostKey(UINT virtualKey) const {  // to the control with the focus
    HWND target = Focus() ? Focus() : main_;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, 0)) << 16;
    PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
  }
  // Until everything posted to the window's thread so far has been taken, with no message box open or shown meanwhile.
  // A command answers sent messages while it runs, so an answered WM_NULL proves nothing; a message posted behind it is
  // taken once it has returned, or by a nested loop (a message box's, watched here, or the About box's, which counts as
  // idle). The marker is the pushed state of the hidden, disabled, commandless OK button.
  bool WaitIdle(DWORD timeoutMs = 30000) {
    HWND marker = Control(IDOK);
    DWORD_PTR state = 0;
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end;) {
      const bool openBefore = MessageBoxOf(info_.dwThreadId) != nullptr;
      const size_t seenBefore = boxesSeen_;
      SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, 5000, &state);
      PostMessageA(marker, BM_SETSTATE, TRUE, 0);
      for (state = 0; GetTickCount64() < end && !(state & BST_PUSHED); Sleep(5))
        if (!SendMessageTimeoutA(marker, BM_GETSTATE, 0, 0, SMTO_NORMAL, 1000, &state) && !IsWindow(marker))
          return false;
      if ((state & BST_PUSHED) && !openBefore && !MessageBoxOf(info_.dwThreadId) && boxesSeen_ == seenBefore)
        return SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, 5000, &state) != 0;
    }
    return false;
  }
  std::vector<SeenBox> TakeBoxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(boxes_);
  }

 private:
  static constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text
  Kestrin() = default;
  static DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    return GetWindowThreadProcessId(window, &pid), pid;
  }
  // Any message box of the thread: a dialog whose text static has id 0xFFFF (the About box's icon has id -1 too, but
  // it is an icon static). Only a visible one has its texts and icon in place; WaitIdle counts any.
  static HWND MessageBoxOf(DWORD threadId, bool visibleOnly = false) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
      HWND text = GetDlgItem(w, kMessageTextId);
      char name[8] = {};
      if (GetWindowThreadProcessId(w, nullptr) == threadId && text && (IsWindowVisible(w) || !visibleOnly) &&
          GetClassNameA(text, name, sizeof name) && std::string(name) == "Static" &&
          (GetWindowLongPtrA(text, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        return w;
    }
    return nullptr;
  }
  void Watch() {  // answers each message box with OK once it has noted it
    for (; !stop_; Sleep(3)) {
      for (HWND w = nullptr; !sawVisibleWindow_ && (w = FindWindowExA(nullptr, w, nullptr, nullptr)) != nullptr;)
        sawVisibleWindow_ = ProcessOf(w) == info_.dwProcessId && IsWindowVisible(w);
      HWND box = MessageBoxOf(info_.dwThreadId, true);
      if (!box) continue;
      ++boxesSeen_;
      const HWND owner = GetWindow(box, GW_OWNER);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(
            {WindowText(box), WindowText(GetDlgItem(box, kMessageTextId)), owner, owner && IsWindowVisible(owner)});
      }
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      for (int i = 0; i < 2500 && IsWindow(box); ++i) Sleep(2);  // recorded once: wait for it to go
    }
  }

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
