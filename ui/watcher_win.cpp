#include "watcher_win.h"

#include <windows.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <vector>

#include "agent_client_win.h"
#include "gamma_win.h"
#include "icon_names.h"
#include "resource_ids.h"
#include "save_restore_win.h"
#include "snapshot_file_win.h"
#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "user_access_win.h"
#include "utf8_win.h"
#include "watch_rules.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

constexpr char kWatcherClass[] = "Kestrin.Watcher";
constexpr char kWatcherMutex[] = "Kestrin.Watcher";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Kestrin";
constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT_PTR kWakeTimer = 1;

// The notification icon's menu, one line per command.
enum MenuCommand : UINT {
  kSaveNow = 1,
  kRestoreNow,
  kOpenKestrin,
  kStartWithWindows,
  kStopWatching,
};

int64_t Now() { return static_cast<int64_t>(GetTickCount64()); }

// As every process sees it at once: under Wine, EnumDisplaySettings in a running process
// keeps the mode it last knew after another process changed it; the metrics follow.
Resolution PrimaryResolution() {
  return {static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)),
          static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN))};
}

bool RecordPath(Resolution resolution, std::string* path) {
  std::string snapshot;
  if (!SnapshotPath(&snapshot)) return false;
  *path = ResolutionRecordPath(snapshot, resolution.width, resolution.height);
  return true;
}

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// The command the Run key starts: "<path>\Kestrin.exe" /Watch.
std::wstring StartCommand() { return L"\"" + ProgramPath() + L"\" /Watch"; }

bool StartsWithWindows() {
  wchar_t value[32768 + 16] = {};
  DWORD size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, value,
                      &size) == ERROR_SUCCESS &&
         StartCommand() == value;
}

void SetStartWithWindows(bool on) {
  if (!on) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
    return;
  }
  const std::wstring command = StartCommand();
  RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(),
                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

class Watcher {
 public:
  Watcher() : rules_(Now(), RecordedResolutions()) {}

