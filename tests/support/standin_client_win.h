// Drives standin.exe, the stand-in desktop: a command is sent as WM_COPYDATA to its control window; the reply's lines,
// and the counters the stand-in keeps, are read from its mapping.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "win_handle_win.h"

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
std::string IconBlob(const std::vector<StandinIcon>& icons);

class StandinDesktop {
 public:
  // Starts the stand-in (`executable` relative to this program's directory) and waits, 30 s at most, until it is up.
  // With `underWorkerW`, the DefView lies under a WorkerW.
  static std::unique_ptr<StandinDesktop> Start(std::string* error, bool underWorkerW = false,
                                               const std::string& executable = "standin.exe");
  ~StandinDesktop();  // asks it to quit; terminates it if it does not

  HWND listView() const { return listView_; }
  const standin::State& state() const { return *static_cast<const standin::State*>(view_.get()); }
  std::vector<StandinIcon> Icons();  // none when the stand-in refused, did not answer or is gone
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
  // False when the stand-in refused the command, did not answer within 30 s, or is gone. Commands: "add X Y LABEL"
  // (code page bytes; "addw": UTF-16LE), "addmany N" (icons "Icon 0" to "Icon N-1"), "mark" (see State), "driver 1"
  // (the identity ramp on every display change, as drivers do), "relay 1" (icons re-laid in a column on every display
  // change, as a shell does), "hang MS" (answered, then the UI thread stops pumping for MS), "pump MS" (the next text
  // request runs a modal loop for MS first, as a slow shell folder does).
  bool Command(const std::string& command) { return Exchange(command) == std::vector<std::string>{"ok"}; }
  bool AddIcon(const std::string& label, int x, int y) { return Command("add" + Place(x, y) + label); }
  bool AddIconUtf16(const std::wstring& label, int x, int y) {
    return Command("addw" + Place(x, y) + std::string(reinterpret_cast<const char*>(label.data()), label.size() * 2));
  }
  std::vector<std::string> Exchange(const std::string& command);  // the reply's lines

 private:
  StandinDesktop() = default;
  static std::string Place(int x, int y) { return " " + std::to_string(x) + " " + std::to_string(y) + " "; }

  kestrin::UniqueHandle process_, mapping_;
  kestrin::MappedView view_;
  HWND control_ = nullptr, listView_ = nullptr;
  std::mutex mutex_;  // one command at a time: the reply is shared
};
