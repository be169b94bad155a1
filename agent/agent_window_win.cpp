#include "agent_window_win.h"

#include <commctrl.h>

#include "agent_protocol.h"
#include "icon_layout.h"
#include "lumiq.h"
#include "transfer_buffer_win.h"
#include "transfer_slot_win.h"

namespace kestrin {
namespace {

// The window's own reference on the library. The system loaded the library into the shell
// for the program's hook and unloads it when that hook goes; a program that is killed
// never sends WM_CLOSE, its hook is removed with it, and the shell would then dispatch to
// a window procedure that is no longer mapped. So the window keeps the library loaded,
// and gives its reference back only while the program's hook still holds one.
HMODULE libraryPin = nullptr;

// Only a list view of this very thread: list-view messages carry pointers into our memory,
// which mean nothing in another process, and another thread's list view may change under us.
bool IsOwnWindow(HWND window) {
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

class AutoArrangeOff {
 public:
  explicit AutoArrangeOff(HWND listView)
      : listView_(listView), saved_(GetWindowLongPtrA(listView, GWL_STYLE)) {
    if (saved_ & LVS_AUTOARRANGE) SetWindowLongPtrA(listView_, GWL_STYLE, saved_ & ~LVS_AUTOARRANGE);
  }
  ~AutoArrangeOff() { SetWindowLongPtrA(listView_, GWL_STYLE, saved_); }
  AutoArrangeOff(const AutoArrangeOff&) = delete;
  AutoArrangeOff& operator=(const AutoArrangeOff&) = delete;

 private:
  HWND listView_;
  LONG_PTR saved_;
};

}  // namespace

HWND CreateAgentWindow(HINSTANCE instance) {
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_AGENT), nullptr,
                                   AgentDialogProc, 0);
  if (window && !libraryPin) {
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&AgentDialogProc), &libraryPin);
  }
  return window;
}

int AgentCaptureLayout(HWND listView) {
  const LRESULT count = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
  const uint32_t size = CaptureBufferSize(count);
  if (size == 0 || !PrepareMemory(size, kCaptureBufferName, nullptr, 0)) return 0;

  uint8_t* view = TransferSlotView();
  const uint32_t items = static_cast<uint32_t>(count);
  if (TransferSlotExtent() < size - kTransferSlack) {
    // An older, smaller buffer of this name held by another process: spoil its length word
    // so nobody takes what it holds for this capture, and report the capture failed.
    if (TransferSlotExtent() >= 4) StoreU32(view, 0);
    ReleaseTransferSlot();
    return 0;
  }

  WriteIconLayoutHeader(view, items);
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
  }
  return 1;
}

int AgentApplyLayout(HWND listView) {
  AutoArrangeOff autoArrangeOff(listView);
  OwnedIconLayout layout;
  if (ReadTransferBuffer(kApplyBufferName, &layout) != TransferReadResult::kOk) return 0;

  // Records beyond the blob's own length are never read, whatever `count` claims.
  const uint32_t records = UsableRecordCount(layout.bytes.get(), layout.length);
  for (int pass = 0; pass < 3; ++pass) {
    for (uint32_t r = 0; r < records; ++r) {
      IconRecordView record = ReadIconRecord(layout.bytes.get(), r);
      LVFINDINFOA find = {};
      find.flags = LVFI_STRING;
      find.psz = record.label;
      const LRESULT index =
          SendMessageA(listView, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(&find));
      if (index != -1) {
        SendMessageA(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(index),
                     static_cast<LPARAM>(PackIconPosition(record.x, record.y)));
      }
    }
  }
  return 1;
}

INT_PTR CALLBACK AgentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      if (libraryPin && ProgramHookHoldsLibrary()) {
        FreeLibrary(libraryPin);
        libraryPin = nullptr;
      }
      return TRUE;
    case AGENT_MSG: {
      const auto listView = reinterpret_cast<HWND>(lParam);
      switch (wParam) {
        case AGENT_CMD_CAPTURE:
          return IsOwnWindow(listView) ? AgentCaptureLayout(listView) : 0;
        case AGENT_CMD_APPLY:
          return IsOwnWindow(listView) ? AgentApplyLayout(listView) : 0;
        default:  // AGENT_CMD_PING and anything unknown
          return 0;
      }
    }
    default:
      return FALSE;
  }
}

}  // namespace kestrin
