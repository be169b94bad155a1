#include "agent_window_win.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "agent_protocol.h"
#include "icon_layout.h"
#include "icon_names.h"
#include "lumiq_win.h"
#include "transfer_buffer_win.h"
#include "transfer_slot_win.h"

namespace kestrin {

static_assert(AGENT_MSG == WM_APP, "agent_protocol.h repeats WM_APP portably");

namespace {

// The window's own hold on the library. The system loaded the library into the shell for
// the program's hook and unloads it once that hook is gone; a program that is killed never
// sends WM_CLOSE and its hook goes with it, so while the agent window lives the library
// must stay loaded by a hold of its own. That hold is given back only from inside a call
// of our hook procedure, when no agent window lives and none of the agent's frames is on
// the stack: the hook being called holds the library in this thread, so giving the hold
// back there never unloads running code, and the system unloads the library later, when
// the hook is removed, outside our code. Nothing the program or anyone else sends (a
// stray WM_CLOSE, a close that timed out, a stale shared record) can release it.
HMODULE libraryHold = nullptr;
HWND agentWindow = nullptr;  // this thread's agent; cleared when it is destroyed
int activeFrames = 0;        // calls of the dialog procedure under way, nested ones included
bool commandRunning = false;
bool closePending = false;   // a WM_CLOSE that came while a command ran
LONG_PTR captureNumber = 0;  // the last capture's, as its answer gave it

struct ActiveFrame {
  ActiveFrame() { ++activeFrames; }
  ~ActiveFrame() { --activeFrames; }
  ActiveFrame(const ActiveFrame&) = delete;
  ActiveFrame& operator=(const ActiveFrame&) = delete;
};

// Only a list view of this very thread: list-view messages carry pointers into our memory,
// which mean nothing in another process, and another thread's list view may change under us.
bool IsOwnListView(HWND window) {
  char className[32] = {};
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
         GetClassNameA(window, className, sizeof className) &&
         lstrcmpiA(className, WC_LISTVIEWA) == 0;
}

// Asks this thread to retrieve a message soon, so that a hook of ours runs and the
// library's hold can be given back.
void WakeOwnThread() { PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0); }

LONG_PTR RunCommand(WPARAM command, HWND listView) {
  switch (command) {
    case AGENT_CMD_CAPTURE:
      if (!IsOwnListView(listView) || !AgentCaptureLayout(listView)) return 0;
      // Never 0: a program whose capture this is may ask for just its release.
      captureNumber = captureNumber % 0x7FFFFFFF + 1;
      return captureNumber;
    case AGENT_CMD_APPLY:
      return IsOwnListView(listView) ? AgentApplyLayout(listView) : 0;
    case AGENT_CMD_RELEASE:
      // Only the capture the asker made: another program's, newer, may not have been read yet.
      if (reinterpret_cast<uintptr_t>(listView) != captureNumber) return 0;
      ReleaseTransferSlot();
      ReleaseNamesSlot();
      return 1;
    default:  // AGENT_CMD_PING and anything unknown
      return 0;
  }
}

class AutoArrangeOff {
 public:
  explicit AutoArrangeOff(HWND listView)
      : listView_(listView), saved_(GetWindowLongPtrA(listView, GWL_STYLE)) {
    if (saved_ & LVS_AUTOARRANGE)
      SetWindowLongPtrA(listView_, GWL_STYLE, saved_ & ~LVS_AUTOARRANGE);
  }
  ~AutoArrangeOff() { SetWindowLongPtrA(listView_, GWL_STYLE, saved_); }
  AutoArrangeOff(const AutoArrangeOff&) = delete;
  AutoArrangeOff& operator=(const AutoArrangeOff&) = delete;

 private:
  HWND listView_;
  LONG_PTR saved_;
};

}  // namespace

HWND EnsureAgentWindow(HINSTANCE instance) {
  if (agentWindow) return agentWindow;
  agentWindow =
      CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_AGENT), nullptr, AgentDialogProc, 0);
  if (agentWindow && !libraryHold) {
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&AgentDialogProc), &libraryHold);
  }
  return agentWindow;
}

void GiveBackLibraryHoldIfIdle() {
  if (libraryHold && !agentWindow && activeFrames == 0) {
    FreeLibrary(libraryHold);
    libraryHold = nullptr;
  }
}

