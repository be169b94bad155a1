// display_probe.exe: prints the current and the registry's display mode, one line each
// ("width height bits frequency x y flags"), then "gamma R G B", entry 128 of each ramp
// channel ("gamma ?" when unreadable). Under Wine a process reads the mode once and then
// sees only its own changes, so the tests ask a fresh process.
// display_probe.exe WIDTH HEIGHT [EXPONENT [CODE]]: first sets the registry's and the
// current mode to that size and the ramp to that power curve (scripts/wine-run puts the
// display back with it after a killed test); with CODE it then moves the desktop's icons
// and ends with CODE instead: a program that leaves the screen changed, for /Run.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "win_handle_win.h"

namespace {

bool Print(DWORD which) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  return EnumDisplaySettingsA(nullptr, which, &mode) &&
         std::printf("%lu %lu %lu %lu %ld %ld %lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel,
                     mode.dmDisplayFrequency, mode.dmPosition.x, mode.dmPosition.y, mode.dmDisplayFlags) > 0;
}

bool SetScreen(DWORD width, DWORD height, double exponent) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  bool ok = ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_NORESET) == DISP_CHANGE_SUCCESSFUL;
  ok = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL && ok;
  WORD ramp[3][256];
  for (int i = 0; i < 256; ++i)
    ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<WORD>(std::lround(65535.0 * std::pow(i / 255.0, exponent)));
  return SetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp) && ok;
}

// List-view moves carry no pointer, so another process may make them.
void MoveDesktopIcons() {
  HWND view = FindWindowExA(FindWindowA("Progman", nullptr), nullptr, "SHELLDLL_DefView", nullptr);
  HWND list = FindWindowExA(view, nullptr, "SysListView32", nullptr);
  for (LRESULT i = 0, count = list ? SendMessageA(list, 0x1004 /* LVM_GETITEMCOUNT */, 0, 0) : 0; i < count; ++i)
    SendMessageA(list, 0x100F /* LVM_SETITEMPOSITION */, static_cast<WPARAM>(i), MAKELPARAM(500 + 20 * i, 400));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && argc <= 5) {
    const long width = std::strtol(argv[1], nullptr, 10), height = std::strtol(argv[2], nullptr, 10);
    const double exponent = argc >= 4 ? std::strtod(argv[3], nullptr) : 1.0;
    if (width <= 0 || height <= 0 || !(exponent >= 1.0 && exponent <= 4.0))
      argc = 0;
    else if (!SetScreen(static_cast<DWORD>(width), static_cast<DWORD>(height), exponent))
      return std::fprintf(stderr, "display_probe: could not set %ld x %ld with gamma %g\n", width, height, exponent), 1;
  }
  if (argc != 1 && (argc < 3 || argc > 5))
    return std::fprintf(stderr, "usage: display_probe [WIDTH HEIGHT [EXPONENT 1..4 [EXIT CODE]]]\n"), 2;
  if (argc == 5) return MoveDesktopIcons(), std::atoi(argv[4]);
  const bool ok = Print(ENUM_CURRENT_SETTINGS) && Print(ENUM_REGISTRY_SETTINGS);
  WORD ramp[3][256];
  if (GetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp))
    std::printf("gamma %u %u %u\n", ramp[0][128], ramp[1][128], ramp[2][128]);
  else
    std::printf("gamma ?\n");
  return std::fflush(stdout) == 0 && ok ? 0 : 1;
}
