// display_probe.exe: prints the current and the registry's display mode, one line each:
// "width height bits frequency x y flags". Under Wine a process reads the display mode
// once and then sees only its own changes, so the end-to-end tests ask a fresh process.
#include <windows.h>

#include <cstdio>

namespace {

bool Print(DWORD which) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, which, &mode)) return false;
  std::printf("%lu %lu %lu %lu %ld %ld %lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel,
              mode.dmDisplayFrequency, mode.dmPosition.x, mode.dmPosition.y, mode.dmDisplayFlags);
  return true;
}

}  // namespace

int main() {
  const bool ok = Print(ENUM_CURRENT_SETTINGS) && Print(ENUM_REGISTRY_SETTINGS);
  return std::fflush(stdout) == 0 && ok ? 0 : 1;
}
