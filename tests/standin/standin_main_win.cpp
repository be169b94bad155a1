// standin.exe [--workerw] ["X Y LABEL"...]: a stand-in shell desktop for the tests, with those icons. Progman >
// SHELLDLL_DefView > SysListView32 (with --workerw the DefView lies under a top-level WorkerW), owned by the UI thread,
// where commands (WM_COPYDATA text at a message-only window titled with the process id) run, as inside Explorer;
// replies and counters go to the mapping "KestrinStandin<pid>" (standin::State). "ready" goes to standard output.
//
// standin.exe --display: prints the current and the registry's display mode ("width height bits frequency"), as a
// fresh process reads them under Wine, then "gamma R G B", entry 128 of each ramp channel. --display WIDTH HEIGHT
// [EXPONENT [CODE]] sets both to that size and the ramp to that power curve (scripts/wine-run puts the display back
// with it); with CODE it then moves the desktop's icons and ends with CODE. Steps before and after --display make it a
// game as /Run meets it (Game, below).
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
    item.pszText = text;
    item.cchTextMax = sizeof text - 1;
    SendMessageA(listView, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
    POINT pt{};
    SendMessageA(listView, LVM_GETITEMPOSITION, i, reinterpret_cast<LPARAM>(&pt));
    items.emplace_back(text, pt);
  }
  return items;
}

namespace {

HWND g_progman, g_workerw, g_control, g_listview;
standin::State* g_state;  // the mapping's view
WNDPROC g_listviewProc;
unsigned g_pumpNextTextMs;  // a slow shell folder: the next text request runs a modal loop
unsigned g_hangMs;
bool g_driverResetsRamp;  // as most display drivers do on a mode change
bool g_relaysIcons;       // as a shell does when the screen's size changes

unsigned long long ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return GetCursorInfo(&info) ? reinterpret_cast<uintptr_t>(info.hCursor) : 0;
}

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DISPLAYCHANGE && !g_state->displayChangedAt)
    g_state->cursorAtDisplayChange = ShownCursor(), g_state->displayChangedAt = GetTickCount64();
  if (msg == WM_DISPLAYCHANGE && g_relaysIcons) {  // one column from the top left
    for (LRESULT i = 0, count = SendMessageA(g_listview, LVM_GETITEMCOUNT, 0, 0); i < count; ++i)
      SendMessageA(g_listview, LVM_SETITEMPOSITION, static_cast<WPARAM>(i), MAKELPARAM(10, 10 + 80 * i));
  }
  if (msg == WM_DISPLAYCHANGE && g_driverResetsRamp) {
    WORD ramp[3][256];
    for (int i = 0; i < 256; ++i) ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<WORD>(257 * i);
    SetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp);
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ListViewHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
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
    const ULONGLONG end = GetTickCount64() + g_pumpNextTextMs;
    g_pumpNextTextMs = 0;
    g_state->pumping = 1;
    while (GetTickCount64() < end) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(5);
    }
    g_state->pumping = 0;
  }
  return CallWindowProcA(g_listviewProc, hwnd, msg, wp, lp);
}

// Wine swallows faults raised in window procedures; this count is how tests see them.
LONG CALLBACK CountFaults(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&g_state->faults);
  return EXCEPTION_CONTINUE_SEARCH;
}

