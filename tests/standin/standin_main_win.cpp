// standin.exe: a stand-in shell desktop for the Wine tests.
// Progman > SHELLDLL_DefView > SysListView32 (or, with --workerw, the DefView under a
// top-level WorkerW), all owned by the UI thread. A reader thread takes commands from
// stdin and hands each to the UI thread with SendMessage, so every list-view call runs
// on the list view's own thread, as it does inside Explorer.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "standin_client_win.h"

namespace {

constexpr UINT kCommandMsg = WM_APP + 1;
constexpr UINT kFaultMsg = WM_APP + 2;
constexpr UINT kQuitMsg = WM_APP + 3;
constexpr size_t kMaxLine = 64 * 1024;
constexpr long long kMaxCoordinate = 0x7FFFFFFF;

HWND g_progman, g_workerw, g_defview, g_listview, g_control;
volatile LONG g_faults;

// Moves the list view received, and how many of them arrived while it auto-arranged:
// Wine's list view moves icons either way, so the style at each move is recorded here.
long g_moves, g_movesWhileArranged;
WNDPROC g_listviewProc;
// A slow shell folder: the next text request runs a modal loop for this long first.
unsigned g_pumpNextTextMs;
bool g_pumping;

void PumpMessagesFor(unsigned ms) {
  g_pumping = true;
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now; (now = GetTickCount64()) < end;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
  g_pumping = false;
}

LRESULT CALLBACK ListViewHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == LVM_SETITEMPOSITION || msg == LVM_SETITEMPOSITION32) {
    ++g_moves;
    if (GetWindowLongPtrA(hwnd, GWL_STYLE) & LVS_AUTOARRANGE) ++g_movesWhileArranged;
  }
  if (msg == LVM_GETITEMTEXTA && g_pumpNextTextMs) {
    const unsigned ms = g_pumpNextTextMs;
    g_pumpNextTextMs = 0;
    PumpMessagesFor(ms);
  }
  return CallWindowProcA(g_listviewProc, hwnd, msg, wp, lp);
}

// Wine swallows faults raised in window procedures; this count is how tests see them.
LONG CALLBACK CountFaults(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&g_faults);
  return EXCEPTION_CONTINUE_SEARCH;
}

struct Command {
  std::string line;
  std::string reply;
  unsigned hangMs = 0;
};

int ItemCount() { return static_cast<int>(SendMessageA(g_listview, LVM_GETITEMCOUNT, 0, 0)); }

// Wine's list view fills a too-small buffer without a terminator and then takes strlen
// of it: the spare zero byte past cchTextMax keeps that read inside our memory.
std::string ItemText(int index, std::vector<char>* buffer) {
  const int size = static_cast<int>(buffer->size()) - 1;
  std::fill(buffer->begin(), buffer->end(), '\0');
  LVITEMA item{};
  item.pszText = buffer->data();
  item.cchTextMax = size;
  SendMessageA(g_listview, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
  return std::string(buffer->data(), strnlen(buffer->data(), size));
}

POINT ItemPosition(int index) {
  POINT pt{};
  SendMessageA(g_listview, LVM_GETITEMPOSITION, index, reinterpret_cast<LPARAM>(&pt));
  return pt;
}

void SetPosition32(int index, long long x, long long y) {
  POINT pt{static_cast<LONG>(x), static_cast<LONG>(y)};
  SendMessageA(g_listview, LVM_SETITEMPOSITION32, index, reinterpret_cast<LPARAM>(&pt));
}

double MicrosecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(freq.QuadPart);
}

