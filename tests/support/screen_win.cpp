#include "screen_win.h"

#include <cmath>
#include <cstdio>

#include "kestrin_driver_win.h"
#include "win_handle_win.h"

namespace kestrin::test {

bool ReadScreenRamp(Ramp* ramp) { return GetDeviceGammaRamp(ScreenDC().get(), ramp->data()); }
bool SetScreenRamp(const Ramp& ramp) {
  return SetDeviceGammaRamp(ScreenDC().get(), const_cast<uint16_t*>(ramp.data()));
}

Ramp IdentityRamp() {
  Ramp ramp;
  for (int i = 0; i < 768; ++i) ramp[i] = static_cast<uint16_t>(257 * (i % 256));
  return ramp;
}

Ramp ProgramRampOnDisplay(double red, double green, double blue) {
  const double exponents[3] = {red, green, blue};
  Ramp ramp;
  for (int i = 0; i < 768; ++i) {
    const double entry = std::fmin(std::pow((i % 256 + 1) / 256.0, exponents[i / 256]) * 65535.0 + 0.5, 65535.0);
    ramp[i] = static_cast<uint16_t>((static_cast<unsigned>(entry) >> 8) * 257);
  }
  return ramp;
}

bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry) {
  std::string out;
  return RunAndRead(ExecutableDirectory() + "standin.exe", "--display", &out) == 0 &&
         std::sscanf(out.c_str(), "%lu %lu %lu %lu %lu %lu %lu %lu", &current->width, &current->height, &current->bits,
                     &current->frequency, &registry->width, &registry->height, &registry->bits,
                     &registry->frequency) == 8;
}

std::string RegistrySize() {
  ModeInfo current, registry;
  return ReadDisplayModes(&current, &registry) ? registry.Size() : "?";
}

std::string CurrentSizeSettlingAt(const std::string& expected) {
  ModeInfo current, registry;
  for (int i = 0; i < 30 && (!ReadDisplayModes(&current, &registry) || current.Size() != expected); ++i) Sleep(100);
  return current.Size();
}

bool SetCurrentSize(DWORD width, DWORD height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
}

}  // namespace kestrin::test
