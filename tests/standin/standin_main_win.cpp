// standin.exe [--workerw] ["X Y LABEL"...]: a stand-in shell desktop with those icons, Progman > SHELLDLL_DefView >
// SysListView32 (--workerw: the DefView under a top-level WorkerW). As in Explorer, its UI thread runs the commands
// sent as WM_COPYDATA text to a message-only window titled with the process id; replies and counters go to the mapping
// "KestrinStandin<pid>" (standin::State). Prints "ready" once up.
// standin.exe --display prints the current and the registry's mode ("width height bits frequency"), as a fresh process
// reads them under Wine, then "gamma R G B", entry 128 of each ramp channel. --display WIDTH HEIGHT [EXPONENT [CODE]]
// sets both to that size and the ramp to that power curve (how scripts/wine-run puts the display back), then with CODE
// moves the desktop's icons and ends with CODE. With steps around it, it is a game as /Run meets it (Game, below).
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "standin_client_win.h"
#include "win_handle_win.h"

std::string BenchVerb(const std::string& verb, HWND listView);  // bench/standin_floor_win.cpp

// Every item's text and position, as the stand-in and the benchmark's floor read them.
std::vector<std::pair<std::string, POINT>> ListViewItems(HWND listView) {
  std::vector<std::pair<std::string, POINT>> items;
  for (LRESULT i = 0, count = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0); i < count; ++i) {
    char text[1026] = {};  // Wine's list view fills a too-small buffer without a terminator: a spare zero
    LVITEMA item{};
    item.pszText = text, item.cchTextMax = sizeof text - 1;
    POINT pt{};
    SendMessageA(listView, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
    SendMessageA(listView, LVM_GETITEMPOSITION, i, reinterpret_cast<LPARAM>(&pt));
    items.emplace_back(text, pt);
  }
  return items;
}

namespace {

HWND g_listview;
standin::State* g_state;
unsigned g_hangMs, g_pumpNextTextMs;     // "pump": a slow shell folder, a modal loop on the next text request
bool g_driverResetsRamp, g_relaysIcons;  // on a mode change, as most display drivers and a shell do

unsigned long long ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return GetCursorInfo(&info) ? reinterpret_cast<uintptr_t>(info.hCursor) : 0;
}

bool SetRamp(double exponent) {  // the same power curve on every channel
  WORD ramp[3][256];
  for (int i = 0; i < 256; ++i)
    ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<WORD>(std::lround(65535.0 * std::pow(i / 255.0, exponent)));
  return SetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp);
}

void MoveEach(HWND listView, int x, int dx, int y, int dy) {  // icon i to (x + i * dx, y + i * dy)
  for (LRESULT i = 0, count = listView ? SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0) : 0; i < count; ++i)
    SendMessageA(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(i), MAKELPARAM(x + dx * i, y + dy * i));
}

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DISPLAYCHANGE && !g_state->displayChangedAt)
    g_state->cursorAtDisplayChange = ShownCursor(), g_state->displayChangedAt = GetTickCount64();
  if (msg == WM_DISPLAYCHANGE && g_relaysIcons) MoveEach(g_listview, 10, 0, 10, 80);  // one column from the top left
  if (msg == WM_DISPLAYCHANGE && g_driverResetsRamp) SetRamp(1.0);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ListViewHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == LVM_SETITEMPOSITION || msg == LVM_SETITEMPOSITION32) {
    InterlockedIncrement(&g_state->moves);
    if (!g_state->firstMoveAt) {
      WORD ramp[3][256] = {};
      GetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp);
      g_state->rampAtFirstMove = ramp[0][128], g_state->cursorAtFirstMove = ShownCursor();
      g_state->firstMoveAt = GetTickCount64();
    }
    if (GetWindowLongPtrA(hwnd, GWL_STYLE) & LVS_AUTOARRANGE) InterlockedIncrement(&g_state->movesWhileArranged);
  }
  if ((msg == LVM_GETITEMTEXTA || msg == LVM_GETITEMTEXTW) && g_pumpNextTextMs) {
    const ULONGLONG end = GetTickCount64() + std::exchange(g_pumpNextTextMs, 0u);
    g_state->pumping = 1;
    for (MSG m; GetTickCount64() < end; Sleep(5))
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    g_state->pumping = 0;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// Wine swallows faults raised in window procedures; this count is how tests see them.
LONG CALLBACK CountFaults(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&g_state->faults);
  return EXCEPTION_CONTINUE_SEARCH;
}

