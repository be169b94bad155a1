#include "single_instance_win.h"

namespace kestrin {
namespace {

// Per session: the mutex's name and the property that marks the main window.
constexpr char kInstanceMutex[] = "Kestrin.MainWindow";
constexpr char kMainWindowProperty[] = "Kestrin.MainWindow";

BOOL CALLBACK BringForwardIfMain(HWND window, LPARAM found) {
  if (!GetPropA(window, kMainWindowProperty)) return TRUE;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(window));
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

}  // namespace

bool SingleInstance::Claim() {
  mutex_.reset(CreateMutexA(nullptr, FALSE, kInstanceMutex));
  // Without the mutex there is no telling: run rather than refuse.
  if (!mutex_ || GetLastError() != ERROR_ALREADY_EXISTS) return true;
  bool found = false;
  EnumWindows(BringForwardIfMain, reinterpret_cast<LPARAM>(&found));
  return false;
}

void MarkMainWindow(HWND window) {
  SetPropA(window, kMainWindowProperty, reinterpret_cast<HANDLE>(1));
}
void UnmarkMainWindow(HWND window) { RemovePropA(window, kMainWindowProperty); }

}  // namespace kestrin