std::string AddIcon(bool wide, int x, int y, const std::string& bytes) {
  std::wstring label(bytes.size() + 1, L'\0');
  if (wide)
    std::memcpy(label.data(), bytes.data(), bytes.size() & ~size_t{1}), label.resize(bytes.size() / 2);
  else
    label.resize(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), label.data(),
                                     static_cast<int>(label.size())));
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageA(g_listview, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = label.data();
  const int index = static_cast<int>(SendMessageW(g_listview, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  POINT pt{x, y};
  SendMessageA(g_listview, LVM_SETITEMPOSITION32, index, reinterpret_cast<LPARAM>(&pt));
  return index < 0 ? "error insert\n" : "ok\n";
}

// Runs on the UI thread.
std::string Run(const std::string& line) {
  char verb[32] = {};
  int a = 0, b = 0;
  const int fields = std::sscanf(line.c_str(), "%31s %d %d", verb, &a, &b);
  const std::string v = verb;
  // "add X Y LABEL": the label's bytes (UTF-16LE with "addw") are the rest of the command.
  const size_t label = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
  if ((v == "add" || v == "addw") && fields == 3 && label != std::string::npos)
    return AddIcon(v == "addw", a, b, line.substr(label + 1));
  if (v == "addmany" && fields == 2) {  // "addmany N": N icons more, "Icon 0" to "Icon N-1", in rows
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
  if (v == "mark") {
    g_state->displayChangedAt = g_state->firstMoveAt = 0;
    return g_state->cursorAtMark = ShownCursor(), "ok\n";
  }
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
  std::string reply;
  bool ran = false;
  try {
    reply = Run(std::string(static_cast<const char*>(data->lpData), data->cbData)), ran = true;
  } catch (...) {  // nothing may cross the window procedure
  }
  std::strncpy(g_state->reply, ran ? reply.c_str() : "error out of memory\n", sizeof g_state->reply - 1);
  if (g_hangMs) {  // a hung shell: the reply is out, then this thread stops pumping
    ReplyMessage(1);
    Sleep(g_hangMs);
    g_hangMs = 0;
  }
  return 1;
}

HWND Window(const char* cls, DWORD style, HWND parent, HINSTANCE inst) {
  return CreateWindowExA(0, cls, "", style | WS_CLIPCHILDREN, 0, 0, 800, 600, parent, nullptr, inst, nullptr);
}

void Print(DWORD stream, const std::string& text) {
  DWORD wrote = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
}

bool SetScreen(DWORD width, DWORD height, double exponent) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  bool ok = ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_NORESET) == DISP_CHANGE_SUCCESSFUL;
  ok = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL && ok;
  WORD ramp[3][256];
  for (int i = 0; i < 256; ++i)
    ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<WORD>(std::lround(65535.0 * std::pow(i / 255.0, exponent)));
  return SetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp) && ok;
}

int Display(int argc, char** argv) {  // argv[0] is "--display"
  const long width = argc >= 3 ? std::strtol(argv[1], nullptr, 10) : 1,
             height = argc >= 3 ? std::strtol(argv[2], nullptr, 10) : 1;
  const double exponent = argc >= 4 ? std::strtod(argv[3], nullptr) : 1.0;
  if (argc == 2 || argc > 5 || width <= 0 || height <= 0 || !(exponent >= 1.0 && exponent <= 4.0))
    return Print(STD_ERROR_HANDLE, "usage: standin --display [WIDTH HEIGHT [EXPONENT 1..4 [EXIT CODE]]]\n"), 2;
  if (argc >= 3 && !SetScreen(static_cast<DWORD>(width), static_cast<DWORD>(height), exponent))
    return Print(STD_ERROR_HANDLE, "standin: could not set the display\n"), 1;
  if (argc == 5) {  // list-view moves carry no pointer, so another process may make them
    HWND view = FindWindowExA(FindWindowA("Progman", nullptr), nullptr, "SHELLDLL_DefView", nullptr);
    HWND list = FindWindowExA(view, nullptr, WC_LISTVIEWA, nullptr);
    for (LRESULT i = 0, count = list ? SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0; i < count; ++i)
      SendMessageA(list, LVM_SETITEMPOSITION, static_cast<WPARAM>(i), MAKELPARAM(500 + 20 * i, 400));
    return std::atoi(argv[4]);
  }
  bool ok = true;
  for (DWORD which : {ENUM_CURRENT_SETTINGS, ENUM_REGISTRY_SETTINGS}) {
    DEVMODEA m = {};
    m.dmSize = sizeof m;
    ok = EnumDisplaySettingsA(nullptr, which, &m) && ok;
    Print(STD_OUTPUT_HANDLE, std::to_string(m.dmPelsWidth) + " " + std::to_string(m.dmPelsHeight) + " " +
                                 std::to_string(m.dmBitsPerPel) + " " + std::to_string(m.dmDisplayFrequency) + "\n");
  }
  WORD ramp[3][256];
  const bool gamma = GetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp);
  Print(STD_OUTPUT_HANDLE, gamma ? "gamma " + std::to_string(ramp[0][128]) + " " + std::to_string(ramp[1][128]) + " " +
                                       std::to_string(ramp[2][128]) + "\n"
                                 : "gamma ?\n");
  return ok && gamma ? 0 : 1;
}

