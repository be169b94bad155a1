#include "kestrin_driver_win.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "screen_capture_win.h"
#include "win_handle_win.h"

namespace kestrin::e2e {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text
constexpr int kSaveCurrentId = 1002;    // only the main window has it
constexpr int kHiddenOkId = 1;
constexpr DWORD kModeApplyFields = DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT |
                                   DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;

std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassName(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool IsStatic(HWND window) { return lstrcmpiA(ClassName(window).c_str(), "Static") == 0; }

bool IsIconStatic(HWND window) {
  return IsStatic(window) && (GetWindowLongPtrA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A message box: a dialog whose text static has id 0xFFFF. (The About box's icon has id
// -1, which is an icon static, not a text.)
bool IsMessageBox(HWND window) {
  if (ClassName(window) != "#32770") return false;
  HWND text = GetDlgItem(window, kMessageTextId);
  return text && IsStatic(text) && !IsIconStatic(text);
}

struct ThreadSearch {
  bool visibleOnly = true;
  HWND found = nullptr;
};

// The enumeration callbacks stop at the first match, and at an exception, which must not
// cross into the system.
BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
  try {
    auto* search = reinterpret_cast<ThreadSearch*>(param);
    if (!IsMessageBox(window) || (search->visibleOnly && !IsWindowVisible(window))) return TRUE;
    search->found = window;
  } catch (...) {
  }
  return FALSE;
}

BOOL CALLBACK FindIconStatic(HWND child, LPARAM param) {
  try {
    if (!IsIconStatic(child)) return TRUE;
    *reinterpret_cast<HWND*>(param) = child;
  } catch (...) {
  }
  return FALSE;
}

// Icons belong to their process, so the box's icon handle means nothing here: what the
// screen shows of it is compared with the system's icons drawn by this process.
BoxIcon IconOf(HWND box) {
  HWND iconStatic = nullptr;
  EnumChildWindows(box, FindIconStatic, reinterpret_cast<LPARAM>(&iconStatic));
  if (!iconStatic) return BoxIcon::kNone;
  DWORD_PTR icon = 0;
  if (!SendMessageTimeoutA(iconStatic, STM_GETICON, 0, 0, SMTO_NORMAL, 2000, &icon) || !icon)
    return BoxIcon::kNone;
  const HICON exclamation = LoadIconA(nullptr, IDI_EXCLAMATION);
  const HICON stop = LoadIconA(nullptr, IDI_HAND);
  // Until the box has painted, the screen shows what was there before.
  for (int attempt = 0; attempt < 100 && IsWindow(box); ++attempt) {
    RECT area;
    GetWindowRect(iconStatic, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    const std::vector<uint32_t> shown = ScreenPixels(area);
    if (!shown.empty()) {
      if (shown == IconPixels(exclamation, width, height, shown[0])) return BoxIcon::kExclamation;
      if (shown == IconPixels(stop, width, height, shown[0])) return BoxIcon::kStop;
    }
    Sleep(20);
  }
  return BoxIcon::kOther;
}

struct WindowSearch {
  DWORD processId = 0;
  std::string title;
  bool mainOnly = false;
  HWND found = nullptr;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM param) {
  try {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId || !IsWindowVisible(window)) return TRUE;
    if (search->mainOnly &&
        (ClassName(window) != "#32770" || WindowText(window) != "Kestrin" || !GetDlgItem(window, kSaveCurrentId)))
      return TRUE;
    search->found = window;
  } catch (...) {
  }
  return FALSE;
}

BOOL CALLBACK FindTitledWindow(HWND window, LPARAM param) {
  try {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(window) || IsMessageBox(window) || WindowText(window) != search->title) return TRUE;
    search->found = window;
  } catch (...) {
  }
  return FALSE;
}

ULONGLONG Deadline(DWORD timeoutMs) { return GetTickCount64() + timeoutMs; }
DWORD Remaining(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

bool DeleteTree(const std::string& directory) {
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA((directory + "*").c_str(), &entry));
  bool ok = true;
  if (search) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = directory + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = DeleteTree(path + "\\") && ok;
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = DeleteFileA(path.c_str()) && ok;
      }
    } while (FindNextFileA(search.get(), &entry));
  }
  search.reset();
  return RemoveDirectoryA(directory.c_str()) && ok;
}

}  // namespace

const char* Architecture() {
#if defined(_WIN64)
  return "x64";
#else
  return "x86";
#endif
}

std::string ExecutableDirectory() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length < MAX_PATH ? length : 0);
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