// What a capture does per item: text into a 260-byte buffer, position, copy to a record.
std::string FloorCapture() {
  struct Record {
    char text[260];
    POINT pt;
  };
  static_assert(sizeof(Record) == 268, "capture record layout");
  std::vector<Record> records;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  int count = ItemCount();
  records.resize(count > 0 ? count : 0);
  for (int i = 0; i < count; ++i) {
    char text[261] = {};  // 260 for the list view, one spare zero (see ItemText)
    LVITEMA item{};
    item.pszText = text;
    item.cchTextMax = 260;
    SendMessageA(g_listview, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
    POINT pt{};
    SendMessageA(g_listview, LVM_GETITEMPOSITION, i, reinterpret_cast<LPARAM>(&pt));
    std::memcpy(records[i].text, text, sizeof records[i].text);
    records[i].pt = pt;
  }
  return "us " + std::to_string(MicrosecondsSince(start)) + "\n";
}

// What an apply does: three passes of find-by-text then a 16-bit position set.
std::string FloorApply() {
  struct Item {
    std::string text;
    POINT pt;
  };
  std::vector<Item> items;
  std::vector<char> buffer(1025);
  for (int i = 0, n = ItemCount(); i < n; ++i) items.push_back({ItemText(i, &buffer), ItemPosition(i)});
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  for (int pass = 0; pass < 3; ++pass) {
    for (const Item& item : items) {
      LVFINDINFOA find{};
      find.flags = LVFI_STRING;
      find.psz = item.text.c_str();
      int found = static_cast<int>(SendMessageA(g_listview, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(&find)));
      if (found >= 0)
        SendMessageA(g_listview, LVM_SETITEMPOSITION, found, MAKELPARAM(item.pt.x & 0xFFFF, item.pt.y & 0xFFFF));
    }
  }
  return "us " + std::to_string(MicrosecondsSince(start)) + "\n";
}

// Runs on the UI thread; returns the reply lines (without "end").
std::string Run(Command* cmd) {
  using standin::ParseInteger;
  const std::vector<std::string> f = standin::SplitFields(cmd->line);
  const std::string& verb = f[0];
  long long x = 0, y = 0, n = 0;
  if (verb == "add" || verb == "addw") {
    // "add": the label in the system's code page; "addw": in UTF-16LE, as the shell holds
    // names. The list view keeps either as UTF-16.
    std::string bytes;
    if (f.size() != 4) return "error usage: " + verb + " <x> <y> <hexlabel>\n";
    if (!ParseInteger(f[1], -kMaxCoordinate - 1, kMaxCoordinate, &x) ||
        !ParseInteger(f[2], -kMaxCoordinate - 1, kMaxCoordinate, &y))
      return "error bad coordinate\n";
    const bool wide = verb == "addw";
    if (!standin::HexDecode(f[3], &bytes) || (wide && bytes.size() % 2)) return "error bad hex label\n";
    std::wstring label(wide ? bytes.size() / 2 : bytes.size(), L'\0');
    if (wide) {
      std::memcpy(label.data(), bytes.data(), bytes.size());
    } else if (!bytes.empty()) {
      label.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                           label.data(), static_cast<int>(label.size()))));
    }
    if (label.find(L'\0') != std::wstring::npos) return "error label holds a NUL\n";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ItemCount();
    item.pszText = label.data();
    int index = static_cast<int>(SendMessageW(g_listview, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return "error insert failed\n";
    SetPosition32(index, x, y);
    return "ok " + std::to_string(index) + "\n";
  }
  if (verb == "list" && f.size() == 1) {
    std::string out;
    std::vector<char> buffer(1025);
    for (int i = 0, count = ItemCount(); i < count; ++i) {
      std::string text = ItemText(i, &buffer);
      POINT pt = ItemPosition(i);
      out += "icon " + std::to_string(i) + " " + std::to_string(pt.x) + " " + std::to_string(pt.y) + " " +
             standin::HexEncode(text) + "\n";
    }
    return out;
  }
  if (verb == "move") {
    if (f.size() != 4) return "error usage: move <index> <x> <y>\n";
    if (!ParseInteger(f[1], 0, ItemCount() - 1LL, &n)) return "error no such item\n";
    if (!ParseInteger(f[2], -kMaxCoordinate - 1, kMaxCoordinate, &x) ||
        !ParseInteger(f[3], -kMaxCoordinate - 1, kMaxCoordinate, &y))
      return "error bad coordinate\n";
    SetPosition32(static_cast<int>(n), x, y);
    return "ok\n";
  }
  if (verb == "style" && f.size() == 1)
    return "style " + std::to_string(static_cast<DWORD>(GetWindowLongPtrA(g_listview, GWL_STYLE))) + "\n";
  if (verb == "autoarrange") {
    if (f.size() != 2 || !ParseInteger(f[1], 0, 1, &n)) return "error usage: autoarrange <0|1>\n";
    LONG_PTR style = GetWindowLongPtrA(g_listview, GWL_STYLE);
    style = n ? (style | LVS_AUTOARRANGE) : (style & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE));
    SetWindowLongPtrA(g_listview, GWL_STYLE, style);
    return "ok\n";
  }
  if (verb == "hang") {
    if (f.size() != 2 || !ParseInteger(f[1], 0, 600000, &n)) return "error usage: hang <ms 0..600000>\n";
    cmd->hangMs = static_cast<unsigned>(n);
    return "ok\n";
  }
  if (verb == "pump") {
    if (f.size() != 2 || !ParseInteger(f[1], 0, 60000, &n)) return "error usage: pump <ms 0..60000>\n";
    g_pumpNextTextMs = static_cast<unsigned>(n);
    return "ok\n";
  }
  if (verb == "pumping" && f.size() == 1) return std::string("pumping ") + (g_pumping ? "1" : "0") + "\n";
  if (verb == "faults" && f.size() == 1) return "faults " + std::to_string(g_faults) + "\n";
  if (verb == "moves" && f.size() == 1)
    return "moves " + std::to_string(g_moves) + " " + std::to_string(g_movesWhileArranged) + "\n";
  if (verb == "floor-capture" && f.size() == 1) return FloorCapture();
  if (verb == "floor-apply" && f.size() == 1) return FloorApply();
  return "error unknown command or arguments\n";
}

