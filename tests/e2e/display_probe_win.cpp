// display_probe.exe: prints the current and the registry's display mode, one line each:
// "width height bits frequency x y flags", then "gamma R G B", the middle entry (128) of
// each channel's ramp, or "gamma ?" when it cannot be read. Under Wine a process reads the display mode
// once and then sees only its own changes, so the end-to-end tests ask a fresh process.
//
// display_probe.exe WIDTH HEIGHT [EXPONENT]: sets the registry's and the current mode to
// that size and the gamma ramp to that power curve (1: the identity), then prints as
// above. scripts/wine-run puts the test display back with it after a test was killed.
// display_probe.exe WIDTH HEIGHT EXPONENT CODE: the same, then moves every icon of the
// desktop's list view (Progman > DefView > list view) to the lower right and ends with
// CODE: a program that leaves the screen changed, for Kestrin's /Run.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool Print(DWORD which) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, which, &mode)) return false;
  std::printf("%lu %lu %lu %lu %ld %ld %lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel,
              mode.dmDisplayFrequency, mode.dmPosition.x, mode.dmPosition.y, mode.dmDisplayFlags);
  return true;
}

bool SetScreen(DWORD width, DWORD height, double exponent) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  bool ok = ChangeDisplaySettingsA(&mode, CDS_UPDATEREGISTRY | CDS_NORESET) == DISP_CHANGE_SUCCESSFUL;
  ok = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL && ok;
  WORD ramp[3][256];
  for (int i = 0; i < 256; ++i)
    ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<WORD>(std::lround(65535.0 * std::pow(i / 255.0, exponent)));
  HDC screen = GetDC(nullptr);
  ok = screen && SetDeviceGammaRamp(screen, ramp) && ok;
  if (screen) ReleaseDC(nullptr, screen);
  return ok;
}

void PrintGamma() {
  WORD ramp[3][256];
  HDC screen = GetDC(nullptr);
  if (screen && GetDeviceGammaRamp(screen, ramp))
    std::printf("gamma %u %u %u\n", ramp[0][128], ramp[1][128], ramp[2][128]);
  else
    std::printf("gamma ?\n");
  if (screen) ReleaseDC(nullptr, screen);
}

// List-view moves carry no pointer, so another process may make them.
void MoveDesktopIcons() {
  HWND shell = FindWindowA("Progman", nullptr);
  HWND view = shell ? FindWindowExA(shell, nullptr, "SHELLDLL_DefView", nullptr) : nullptr;
  HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
  if (!list) return;
  const LRESULT count = SendMessageA(list, 0x1004 /* LVM_GETITEMCOUNT */, 0, 0);
  for (LRESULT i = 0; i < count; ++i)
    SendMessageA(list, 0x100F /* LVM_SETITEMPOSITION */, static_cast<WPARAM>(i), MAKELPARAM(500 + 20 * i, 400));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && argc <= 5) {
    const long width = std::strtol(argv[1], nullptr, 10), height = std::strtol(argv[2], nullptr, 10);
    const double exponent = argc >= 4 ? std::strtod(argv[3], nullptr) : 1.0;
    if (width <= 0 || height <= 0 || !(exponent >= 1.0 && exponent <= 4.0)) {
      std::fprintf(stderr, "usage: display_probe [WIDTH HEIGHT [EXPONENT 1..4 [EXIT CODE]]]\n");
      return 2;
    }
    if (!SetScreen(static_cast<DWORD>(width), static_cast<DWORD>(height), exponent)) {
      std::fprintf(stderr, "display_probe: could not set %ld x %ld with gamma %g\n", width, height, exponent);
      return 1;
    }
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: display_probe [WIDTH HEIGHT [EXPONENT 1..4 [EXIT CODE]]]\n");
    return 2;
  }
  if (argc == 5) {
    MoveDesktopIcons();
    return std::atoi(argv[4]);
  }
  const bool ok = Print(ENUM_CURRENT_SETTINGS) && Print(ENUM_REGISTRY_SETTINGS);
  PrintGamma();
  return std::fflush(stdout) == 0 && ok ? 0 : 1;
}
