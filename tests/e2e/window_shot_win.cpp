// window_shot.exe TITLE FILE.bmp: saves what the screen shows of the top-level window
// titled TITLE as a 24-bit BMP (scripts turn it into a PNG). For screenshots of Kestrin.
#include <windows.h>

#include <cstdio>
#include <string>

#include "screen_capture_win.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_shot TITLE FILE.bmp\n");
    return 2;
  }
  HWND window = nullptr;
  for (int i = 0; i < 200 && !(window = FindWindowA(nullptr, argv[1])); ++i) Sleep(50);
  if (!window) {
    std::fprintf(stderr, "window_shot: no window titled \"%s\"\n", argv[1]);
    return 1;
  }
  SetForegroundWindow(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);
  std::string error;
  if (!kestrin::e2e::SaveWindowShot(window, argv[2], &error)) {
    std::fprintf(stderr, "window_shot: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
