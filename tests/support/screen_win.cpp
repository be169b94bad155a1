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
    const double e = exponents[i / 256], x = (i % 256 + 1) / 256.0;
    const double entry = std::fmin(std::pow(x, e) * 65535.0 + 0.5, 65535.0);
    ramp[i] = static_cast<uint16_t>((static_cast<unsigned>(entry) >> 8) * 257);
  }
  return ramp;
}

bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry) {
  std::string output;
  if (RunAndRead(ExecutableDirectory() + "standin.exe", "--display", &output) != 0) return false;
  return std::sscanf(output.c_str(), "%lu %lu %lu %lu %lu %lu %lu %lu", &current->width, &current->height,
                     &current->bits, &current->frequency, &registry->width, &registry->height, &registry->bits,
                     &registry->frequency) == 8;
}

static std::string CurrentSize() {
  ModeInfo current, registry;
  return ReadDisplayModes(&current, &registry) ? current.Size() : "?";
}

std::string RegistrySize() {
  ModeInfo current, registry;
  return ReadDisplayModes(&current, &registry) ? registry.Size() : "?";
}

std::string CurrentSizeSettlingAt(const std::string& expected) {
  std::string size = CurrentSize();
  for (int i = 0; i < 30 && size != expected; ++i) Sleep(100), size = CurrentSize();
  return size;
}

bool SetCurrentSize(DWORD width, DWORD height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
}

}  // namespace kestrin::test