// A game as /Run meets it, steps in order: --late MS waits; --needs FILE ends with 4 unless FILE is in the folder it
// was started in; --launch ends at once with 3, having started this program with the rest of the arguments (a
// launcher); --display as above; --hold MS waits, then ends with --display's code.
int Game(int argc, char** argv) {
  int code = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    if ((step == "--late" || step == "--hold") && i + 1 < argc) {
      Sleep(std::strtoul(argv[++i], nullptr, 10));
    } else if (step == "--needs" && i + 1 < argc) {
      if (GetFileAttributesA(argv[++i]) == INVALID_FILE_ATTRIBUTES) return 4;
    } else if (step == "--launch") {
      char self[MAX_PATH] = {};
      GetModuleFileNameA(nullptr, self, MAX_PATH);
      std::string line = "\"" + std::string(self) + "\"";
      for (int j = i + 1; j < argc; ++j) line += std::string(" \"") + argv[j] + "\"";
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION info{};
      if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
      CloseHandle(info.hProcess), CloseHandle(info.hThread);
      return 3;
    } else if (step == "--display") {
      int end = i + 1;
      while (end < argc && std::strncmp(argv[end], "--", 2) != 0) ++end;
      code = Display(end - i, argv + i);
      i = end - 1;
    } else {
      return Print(STD_ERROR_HANDLE, "standin: unknown step " + step + "\n"), 2;
    }
  }
  return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
  if (__argc >= 2 && std::strncmp(__argv[1], "--", 2) == 0 && std::strcmp(__argv[1], "--workerw") != 0)
    return Game(__argc, __argv);
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(standin::State),
                                      (standin::kMappingPrefix + pid).c_str());
  g_state = mapping ? static_cast<standin::State*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
  if (!g_state) return 5;
  AddVectoredExceptionHandler(1, CountFaults);
  const bool workerw = __argc >= 2 && std::strcmp(__argv[1], "--workerw") == 0;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  for (const char* name : {"Progman", "SHELLDLL_DefView", "WorkerW", standin::kControlClass}) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = !std::strcmp(name, standin::kControlClass) ? ControlProc
                     : !std::strcmp(name, "Progman")            ? ProgmanProc
                                                                : DefWindowProcA;
    wc.hInstance = inst;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    if (!RegisterClassA(&wc)) return 3;
  }
  // Caption-less popups shown without activation stay unmanaged under Wine's X11 driver;
  // with no window manager, hiding a managed window stalls for 2 s.
  g_progman = Window("Progman", WS_POPUP, nullptr, inst);
  SetWindowTextA(g_progman, "Program Manager");
  if (workerw) g_workerw = Window("WorkerW", WS_POPUP, nullptr, inst);
  for (HWND top : {g_progman, g_workerw})
    if (top)
      SetWindowPos(top, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  HWND defview = Window("SHELLDLL_DefView", WS_CHILD | WS_VISIBLE, workerw ? g_workerw : g_progman, inst);
  g_listview = Window(WC_LISTVIEWA, WS_CHILD | WS_VISIBLE | LVS_ICON, defview, inst);
  g_control = CreateWindowExA(0, standin::kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
  if (!g_listview || !g_control) return 4;
  // Wine's list view arranges every icon on its first paint that finds items, wiping the
  // positions set so far. A real desktop was painted long ago: get that paint over with.
  AddIcon(false, 0, 0, "x");
  RedrawWindow(g_listview, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  SendMessageA(g_listview, LVM_DELETEALLITEMS, 0, 0);
  g_listviewProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(g_listview, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListViewHook)));
  for (int i = workerw ? 2 : 1; i < __argc; ++i) {  // "X Y LABEL"
    int x = 0, y = 0, at = 0;
    if (std::sscanf(__argv[i], "%d %d %n", &x, &y, &at) != 2 || !at) return 6;
    AddIcon(false, x, y, __argv[i] + at);
  }
  g_state->listView = reinterpret_cast<uintptr_t>(g_listview);
  SetWindowTextA(g_control, pid.c_str());  // the client finds the stand-in by it, once it is up
  // A shell that starts tells every program so: their notification icons are gone.
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  Print(STD_OUTPUT_HANDLE, "ready\n");
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
