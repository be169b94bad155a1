#include "single_instance_win.h"

#include "user_access_win.h"

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
  UserAccess access;
  mutex_.reset(CreateMutexA(access.get(), FALSE, kInstanceMutex));
  const DWORD error = GetLastError();
  // A mutex this start may not open (another user's in this session, one an elevated
  // Kestrin made without our descriptor) is a running window all the same. Without the
  // mutex otherwise there is no telling: run rather than refuse.
  const bool running = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  if (!running) return true;
  bool found = false;
  EnumWindows(BringForwardIfMain, reinterpret_cast<LPARAM>(&found));
  return false;
}

void MarkMainWindow(HWND window) {
  SetPropA(window, kMainWindowProperty, reinterpret_cast<HANDLE>(1));
}
void UnmarkMainWindow(HWND window) { RemovePropA(window, kMainWindowProperty); }

}  // namespace kestrin
