#include "dialog_win.h"

namespace kestrin {

INT_PTR Dialog::RunModal() {
  ended_ = false;
  hwnd_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent_,
                             DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return -1;
  // A template without WS_VISIBLE is shown once initialised, as the system's modal dialogs are.
  if (!IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_SHOWNORMAL);
  const bool disableParent = parent_ && IsWindowEnabled(parent_);
  if (disableParent) EnableWindow(parent_, FALSE);

  MSG msg;
  bool quit = false;
  while (!ended_ && hwnd_) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      break;
    }
    const bool forUs = msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd);
    if (forUs && PreTranslateMessage(&msg)) continue;
    if (IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  // The owner takes the activation back before this window goes.
  if (disableParent) EnableWindow(parent_, TRUE);
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return result_;
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  // Wakes the loop if the call came from outside a message it dispatched.
  if (hwnd_) PostMessageA(hwnd_, WM_NULL, 0, 0);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd_ = window;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!self) return FALSE;
  // No exception may unwind into the window system.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = 0;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 && OnCommand(LOWORD(wParam))) return TRUE;
      break;
    case WM_DESTROY:
      OnDestroy();
      SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
      return FALSE;
    default:
      break;
  }
  return OnMessage(message, wParam, lParam, &result) ? result : FALSE;
}

}  // namespace kestrin
