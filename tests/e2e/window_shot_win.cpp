// window_shot.exe TITLE FILE.bmp: saves what the screen shows of the top-level window
// titled TITLE as a BMP (scripts turn it into a PNG). For screenshots of Kestrin.
#include <windows.h>

#include <cstdio>

#include "screen_win.h"

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: window_shot TITLE FILE.bmp\n"), 2;
  HWND window = nullptr;
  for (int i = 0; i < 200 && !(window = FindWindowA(nullptr, argv[1])); ++i) Sleep(50);
  if (!window) return std::fprintf(stderr, "window_shot: no window titled \"%s\"\n", argv[1]), 1;
  SetForegroundWindow(window);
  if (kestrin::test::SaveWindowShot(window, argv[2])) return 0;
  return std::fprintf(stderr, "window_shot: cannot save %s\n", argv[2]), 1;
}