std::string ScreenshotDirectory() {
  char configured[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("KESTRIN_SCREENSHOT_DIR", configured, MAX_PATH);
  std::string wanted = length > 0 && length < MAX_PATH ? std::string(configured, length)
                                                        : ExecutableDirectory() + "..\\..\\screenshots";
  char full[MAX_PATH] = {};
  const DWORD fullLength = GetFullPathNameA(wanted.c_str(), MAX_PATH, full, nullptr);
  std::string directory = fullLength > 0 && fullLength < MAX_PATH ? std::string(full, fullLength) : wanted;
  CreateDirectoryA(directory.c_str(), nullptr);
  if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
  return directory;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  kestrin::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bytes->clear();
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0)
    bytes->append(buffer, got);
  return ok;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  kestrin::UniqueHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD wrote = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
         wrote == bytes.size();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FileNames(const std::string& directory) {
  std::string prefix = directory;
  if (!prefix.empty() && prefix.back() != '\\') prefix += '\\';
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA((prefix + "*").c_str(), &entry));
  if (!search) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------- ProgramDirectory

std::unique_ptr<ProgramDirectory> ProgramDirectory::Create(std::string* error) {
  static LONG counter = 0;
  char temp[MAX_PATH] = {};
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) {
    *error = "no temporary directory";
    return nullptr;
  }
  std::unique_ptr<ProgramDirectory> directory(new ProgramDirectory);
  const std::string path = std::string(temp, length) + "kestrin-e2e-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string(InterlockedIncrement(&counter)) + "-" +
                           std::to_string(GetTickCount64());
  if (!CreateDirectoryA(path.c_str(), nullptr)) {
    *error = "cannot create " + path + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  directory->path_ = path + "\\";
  const std::string from = ExecutableDirectory();
  for (const char* name : {"Kestrin.exe", "Lumiq.dll"}) {
    if (!CopyFileA((from + name).c_str(), directory->File(name).c_str(), TRUE)) {
      *error = "cannot copy " + from + name + " (error " + std::to_string(GetLastError()) + ")";
      return nullptr;  // the destructor removes what was made
    }
  }
  if (!CreateDirectoryA(directory->WorkDirectory().c_str(), nullptr)) {
    *error = "cannot create " + directory->WorkDirectory();
    return nullptr;
  }
  return directory;
}

ProgramDirectory::~ProgramDirectory() {
  if (path_.empty()) return;
  // A process that just ended may still hold its files for a moment.
  for (int attempt = 0; attempt < 50 && !DeleteTree(path_); ++attempt) Sleep(100);
}

std::string ProgramDirectory::SnapshotPath() const {
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerSize = sizeof computer;
  GetComputerNameA(computer, &computerSize);
  char user[260] = {};
  DWORD userSize = sizeof user;
  GetUserNameA(user, &userSize);
  return path_ + computer + "_desktop_" + user + ".sav";
}

const char* BoxIconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone: return "no icon";
    case BoxIcon::kExclamation: return "exclamation";
    case BoxIcon::kStop: return "stop";
    default: return "other icon";
  }
}

// ---------------------------------------------------------------- Kestrin

std::unique_ptr<Kestrin> Kestrin::Start(const std::string& program, const std::string& arguments,
                                        const std::string& workDirectory, std::string* error, HANDLE output) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                      workDirectory.c_str(), &startup, &info)) {
    *error = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  kestrin::UniqueHandle thread(info.hThread);
  std::unique_ptr<Kestrin> kestrin(new Kestrin);
  kestrin->process_.reset(info.hProcess);
  kestrin->processId_ = info.dwProcessId;
  kestrin->threadId_ = info.dwThreadId;
  kestrin->watcher_ = std::thread([k = kestrin.get()] { k->Watch(); });
  return kestrin;
}

Kestrin::~Kestrin() {
  stop_ = true;
  if (watcher_.joinable()) watcher_.join();
  if (IsRunning()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
  }
}

bool Kestrin::IsRunning() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Kestrin::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_.get(), exitCode);
  return true;
}

bool Kestrin::WaitForMainWindow(DWORD timeoutMs) {
  const ULONGLONG deadline = Deadline(timeoutMs);
  do {
    WindowSearch search;
    search.processId = processId_;
    search.mainOnly = true;
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      main_ = search.found;
      mainVisibleTick_ = GetTickCount64();
      return true;
    }
    if (!IsRunning()) return false;
    Sleep(5);
  } while (Remaining(deadline));
  return false;
}

std::string Kestrin::Text(int id) const { return WindowText(Control(id)); }

int Kestrin::CheckState(int id) const {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutA(Control(id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state)) return -1;
  return static_cast<int>(state);
}

