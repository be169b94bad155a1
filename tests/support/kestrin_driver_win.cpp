#include "kestrin_driver_win.h"

#include <algorithm>

#include "resource_ids.h"

namespace kestrin::test {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text

// Paths here are UTF-8, as Kestrin carries them, so a directory may be named outside the code page.
std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}
std::string Utf8(const wchar_t* wide) {
  char utf8[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
  return utf8;
}

// Any temporary directory that is not the program's: files must go beside the program.
std::string TempDirectory() {
  char temp[MAX_PATH] = {};
  return std::string(temp, GetTempPathA(MAX_PATH, temp));
}

// Any message box of the thread: a dialog whose text static has id 0xFFFF (the About box's icon has id -1 too, but it
// is an icon static). Only a visible one has its texts and icon in place; WaitIdle counts any.
HWND MessageBoxOf(DWORD threadId, bool visibleOnly = false) {
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

}  // namespace

std::string ExecutableDirectory() {
  char path[MAX_PATH] = {};
  const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return full.substr(0, full.find_last_of("\\/") + 1);
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char buffer[65536];
  DWORD got = 0;
  for (bytes->clear(); file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got;)
    bytes->append(buffer, got);
  return static_cast<bool>(file);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD wrote = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
         wrote == bytes.size();
}

std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string SystemText(DWORD error) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                 nullptr);
  return text;
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FileNames(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW(Wide(directory + "*").c_str(), &entry));
  for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry))
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Utf8(entry.cFileName));
  std::sort(names.begin(), names.end());
  return names;
}

UniqueHandle StartProcess(const std::string& program, const std::string& arguments, std::string* error,
                          PROCESS_INFORMATION* started, HANDLE output) {
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

long RunAndRead(const std::string& program, const std::string& arguments, std::string* output) {
  // Into a file read once the child has ended: a pipe may stay open long after, held by a
  // process it started (under Wine the first window starts the desktop process).
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

std::unique_ptr<ProgramDirectory> ProgramDirectory::Create(std::string* error, std::string path) {
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

namespace {
bool RemoveTree(const std::wstring& directory) {  // with its trailing backslash
  WIN32_FIND_DATAW entry;
  UniqueFind search(FindFirstFileW((directory + L"*").c_str(), &entry));
  for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry)) {
    const std::wstring name = entry.cFileName;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((directory + name).c_str());
    else if (name != L"." && name != L"..")
      RemoveTree(directory + name + L"\\");
  }
  search.reset();
  return RemoveDirectoryW(directory.c_str());
}
}  // namespace

ProgramDirectory::~ProgramDirectory() {
  // A process that just ended may still hold its files for a moment.
  for (int attempt = 0; attempt < 50 && !path.empty() && !RemoveTree(Wide(path)); ++attempt) Sleep(100);
}

std::string ProgramDirectory::SnapshotName() const {
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {}, user[260] = {};
  DWORD computerSize = ARRAYSIZE(computer), userSize = ARRAYSIZE(user);
  GetComputerNameW(computer, &computerSize);
  GetUserNameW(user, &userSize);
  return Utf8(computer) + "_desktop_" + Utf8(user) + ".sav";
}

std::unique_ptr<Kestrin> Kestrin::Start(const std::string& program, const std::string& arguments, std::string* error) {
  std::unique_ptr<Kestrin> kestrin(new Kestrin);
  if (!(kestrin->process_ = StartProcess(program, arguments, error, &kestrin->info_))) return nullptr;
  kestrin->watcher_ = std::thread([k = kestrin.get()] { k->Watch(); });
  return kestrin;
}

Kestrin::~Kestrin() {
  stop_ = true;
  watcher_.join();
  if (IsRunning()) TerminateProcess(process_.get(), 1), WaitForSingleObject(process_.get(), 10000);
}

bool Kestrin::WaitForMainWindow(DWORD timeoutMs) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; IsRunning() && GetTickCount64() < end; Sleep(5))
    for (HWND w : TopWindows("#32770"))
      if (IsWindowVisible(w) && GetDlgItem(w, IDC_SAVE_CURRENT)) return (main_ = w) != nullptr;
  return false;
}

std::vector<HWND> Kestrin::TopWindows(const char* className, DWORD timeoutMs) const {
  std::vector<HWND> found;
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; found.empty(); Sleep(20)) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == info_.dwProcessId) found.push_back(w);
    }
    if (GetTickCount64() >= end) break;
  }
  return found;
}

LRESULT Kestrin::Send(UINT message, WPARAM wp, int id) const {
  DWORD_PTR result = 0;
  HWND to = id ? Control(id) : main_;
  return SendMessageTimeoutA(to, message, wp, 0, SMTO_NORMAL, 10000, &result) ? static_cast<LRESULT>(result) : -1;
}

void Kestrin::PostKey(UINT virtualKey) const {
  HWND target = Focus() ? Focus() : main_;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, 0)) << 16;
  PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
}

bool Kestrin::WaitIdle(DWORD timeoutMs) {
  // A command may answer sent messages while it runs (it sends to the shell, a mode change broadcasts), so an answered
  // WM_NULL proves nothing. A message posted behind the command is taken only once the command has returned, or by a
  // nested loop: a message box's (watched here) or the About box's (which counts as idle). The marker is the pushed
  // state of the hidden, disabled, commandless OK button.
  HWND marker = Control(IDOK);
  DWORD_PTR state = 0;
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end;) {
    const bool openBefore = MessageBoxOf(info_.dwThreadId) != nullptr;
    const size_t seenBefore = boxesSeen_;
    SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, 5000, &state);
    PostMessageA(marker, BM_SETSTATE, TRUE, 0);
    for (state = 0; GetTickCount64() < end && !(state & BST_PUSHED); Sleep(5))
      if (!SendMessageTimeoutA(marker, BM_GETSTATE, 0, 0, SMTO_NORMAL, 1000, &state) && !IsWindow(marker)) return false;
    if ((state & BST_PUSHED) && !openBefore && !MessageBoxOf(info_.dwThreadId) && boxesSeen_ == seenBefore)
      return SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, 5000, &state) != 0;
  }
  return false;
}

void Kestrin::Watch() {
  for (; !stop_; Sleep(3)) {
    for (HWND w = nullptr; !sawVisibleWindow_ && (w = FindWindowExA(nullptr, w, nullptr, nullptr)) != nullptr;) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      sawVisibleWindow_ = pid == info_.dwProcessId && IsWindowVisible(w);
    }
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

}  // namespace kestrin::test