// Read at run time so the compiler cannot see (and warn about) the bad address.
volatile uintptr_t g_invalidAddress = 0x10;

// No C++ frame here needs unwinding: the fault may unwind straight through it.
__attribute__((noinline)) void ReadInvalidAddress() {
  int value = *reinterpret_cast<volatile int*>(g_invalidAddress);
  (void)value;
}

LRESULT RunCommand(Command* cmd) {
  try {
    cmd->reply = Run(cmd);
  } catch (...) {
    cmd->reply = "error out of memory\n";
  }
  return 1;
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kCommandMsg: {
      Command* cmd = reinterpret_cast<Command*>(lp);
      LRESULT result = RunCommand(cmd);
      if (cmd->hangMs) {
        // Release the reader (it writes the reply), then stop pumping: a hung shell.
        ReplyMessage(result);
        Sleep(cmd->hangMs);
      }
      return result;
    }
    case kFaultMsg:
      ReadInvalidAddress();
      return 1;
    case kQuitMsg:
      if (g_workerw) DestroyWindow(g_workerw);
      DestroyWindow(g_progman);
      DestroyWindow(hwnd);
      PostQuitMessage(0);
      return 1;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool WriteAll(const std::string& data) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  size_t done = 0;
  while (done < data.size()) {
    DWORD wrote = 0;
    DWORD chunk = static_cast<DWORD>(data.size() - done < 65536 ? data.size() - done : 65536);
    if (!WriteFile(out, data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;  // pipes are unbuffered: written is delivered
  }
  return true;
}

// Returns false when the process should end.
bool Dispatch(const std::string& line, bool overlong) {
  if (overlong) return WriteAll("error line too long\nend\n");
  if (line == "quit") {
    WriteAll("ok\nend\n");
    return false;
  }
  if (line == "provoke-fault") {
    SendMessageA(g_control, kFaultMsg, 0, 0);
    return WriteAll("ok\nend\n");
  }
  Command cmd;
  cmd.line = line;
  if (!SendMessageA(g_control, kCommandMsg, 0, reinterpret_cast<LPARAM>(&cmd))) cmd.reply = "error ui thread\n";
  return WriteAll(cmd.reply + "end\n");
}

DWORD WINAPI ReadCommands(void*) {
  try {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    bool overlong = false, go = true;
    char buffer[4096];
    DWORD got = 0;
    while (go && ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got) {
      for (DWORD i = 0; go && i < got; ++i) {
        if (buffer[i] != '\n') {
          if (line.size() < kMaxLine)
            line += buffer[i];
          else
            overlong = true;
          continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        go = Dispatch(line, overlong);
        line.clear();
        overlong = false;
      }
    }
  } catch (...) {
  }
  SendMessageA(g_control, kQuitMsg, 0, 0);
  return 0;
}

bool RegisterPlainClass(HINSTANCE inst, const char* name, WNDPROC proc) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

HWND Child(const char* cls, DWORD style, HWND parent, HINSTANCE inst) {
  RECT rc{};
  GetClientRect(parent, &rc);
  return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | style, 0, 0, rc.right, rc.bottom,
                         parent, nullptr, inst, nullptr);
}

// Wine's list view arranges every icon on its first paint that finds items, wiping the
// positions set so far. A real desktop was painted long ago: get that paint over with.
void PaintOnceWithAnItem() {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<char*>("");
  SendMessageA(g_listview, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  RedrawWindow(g_listview, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  SendMessageA(g_listview, LVM_DELETEALLITEMS, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int) {
  AddVectoredExceptionHandler(1, CountFaults);
  // The pipes are ours alone: nothing we start may hold them open.
  SetHandleInformation(GetStdHandle(STD_INPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);

  bool workerw = false;
  for (const std::string& arg : standin::SplitFields(cmdLine ? cmdLine : "")) {
    if (arg == "--workerw")
      workerw = true;
    else if (!arg.empty())
      return 2;
  }

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterPlainClass(inst, "Progman", DefWindowProcA) ||
      !RegisterPlainClass(inst, "SHELLDLL_DefView", DefWindowProcA) ||
      !RegisterPlainClass(inst, "WorkerW", DefWindowProcA) ||
      !RegisterPlainClass(inst, "KestrinStandinControl", ControlProc))
    return 3;

  // Caption-less popups shown without activation stay unmanaged under Wine's X11
  // driver; with no window manager, hiding a managed window stalls for 2 s.
  g_progman = CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr,
                              nullptr, inst, nullptr);
  if (workerw)
    g_workerw = CreateWindowExA(0, "WorkerW", "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr, nullptr, inst,
                                nullptr);
  const UINT show = SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
  for (HWND top : {g_progman, g_workerw})
    if (top) SetWindowPos(top, nullptr, 0, 0, 0, 0, show);
  HWND host = workerw ? g_workerw : g_progman;
  g_defview = host ? Child("SHELLDLL_DefView", 0, host, inst) : nullptr;
  g_listview = g_defview ? Child(WC_LISTVIEWA, LVS_ICON, g_defview, inst) : nullptr;
  g_control = CreateWindowExA(0, "KestrinStandinControl", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
  if (!g_progman || !g_listview || !g_control) return 4;
  PaintOnceWithAnItem();
  g_listviewProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_listview, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListViewHook)));

  auto handleText = [](HWND h) { return std::to_string(reinterpret_cast<uintptr_t>(h)); };
  if (!WriteAll("ready " + handleText(g_progman) + " " + handleText(g_defview) + " " + handleText(g_listview) + " " +
                std::to_string(GetCurrentThreadId()) + " " + std::to_string(GetCurrentProcessId()) + "\nend\n"))
    return 5;

  standin::Handle reader(CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr));
  if (!reader) return 6;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
