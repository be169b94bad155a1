// bare_dialog.exe: the least a dialog program does to show its window, the floor the
// start-up benchmark measures Kestrin.exe against. Ends on Escape or the close box.
#include <windows.h>
#include <commctrl.h>

namespace {

INT_PTR CALLBACK BareProc(HWND dialog, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dialog, LOWORD(wp));
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Kestrin.exe starts the same way: common controls first, then one modal dialog.
  InitCommonControls();
  return DialogBoxParamA(instance, "BARE", nullptr, BareProc, 0) == -1 ? 1 : 0;
}