std::string AddIcon(bool wide, int x, int y, const std::string& bytes) {
  std::wstring label(bytes.size() + 1, L'\0');
  const int size = static_cast<int>(bytes.size());
  label.resize(wide ? size / 2 : MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, label.data(), size + 1));
  if (wide) std::memcpy(label.data(), bytes.data(), label.size() * 2);  // "addw": UTF-16LE
  LVITEMW item{};
  item.mask = LVIF_TEXT, item.pszText = label.data();
  item.iItem = static_cast<int>(SendMessageA(g_listview, LVM_GETITEMCOUNT, 0, 0));
  const int index = static_cast<int>(SendMessageW(g_listview, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  POINT pt{x, y};
  SendMessageA(g_listview, LVM_SETITEMPOSITION32, index, reinterpret_cast<LPARAM>(&pt));
  return index < 0 ? "error insert\n" : "ok\n";
}

std::string Run(const std::string& line) {
  char verb[32] = {};
  int a = 0, b = 0, at = 0;
  const int fields = std::sscanf(line.c_str(), "%31s %d %d%n", verb, &a, &b, &at);
  const std::string v = verb;
  if ((v == "add" || v == "addw") && fields == 3 && line[at] == ' ')  // the label's bytes: the rest of the line
    return AddIcon(v == "addw", a, b, line.substr(at + 1));
  if (v == "addmany" && fields == 2) {  // "Icon 0" to "Icon N-1", in rows
    SendMessageA(g_listview, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < a; ++i) AddIcon(false, 10 + 70 * (i % 100), 10 + 70 * (i / 100), "Icon " + std::to_string(i));
    SendMessageA(g_listview, WM_SETREDRAW, TRUE, 0);
    return "ok\n";
  }
  if (v == "list") {
    std::string out;
    for (const auto& [text, pt] : ListViewItems(g_listview))
      out += "icon " + std::to_string(pt.x) + " " + std::to_string(pt.y) + " " + text + "\n";
    return out;
  }
  if (v == "mark")
    return g_state->displayChangedAt = g_state->firstMoveAt = 0, g_state->cursorAtMark = ShownCursor(), "ok\n";
  if (v == "driver" && fields == 2) return g_driverResetsRamp = a != 0, "ok\n";
  if (v == "relay" && fields == 2) return g_relaysIcons = a != 0, "ok\n";
  if (v == "hang" && fields == 2 && a >= 0) return g_hangMs = static_cast<unsigned>(a), "ok\n";
  if (v == "pump" && fields == 2 && a >= 0) return g_pumpNextTextMs = static_cast<unsigned>(a), "ok\n";
  const std::string bench = BenchVerb(v, g_listview);
  return bench.empty() ? "error unknown command: " + line + "\n" : bench;
}

// No C++ frame here needs unwinding: the fault may unwind straight through it.
__attribute__((noinline)) void ReadInvalidAddress() {
  static volatile uintptr_t invalid = 0x10;  // read at run time: no compiler warning
  (void)*reinterpret_cast<volatile int*>(invalid);
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == standin::kProvokeFaultMessage) return ReadInvalidAddress(), 1;
  if (msg == WM_CLOSE) PostQuitMessage(0);
  if (msg != WM_COPYDATA) return DefWindowProcA(hwnd, msg, wp, lp);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
  try {
    const std::string reply = Run(std::string(static_cast<const char*>(data->lpData), data->cbData));
    std::strncpy(g_state->reply, reply.c_str(), sizeof g_state->reply - 1);
  } catch (...) {  // nothing may cross the window procedure
    std::strncpy(g_state->reply, "error out of memory\n", sizeof g_state->reply - 1);
  }
  if (g_hangMs) ReplyMessage(1), Sleep(std::exchange(g_hangMs, 0u));  // a hung shell: answered, then not pumping
  return 1;
}

// Caption-less popups shown without activation stay unmanaged under Wine's X11 driver; with no window manager, hiding
// a managed window stalls for 2 s.
HWND Window(const char* cls, WNDPROC proc, const char* title, DWORD style, HWND parent) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  const WNDCLASSA wc{0, proc, 0, 0, inst, nullptr, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), nullptr, cls};
  if (proc && !RegisterClassA(&wc)) return nullptr;  // the list view's class is the system's
  HWND window = CreateWindowExA(0, cls, title, style | WS_CLIPCHILDREN, 0, 0, 800, 600, parent, nullptr, inst, nullptr);
  if (window && (style & WS_POPUP))
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  return window;
}

void Print(DWORD stream, const std::string& text) {
  DWORD wrote = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
}

bool SetScreen(DWORD width, DWORD height, double exponent) {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  bool ok = ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_NORESET) == DISP_CHANGE_SUCCESSFUL;
  ok = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL && ok;
  return SetRamp(exponent) && ok;
}