RECT Kestrin::WindowRect() const {
  RECT rect = {};
  GetWindowRect(main_, &rect);
  return rect;
}

RECT Kestrin::ControlRect(int id) const {
  RECT rect = {};
  GetWindowRect(Control(id), &rect);
  return rect;
}

HWND Kestrin::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

void Kestrin::Press(int id, WORD code) const {
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Control(id)));
}

bool Kestrin::Command(int id, DWORD timeoutMs) {
  Press(id);
  return WaitIdle(timeoutMs);
}

bool Kestrin::Click(int id) const {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

void Kestrin::SysCommand(WPARAM command) const { PostMessageA(main_, WM_SYSCOMMAND, command, 0); }

void Kestrin::PostKey(UINT virtualKey) const {
  HWND target = Focus();
  if (!target) target = main_;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, 0)) << 16;
  PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
}

bool Kestrin::MessageBoxOpen() const {
  ThreadSearch search;
  search.visibleOnly = false;
  EnumThreadWindows(threadId_, FindMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found != nullptr;
}

bool Kestrin::WaitIdle(DWORD timeoutMs) {
  // A command may answer sent messages while it runs (it sends to the shell, a mode change
  // broadcasts), so an answered WM_NULL proves nothing. A message posted behind the
  // command is taken from the queue only once the command has returned, or by a nested
  // loop: a message box's (watched here) or the About box's (which counts as idle). The
  // marker is the pushed state of the hidden, disabled, commandless OK button.
  HWND marker = Control(kHiddenOkId);
  const ULONGLONG deadline = Deadline(timeoutMs);
  for (;;) {
    const bool openBefore = MessageBoxOpen();
    const size_t seenBefore = BoxesSeen();
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, Remaining(deadline), &state))
      return false;
    PostMessageA(marker, BM_SETSTATE, TRUE, 0);
    for (;;) {
      const DWORD left = Remaining(deadline);
      if (!left || !SendMessageTimeoutA(marker, BM_GETSTATE, 0, 0, SMTO_NORMAL, left, &state)) return false;
      if (state & BST_PUSHED) break;
      Sleep(5);
    }
    if (!openBefore && !MessageBoxOpen() && BoxesSeen() == seenBefore) break;
    Sleep(10);
  }
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_NORMAL, 5000, &ignored) != 0;
}

std::vector<SeenBox> Kestrin::TakeBoxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<SeenBox> boxes;
  boxes.swap(boxes_);
  return boxes;
}

bool Kestrin::WaitForBoxes(size_t count, DWORD timeoutMs) {
  const ULONGLONG deadline = Deadline(timeoutMs);
  do {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (boxes_.size() >= count) return true;
    }
    Sleep(10);
  } while (Remaining(deadline));
  return false;
}

size_t Kestrin::BoxesSeen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxesSeen_;
}

HWND Kestrin::FindWindowTitled(const std::string& title) const {
  WindowSearch search;
  search.title = title;
  EnumThreadWindows(threadId_, FindTitledWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Kestrin::Watch() {
  while (!stop_) {
    if (!sawVisibleWindow_) {
      WindowSearch any;
      any.processId = processId_;
      EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&any));
      if (any.found) sawVisibleWindow_ = true;
    }
    ThreadSearch search;
    EnumThreadWindows(threadId_, FindMessageBox, reinterpret_cast<LPARAM>(&search));
    if (HWND box = search.found) {
      SeenBox seen;
      seen.tick = GetTickCount64();
      seen.owner = GetWindow(box, GW_OWNER);
      seen.ownerVisible = seen.owner && IsWindowVisible(seen.owner);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++boxesSeen_;
      }
      seen.caption = WindowText(box);
      seen.text = WindowText(GetDlgItem(box, kMessageTextId));
      seen.icon = IconOf(box);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(seen);
      }
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      // Recorded once: wait for it to go before looking again.
      for (int i = 0; i < 2500 && IsWindow(box); ++i) Sleep(2);
    }
    Sleep(3);
  }
}

// ---------------------------------------------------------------- screen state

bool ReadScreenRamp(Ramp* ramp) {
  ScreenDC screen;
  return screen.get() && GetDeviceGammaRamp(screen.get(), ramp->data());
}

bool SetScreenRamp(const Ramp& ramp) {
  ScreenDC screen;
  Ramp copy = ramp;
  return screen.get() && SetDeviceGammaRamp(screen.get(), copy.data());
}

Ramp IdentityRamp() {
  Ramp ramp;
  for (int i = 0; i < 768; ++i) ramp[i] = static_cast<uint16_t>(257 * (i % 256));
  return ramp;
}

