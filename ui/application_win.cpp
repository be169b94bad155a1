// Kestrin.exe's entry: the common controls, the "/Uninstall" switch, or the main window
// run modally (or, when one already runs, that one brought forward); the program ends
// when it closes.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "main_window_win.h"
#include "single_instance_win.h"
#include "snapshot_file_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  // Only the first argument counts, as the runtime splits the command line.
  if (__argc >= 2 && lstrcmpiA(__argv[1], "/Uninstall") == 0) {
    kestrin::DeleteAllSnapshots();
    return 0;
  }
  kestrin::SingleInstance instance;
  if (!instance.Claim()) return 0;
  kestrin::MainWindow window;
  window.RunModal();
  return 0;
}