namespace {

// The UTF-16 name of item `index`, terminated; its length in units.
size_t ItemName(HWND listView, uint32_t index, wchar_t (&name)[kMaxIconNameUnits + 2]) {
  name[0] = 0;
  LVITEMW item = {};
  item.pszText = name;
  item.cchTextMax = kMaxIconNameUnits + 1;
  SendMessageW(listView, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  name[kMaxIconNameUnits + 1] = 0;
  size_t units = 0;
  while (units <= kMaxIconNameUnits && name[units]) ++units;
  return units;
}

// Whether the 8-bit label says all the name says: read back through the system's code
// page, it gives the same name.
bool LabelHoldsName(const char* label, const wchar_t* name, size_t units) {
  wchar_t back[kIconLabelSize + 1] = {};
  const int got = MultiByteToWideChar(CP_ACP, 0, label, -1, back, kIconLabelSize + 1);
  return got > 0 && static_cast<size_t>(got - 1) == units && std::wmemcmp(back, name, units) == 0;
}

}  // namespace

int AgentCaptureLayout(HWND listView) {
  const LRESULT count = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
  if (count > static_cast<LRESULT>(kMaxIconRecords)) return 0;
  const uint32_t size = CaptureBufferSize(count);
  if (size == 0 || !PrepareMemory(size, kCaptureBufferName, nullptr, 0)) return 0;

  uint8_t* view = TransferSlotView();
  const uint32_t items = static_cast<uint32_t>(count);
  if (TransferSlotExtent() < size - kTransferSlack) {
    // An older, smaller buffer of this name held by another process: spoil its length word
    // so nobody takes what it holds for this capture, and report the capture failed.
    if (TransferSlotExtent() >= sizeof(uint32_t)) StoreU32(view, 0);
    ReleaseTransferSlot();
    ReleaseNamesSlot();
    return 0;
  }

  WriteIconLayoutHeader(view, items);
  // The UTF-16 names, gathered in the same pass; they travel only when some label does
  // not hold its name, so that an older names buffer is never taken for this capture's.
  ReleaseNamesSlot();
  const std::nothrow_t noThrow{};
  std::unique_ptr<uint8_t[]> names(new (noThrow) uint8_t[MaxIconNamesSize(items)]);
  size_t namesEnd = kIconNamesHeaderSize;
  bool namesNeeded = false;
  for (uint32_t i = 0; i < items; ++i) {
    // One zero byte beyond the text limit: Wine's list view fills all 260 bytes of a long
    // text without a terminator and then measures it with strlen.
    char text[kIconLabelSize + 1] = {};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = kIconLabelSize;
    SendMessageA(listView, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
    POINT position = {0, 0};  // stays 0, 0 when the list view cannot tell
    SendMessageA(listView, LVM_GETITEMPOSITION, i, reinterpret_cast<LPARAM>(&position));
    WriteIconRecord(view, i, position.x, position.y, text);
    if (names) {
      wchar_t name[kMaxIconNameUnits + 2];
      const size_t units = ItemName(listView, i, name);
      namesNeeded = namesNeeded || !LabelHoldsName(ReadIconRecord(view, i).label, name, units);
      namesEnd +=
          WriteIconName(names.get() + namesEnd, reinterpret_cast<const char16_t*>(name), units);
    }
  }
  if (namesNeeded) {
    FinishIconNames(names.get(), namesEnd, items, view, size - kTransferSlack);
    if (uint8_t* block = PrepareNamesSlot(static_cast<uint32_t>(namesEnd), kCaptureNamesBufferName))
      std::memcpy(block, names.get(), namesEnd);
  }
  return 1;
}

int AgentApplyLayout(HWND listView) {
  AutoArrangeOff autoArrangeOff(listView);
  OwnedIconLayout layout;
  if (ReadTransferBuffer(kApplyBufferName, &layout) != TransferReadResult::kOk) return 0;

  // Records beyond the blob's own length are never read, whatever `count` claims.
  const uint32_t records = UsableRecordCount(layout.bytes.get(), layout.length);
  if (records > kMaxIconRecords) return 0;
  // Names that belong to this very blob, if the program sent any.
  ReadNamesBuffer(kApplyNamesBufferName, &layout);
  for (int pass = 0; pass < 3; ++pass) {
    IconNameCursor names(layout.names.get());
    for (uint32_t r = 0; r < records; ++r) {
      IconRecordView record = ReadIconRecord(layout.bytes.get(), r);
      // Found by its UTF-16 name where there is one, else by its label; first match,
      // without regard to case, either way.
      wchar_t name[kMaxIconNameUnits + 1];
      LRESULT index = -1;
      if (layout.names && names.Next(reinterpret_cast<char16_t*>(name)) > 0) {
        LVFINDINFOW find = {};
        find.flags = LVFI_STRING;
        find.psz = name;
        index = SendMessageW(listView, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&find));
      } else {
        LVFINDINFOA find = {};
        find.flags = LVFI_STRING;
        find.psz = record.label;
        index = SendMessageA(listView, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&find));
      }
      if (index != -1) {
        SendMessageA(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(index),
                     static_cast<LPARAM>(PackIconPosition(record.x, record.y)));
      }
    }
  }
  return 1;
}

INT_PTR CALLBACK AgentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ActiveFrame frame;
  switch (message) {
    case WM_CLOSE:
      // A command may run a modal loop inside the shell, in which this arrives: the
      // window goes when that command has ended.
      if (commandRunning) {
        closePending = true;
      } else {
        DestroyWindow(window);
      }
      return TRUE;
    case WM_NCDESTROY:
      if (window == agentWindow) {
        agentWindow = nullptr;
        // The library stays loaded in the shell: its last capture must not stay held too.
        ReleaseTransferSlot();
        ReleaseNamesSlot();
        WakeOwnThread();
      }
      return FALSE;
    case AGENT_MSG: {
      // The outcome is the message's result; the procedure's own return only says that
      // the message was handled. A command that arrives while one runs is refused.
      LONG_PTR result = 0;
      if (!commandRunning) {
        commandRunning = true;
        result = RunCommand(wParam, reinterpret_cast<HWND>(lParam));
        commandRunning = false;
      }
      SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
      // Posted, not done here: the dialog manager reads the result from the window after
      // we return.
      if (closePending && !commandRunning) {
        closePending = false;
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace kestrin