Ramp ProgramRampOnDisplay(double red, double green, double blue) {
  const double exponents[3] = {red, green, blue};
  Ramp ramp;
  for (int channel = 0; channel < 3; ++channel) {
    for (int i = 0; i < 256; ++i) {
      double e = std::pow((i + 1) * (1.0 / 256), exponents[channel]) * 65535.0 + 0.5;
      e = e > 65535.0 ? 65535.0 : (e < 0.0 ? 0.0 : e);
      const auto entry = static_cast<uint16_t>(e);
      ramp[channel * 256 + i] = static_cast<uint16_t>((entry >> 8) * 257);
    }
  }
  return ramp;
}

std::string ModeInfo::Size() const { return std::to_string(width) + " x " + std::to_string(height); }

std::string ModeInfo::Describe() const {
  return Size() + ", " + std::to_string(bits) + " bits, " + std::to_string(frequency) + " Hz, at " +
         std::to_string(x) + "," + std::to_string(y) + ", flags " + std::to_string(flags);
}

bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
  kestrin::UniqueHandle reader(readEnd), writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const std::string program = ExecutableDirectory() + "display_probe.exe";
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
    return false;
  kestrin::UniqueHandle process(info.hProcess), thread(info.hThread);
  writer.reset();  // the child's copy is the only writer left
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (output.size() < 4096 && ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    output.append(buffer, got);
  DWORD code = 1;
  if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code) || code != 0) {
    TerminateProcess(process.get(), 1);
    return false;
  }
  ModeInfo* modes[2] = {current, registry};
  const char* at = output.c_str();
  for (ModeInfo* m : modes) {
    int used = 0;
    if (std::sscanf(at, "%lu %lu %lu %lu %ld %ld %lu%n", &m->width, &m->height, &m->bits, &m->frequency, &m->x,
                    &m->y, &m->flags, &used) != 7)
      return false;
    at += used;
  }
  return true;
}

std::string CurrentSize() {
  ModeInfo current, registry;
  return ReadDisplayModes(&current, &registry) ? current.Size() : "?";
}

std::string RegistrySize() {
  ModeInfo current, registry;
  return ReadDisplayModes(&current, &registry) ? registry.Size() : "?";
}

bool SetCurrentSize(DWORD width, DWORD height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
}

ScreenStateGuard::ScreenStateGuard() {
  modesSaved_ = ReadDisplayModes(&current_, &registry_);
  rampSaved_ = ReadScreenRamp(&ramp_);
}

ScreenStateGuard::~ScreenStateGuard() {
  if (!restored_) Restore();
}

std::string ScreenStateGuard::Restore() {
  restored_ = true;
  std::string problems;
  if (modesSaved_) {
    auto record = [](const ModeInfo& m) {
      DEVMODEA mode = {};
      mode.dmSize = sizeof mode;
      mode.dmPelsWidth = m.width;
      mode.dmPelsHeight = m.height;
      mode.dmBitsPerPel = m.bits;
      mode.dmDisplayFrequency = m.frequency;
      mode.dmPosition.x = m.x;
      mode.dmPosition.y = m.y;
      mode.dmDisplayFlags = m.flags;
      mode.dmFields = kModeApplyFields;
      return mode;
    };
    DEVMODEA registry = record(registry_), current = record(current_);
    // The registry first without touching the screen, then the screen alone.
    if (ChangeDisplaySettingsA(&registry, CDS_UPDATEREGISTRY | CDS_NORESET) != DISP_CHANGE_SUCCESSFUL)
      problems += "the registry's mode could not be set back\n";
    if (ChangeDisplaySettingsA(&current, 0) != DISP_CHANGE_SUCCESSFUL)
      problems += "the current mode could not be set back\n";
    ModeInfo nowCurrent, nowRegistry;
    if (!ReadDisplayModes(&nowCurrent, &nowRegistry)) {
      problems += "the display modes cannot be read\n";
    } else {
      if (nowCurrent.Describe() != current_.Describe())
        problems += "current mode " + nowCurrent.Describe() + " instead of " + current_.Describe() + "\n";
      if (nowRegistry.Describe() != registry_.Describe())
        problems += "registry mode " + nowRegistry.Describe() + " instead of " + registry_.Describe() + "\n";
    }
  }
  if (rampSaved_) {
    Ramp now{};
    if (!SetScreenRamp(ramp_) || !ReadScreenRamp(&now) || now != ramp_) problems += "the gamma ramp did not come back\n";
  }
  return problems;
}

}  // namespace kestrin::e2e
