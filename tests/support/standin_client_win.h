// Drives standin.exe, the stand-in desktop: a command is sent as WM_COPYDATA to its control window; the reply's lines,
// and the counters the stand-in keeps, are read from its mapping.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "kestrin_driver_win.h"

// What standin.exe and its client agree on: the control window's class (titled with the stand-in's process id), the
// mapping's name (the prefix and that id) and layout, and the one message that is not a command.
namespace standin {
constexpr char kControlClass[] = "KestrinStandinControl";
constexpr char kMappingPrefix[] = "KestrinStandin";
constexpr UINT kProvokeFaultMessage = WM_APP + 2;  // answered by a read of an invalid address
struct State {
  volatile LONG moves, movesWhileArranged;  // Wine's list view moves whatever LVS_AUTOARRANGE says: counted here
  volatile LONG faults;                     // access violations inside it, which Wine swallows
  volatile LONG pumping;                    // inside a slow folder's modal loop ("pump")
  unsigned long long listView;
  // What the shell saw since "mark": when the display changed and the first icon moved (0: not yet), the cursor shown
  // then and at the mark, and the ramp's middle red entry at the first move.
  LONGLONG displayChangedAt, firstMoveAt;
  unsigned long long cursorAtMark, cursorAtDisplayChange, cursorAtFirstMove;
  WORD rampAtFirstMove;
  char reply[1 << 20];
};
}  // namespace standin

struct StandinIcon {
  std::string label;  // bytes in the system's code page, as the list view gives them
  int x, y;
  bool operator==(const StandinIcon& o) const { return label == o.label && x == o.x && y == o.y; }
  friend std::ostream& operator<<(std::ostream& out, const StandinIcon& i) {
    return out << '"' << i.label << "\" at " << i.x << "," << i.y;
  }
};

// The icon layout's bytes for these icons: length, count, then per icon x, y and the label in 260 zero-padded bytes.
inline std::string IconBlob(const std::vector<StandinIcon>& icons) {
  auto u32 = [](size_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };  // little-endian
  std::string blob = u32(8 + 268 * icons.size()) + u32(icons.size());
  for (const StandinIcon& icon : icons)
    blob += u32(static_cast<uint32_t>(icon.x)) + u32(static_cast<uint32_t>(icon.y)) +
            (icon.label + std::string(260, '\0')).substr(0, 260);
  return blob;
}

class StandinDesktop {
 public:
  // Starts the stand-in beside this program and waits, 30 s at most, until it is up. With `underWorkerW`, the DefView
  // lies under a WorkerW.
  static std::unique_ptr<StandinDesktop> Start(std::string* error, bool underWorkerW = false) {
    const std::string exe = kestrin::test::ExecutableDirectory() + "standin.exe";
    std::unique_ptr<StandinDesktop> desktop(new StandinDesktop);
    PROCESS_INFORMATION info = {};
    if (!(desktop->process_ = kestrin::test::StartProcess(exe, underWorkerW ? "--workerw" : "", error, &info)))
      return nullptr;
    const std::string pid = std::to_string(info.dwProcessId);
    for (int i = 0; i < 3000 && !desktop->control_ && !desktop->Ended(10); ++i)
      desktop->control_ = FindWindowExA(HWND_MESSAGE, nullptr, standin::kControlClass, pid.c_str());
    desktop->mapping_.reset(OpenFileMappingA(FILE_MAP_READ, FALSE, (standin::kMappingPrefix + pid).c_str()));
    if (desktop->mapping_) desktop->view_.reset(MapViewOfFile(desktop->mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!desktop->control_ || !desktop->view_ || !desktop->state().listView)
      return *error = exe + " did not answer", nullptr;
    desktop->listView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(desktop->state().listView));
    return desktop;
  }
  ~StandinDesktop() {  // asks it to quit; terminates it if it does not
    PostMessageA(control_, WM_CLOSE, 0, 0);
    if (!Ended(5000)) TerminateProcess(process_.get(), 1), Ended(5000);
  }

  HWND listView() const { return listView_; }
  const standin::State& state() const { return *static_cast<const standin::State*>(view_.get()); }
  std::vector<StandinIcon> Icons() {  // none when the stand-in refused, did not answer or is gone
    std::vector<StandinIcon> icons;
    for (const std::string& line : Exchange("list")) {
      StandinIcon icon{};
      int labelAt = 0;  // "icon X Y LABEL"
      if (std::sscanf(line.c_str(), "icon %d %d %n", &icon.x, &icon.y, &labelAt) != 2 || !labelAt) return {};
      icon.label = line.substr(static_cast<size_t>(labelAt));
      icons.push_back(icon);
    }
    return Ended(0) ? std::vector<StandinIcon>() : icons;
  }
  // List-view moves and styles carry no pointer: they are made from here.
  bool MoveIcon(size_t i, int x, int y) { return SendMessageA(listView_, LVM_SETITEMPOSITION, i, MAKELPARAM(x, y)); }
  void SetAutoArrange(bool on) {
    const LONG_PTR style = GetWindowLongPtrA(listView_, GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE);
    SetWindowLongPtrA(listView_, GWL_STYLE, style | (on ? LVS_AUTOARRANGE : 0));
  }
  void ProvokeFault() {  // swallowed inside the window procedure; only the count tells
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control_, standin::kProvokeFaultMessage, 0, 0, SMTO_NORMAL, 10000, &ignored);
  }
  // False when the stand-in refused the command, did not answer within 30 s, or is gone (commands: tests/README.md).
  bool Command(const std::string& command) { return Exchange(command) == std::vector<std::string>{"ok"}; }
  bool AddIcon(const std::string& label, int x, int y) { return Command("add" + Place(x, y) + label); }
  bool AddIconUtf16(const std::wstring& label, int x, int y) {
    return Command("addw" + Place(x, y) + std::string(reinterpret_cast<const char*>(label.data()), label.size() * 2));
  }
  std::vector<std::string> Exchange(const std::string& command) {  // the reply's lines
    std::lock_guard<std::mutex> lock(mutex_);
    COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size()), const_cast<char*>(command.data())};
    DWORD_PTR answered = 0;
    std::vector<std::string> lines;
    if (!SendMessageTimeoutA(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 30000, &answered))
      return lines;
    const char* reply = state().reply;
    for (const char* end; (end = std::strchr(reply, '\n')) != nullptr; reply = end + 1) lines.emplace_back(reply, end);
    return lines;
  }

 private:
  StandinDesktop() = default;
  static std::string Place(int x, int y) { return " " + std::to_string(x) + " " + std::to_string(y) + " "; }
  bool Ended(DWORD waitMs) const { return WaitForSingleObject(process_.get(), waitMs) != WAIT_TIMEOUT; }

  kestrin::UniqueHandle process_, mapping_;
  kestrin::MappedView view_;
  HWND control_ = nullptr, listView_ = nullptr;
  std::mutex mutex_;  // one command at a time: the reply is shared
};
