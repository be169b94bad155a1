// Kestrin.exe's entry: the common controls, then by the command line a mode without a
// window (/Uninstall, /Save, /Restore, /Run), or the main window run modally (or, when one
// already runs, that one brought forward); the program ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include "command_line.h"
#include "command_line_win.h"
#include "main_window_win.h"
#include "single_instance_win.h"
#include "utf8_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  // UTF-8 of the wide command line: /Run's program may be named outside the code page.
  const wchar_t* wide = GetCommandLineW();
  std::string line;
  kestrin::Utf8Text(wide, wcslen(wide), &line);
  const kestrin::CommandLine command = kestrin::ParseCommandLine(line);
  switch (command.mode) {
    case kestrin::CommandMode::kWindow:
      break;
    default:
      // May run beside a window: the window's next icon command reconnects if it must.
      return kestrin::RunCommandLine(command);
  }
  kestrin::SingleInstance instance;
  if (!instance.Claim()) return 0;
  kestrin::MainWindow window;
  window.RunModal();
  return 0;
}