int Display(int argc, char** argv) {  // argv[0] is "--display"
  const long width = argc >= 3 ? std::atol(argv[1]) : 1, height = argc >= 3 ? std::atol(argv[2]) : 1;
  const double exponent = argc >= 4 ? std::atof(argv[3]) : 1.0;
  if (argc == 2 || argc > 5 || width <= 0 || height <= 0 || !(exponent >= 1.0 && exponent <= 4.0))
    return Print(STD_ERROR_HANDLE, "usage: standin --display [WIDTH HEIGHT [EXPONENT 1..4 [EXIT CODE]]]\n"), 2;
  if (argc >= 3 && !SetScreen(static_cast<DWORD>(width), static_cast<DWORD>(height), exponent))
    return Print(STD_ERROR_HANDLE, "standin: could not set the display\n"), 1;
  if (argc == 5) {  // list-view moves carry no pointer, so another process may make them
    HWND view = FindWindowExA(FindWindowA("Progman", nullptr), nullptr, "SHELLDLL_DefView", nullptr);
    MoveEach(FindWindowExA(view, nullptr, WC_LISTVIEWA, nullptr), 500, 20, 400, 0);
    return std::atoi(argv[4]);
  }
  bool ok = true;
  for (DWORD which : {ENUM_CURRENT_SETTINGS, ENUM_REGISTRY_SETTINGS}) {
    DEVMODEA m{};
    m.dmSize = sizeof m;
    ok = EnumDisplaySettingsA(nullptr, which, &m) && ok;
    Print(STD_OUTPUT_HANDLE, std::to_string(m.dmPelsWidth) + " " + std::to_string(m.dmPelsHeight) + " " +
                                 std::to_string(m.dmBitsPerPel) + " " + std::to_string(m.dmDisplayFrequency) + "\n");
  }
  WORD ramp[3][256];
  if (!GetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp)) return Print(STD_OUTPUT_HANDLE, "gamma ?\n"), 1;
  Print(STD_OUTPUT_HANDLE, "gamma " + std::to_string(ramp[0][128]) + " " + std::to_string(ramp[1][128]) + " " +
                               std::to_string(ramp[2][128]) + "\n");
  return ok ? 0 : 1;
}

// A game as /Run meets it, steps in order: --late MS and --hold MS wait; --needs FILE ends with 4 unless FILE is in the
// folder it started in; --launch (a launcher) starts this program with the rest, ends with 3; --display gives the code.
int Game(int argc, char** argv) {
  int code = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    if ((step == "--late" || step == "--hold") && i + 1 < argc) {
      Sleep(std::strtoul(argv[++i], nullptr, 10));
    } else if (step == "--needs" && i + 1 < argc) {
      if (GetFileAttributesA(argv[++i]) == INVALID_FILE_ATTRIBUTES) return 4;
    } else if (step == "--launch") {
      char self[MAX_PATH];
      std::string line = "\"" + std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)) + "\"";
      for (int j = i + 1; j < argc; ++j) line += std::string(" \"") + argv[j] + "\"";
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION info{};
      if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
      return CloseHandle(info.hProcess), CloseHandle(info.hThread), 3;
    } else if (step == "--display") {
      const int at = i;  // its arguments run up to the next step
      while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) ++i;
      code = Display(i - at + 1, argv + at);
    } else {
      return Print(STD_ERROR_HANDLE, "standin: unknown step " + step + "\n"), 2;
    }
  }
  return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const bool workerw = __argc >= 2 && std::strcmp(__argv[1], "--workerw") == 0;
  if (__argc >= 2 && !workerw && std::strncmp(__argv[1], "--", 2) == 0) return Game(__argc, __argv);
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(standin::State),
                                      (standin::kMappingPrefix + pid).c_str());
  if (!(g_state = static_cast<standin::State*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)))) return 5;
  AddVectoredExceptionHandler(1, CountFaults);
  InitCommonControls();
  HWND top = Window("Progman", ProgmanProc, "Program Manager", WS_POPUP, nullptr);
  if (workerw) top = Window("WorkerW", DefWindowProcA, "", WS_POPUP, nullptr);
  HWND defview = Window("SHELLDLL_DefView", DefWindowProcA, "", WS_CHILD | WS_VISIBLE, top);
  g_listview = Window(WC_LISTVIEWA, nullptr, "", WS_CHILD | WS_VISIBLE | LVS_ICON, defview);
  HWND control = Window(standin::kControlClass, ControlProc, "", 0, HWND_MESSAGE);
  if (!g_listview || !control) return 4;
  // Wine's list view arranges every icon on its first paint that finds items, wiping the positions set so far. A real
  // desktop was painted long ago: get that paint over with.
  AddIcon(false, 0, 0, "x");
  RedrawWindow(g_listview, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  SendMessageA(g_listview, LVM_DELETEALLITEMS, 0, 0);
  SetWindowSubclass(g_listview, ListViewHook, 0, 0);
  for (int i = workerw ? 2 : 1; i < __argc; ++i)  // "X Y LABEL"
    if (Run(std::string("add ") + __argv[i]) != "ok\n") return 6;
  g_state->listView = reinterpret_cast<uintptr_t>(g_listview);
  SetWindowTextA(control, pid.c_str());  // the client finds the stand-in by it, once it is up
  // A shell that starts tells every program so: their notification icons are gone.
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  Print(STD_OUTPUT_HANDLE, "ready\n");
  for (MSG msg; GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
  return 0;
}