  int Run() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWatcherClass;
    RegisterClassA(&windowClass);
    // Hidden but top-level: display changes, the shell's restart and the session's end are
    // told to top-level windows only.
    window_.reset(CreateWindowExA(0, kWatcherClass, "Kestrin", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, windowClass.hInstance, nullptr));
    if (!window_) return 1;
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    WTSRegisterSessionNotification(window_.get(), NOTIFY_FOR_THIS_SESSION);
    AddIcon();
    Schedule();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DisconnectAgent(&agent_);
    return 0;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Watcher*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    try {
      return self->OnMessage(window, message, wParam, lParam);
    } catch (...) {
      return DefWindowProcA(window, message, wParam, lParam);  // out of memory: next time
    }
  }

  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_) {
      Do(rules_.ShellRestarted(Now()));
    } else if (message == WM_DISPLAYCHANGE) {
      rules_.DisplayChanged(Now(), {LOWORD(lParam), HIWORD(lParam)});
    } else if ((message == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC) ||
               (message == WM_WTSSESSION_CHANGE && wParam == WTS_SESSION_UNLOCK)) {
      Do(rules_.Resumed());
    } else if (message == WM_TIMER && wParam == kWakeTimer) {
      Do(rules_.Wake(Now()));
    } else if (message == kIconMessage &&
               (LOWORD(lParam) == WM_RBUTTONUP || LOWORD(lParam) == WM_CONTEXTMENU)) {
      ShowMenu();
    } else if (message == WM_COMMAND) {
      OnMenu(LOWORD(wParam));
    } else if (message == WM_DESTROY) {
      WTSUnRegisterSessionNotification(window);
      NOTIFYICONDATAA icon = IconData();
      Shell_NotifyIconA(NIM_DELETE, &icon);
      PostQuitMessage(0);
      return 0;
    } else {
      return DefWindowProcA(window, message, wParam, lParam);
    }
    Schedule();
    return 0;
  }

  static std::vector<Resolution> RecordedResolutions() {
    std::vector<Resolution> recorded;
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    std::string path;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
      const Resolution resolution{mode.dmPelsWidth, mode.dmPelsHeight};
      bool known = false;
      for (const Resolution& r : recorded) known = known || r == resolution;
      if (!known && RecordPath(resolution, &path) &&
          GetFileAttributesW(WideText(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        recorded.push_back(resolution);
    }
    return recorded;
  }

  // What the rules ask, in their order; a look may ask for more.
  void Do(const WatchActions& actions) {
    if (actions.reconnect) {
      DisconnectAgent(&agent_);
      ConnectAgent(&agent_);
    }
    if (actions.notificationIcon) AddIcon();
    if (actions.restoreIcons || actions.restoreRamp)
      Restore(actions.resolution, actions.restoreIcons, actions.restoreRamp);
    if (actions.look) Do(Look());
    if (actions.record) Record(actions.resolution);
  }

  WatchActions Look() {
    DesktopSight sight;
    sight.resolution = PrimaryResolution();
    sight.listView = reinterpret_cast<uintptr_t>(FindDesktopListView());
    OwnedIconLayout layout;
    sight.captured = CaptureIconLayout(&agent_, &layout).ok();
    if (sight.captured) {
      sight.fingerprint = Crc32(layout.bytes.get(), layout.length);
      lastLayout_ = std::move(layout);
      lastFingerprint_ = sight.fingerprint;
    }
    return rules_.Looked(Now(), sight);
  }

  // The layout last looked at, with the mode and the exact ramp now, for `resolution`.
  bool Record(Resolution resolution) {
    std::string path;
    DEVMODEA mode;
    GammaRamp ramp{};
    GammaTriple gamma;
    const bool haveRamp = ReadGamma(&gamma, &ramp).ok();
    if (!lastLayout_.bytes || !RecordPath(resolution, &path) || !ReadCurrentDisplayMode(&mode))
      return false;
    mode.dmPelsWidth = resolution.width;  // as the look saw it (see PrimaryResolution)
    mode.dmPelsHeight = resolution.height;
    if (!WriteSnapshotFileAt(path, mode, lastLayout_, gamma, haveRamp ? &ramp : nullptr).ok())
      return false;
    rules_.Recorded(resolution, lastFingerprint_);
    return true;
  }

  // `asked`: the rules asked for it, and are told how it went.
  void Restore(Resolution resolution, bool icons, bool ramp, bool asked = true) {
    std::string path;
    Snapshot record;
    const bool loaded = RecordPath(resolution, &path) && LoadSnapshotAt(path, &record).ok();
    bool placed = false;
    if (loaded && icons) placed = ApplyIconLayout(&agent_, record.icons).ok();
    if (loaded && ramp) SetRampOrGamma(record.hasRamp ? &record.ramp : nullptr, &record.gamma);
    if (icons && asked) rules_.Restored(Now(), placed);
  }

  void OnMenu(UINT command) {
    switch (command) {
      case kSaveNow: {
        OwnedIconLayout layout;
        if (!CaptureIconLayout(&agent_, &layout).ok()) break;
        lastFingerprint_ = Crc32(layout.bytes.get(), layout.length);
        lastLayout_ = std::move(layout);
        Record(PrimaryResolution());
        break;
      }
      case kRestoreNow:
        Restore(PrimaryResolution(), true, true, false);
        break;
      case kOpenKestrin: {
        std::wstring line = L"\"" + ProgramPath() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
          CloseHandle(info.hThread);
          CloseHandle(info.hProcess);
        }
        break;
      }
      case kStartWithWindows:
        SetStartWithWindows(!StartsWithWindows());
        break;
      case kStopWatching:
        DestroyWindow(window_.release());
        break;
      default:
        break;
    }
  }

  void ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuA(menu, MF_STRING, kSaveNow, "Save this layout now");
    AppendMenuA(menu, MF_STRING, kRestoreNow, "Restore this layout now");
    AppendMenuA(menu, MF_STRING, kOpenKestrin, "Open Kestrin");
    AppendMenuA(menu, MF_STRING | (StartsWithWindows() ? MF_CHECKED : 0), kStartWithWindows,
                "Start with Windows");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kStopWatching, "Stop watching");
    POINT at;
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only while its owner is in front.
    SetForegroundWindow(window_.get());
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window_.get(), nullptr);
    DestroyMenu(menu);
  }

  NOTIFYICONDATAA IconData() const {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_.get();
    icon.uID = 1;
    return icon;
  }

  void AddIcon() {
    NOTIFYICONDATAA icon = IconData();
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kIconMessage;
    icon.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
    lstrcpynA(icon.szTip, "Kestrin is watching the desktop", sizeof icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &icon);
  }

  void Schedule() {
    if (!window_) return;
    const int64_t wait = rules_.NextWakeMs() - Now();
    SetTimer(window_.get(), kWakeTimer, static_cast<UINT>(wait < 10 ? 10 : wait), nullptr);
  }

  WatchRules rules_;
  AgentClient agent_;
  UINT taskbarCreated_ = 0;
  OwnedIconLayout lastLayout_;
  uint32_t lastFingerprint_ = 0;
  UniqueWindow window_;  // last: destroyed first
};

}  // namespace

int RunWatcher(const std::function<void(const std::string&)>& say) {
  UserAccess access;
  UniqueHandle mutex(CreateMutexA(access.get(), FALSE, kWatcherMutex));
  const DWORD error = GetLastError();
  // Denied: an elevated watcher made it. Without the mutex at all there is no telling: watch.
  if (error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED)) {
    say("Kestrin is already watching this desktop");
    return 0;
  }
  Watcher watcher;
  return watcher.Run();
}

int StopWatcher(const std::function<void(const std::string&)>& say) {
  HWND watcher = FindWindowA(kWatcherClass, nullptr);
  if (!watcher) {
    say("No Kestrin watcher is running");
    return 1;
  }
  PostMessageA(watcher, WM_COMMAND, kStopWatching, 0);
  for (int i = 0; i < 200 && IsWindow(watcher); ++i) Sleep(50);
  return IsWindow(watcher) ? 1 : 0;
}

}  // namespace kestrin
