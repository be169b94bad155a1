// The test display's state as the tests read and set it: gamma ramp, display modes (read
// by a fresh process, since under Wine a process sees only its own mode changes), pixels.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::test {

using Ramp = std::array<uint16_t, 768>;  // red, green, blue: 256 entries each
bool ReadScreenRamp(Ramp* ramp);
bool SetScreenRamp(const Ramp& ramp);
Ramp IdentityRamp();
// The ramp the program builds from three exponents, as the test display gives it back:
// it keeps only the top 8 bits of each entry.
Ramp ProgramRampOnDisplay(double red, double green, double blue);

struct ModeInfo {
  unsigned long width = 0, height = 0, bits = 0, frequency = 0, flags = 0;
  long x = 0, y = 0;
  std::string Size() const { return std::to_string(width) + " x " + std::to_string(height); }
};
// Current and registry mode, from display_probe.exe beside this program.
bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry);
std::string CurrentSize();  // "?" when it cannot be read
std::string RegistrySize();
// Other processes learn of a mode change a moment after it returns: bounded wait.
std::string CurrentSizeSettlingAt(const std::string& expected);
bool SetCurrentSize(DWORD width, DWORD height);  // a dynamic change, registry untouched

// Puts back the current and registry modes and the ramp found at construction.
class ScreenStateGuard {
 public:
  ScreenStateGuard();
  ScreenStateGuard(const ScreenStateGuard&) = delete;
  ScreenStateGuard& operator=(const ScreenStateGuard&) = delete;
  bool saved() const { return saved_; }
  std::string Restore();  // what did not come back; empty when all did

 private:
  ModeInfo current_, registry_;
  Ramp ramp_{};
  bool saved_ = false;
};

// 0x00RRGGBB, rows top to bottom: what the screen shows of `area`, and what `icon`
// gives drawn at its own size on an area of that size filled with `background`.
std::vector<uint32_t> ScreenPixels(const RECT& area);
std::vector<uint32_t> IconPixels(HICON icon, const RECT& area, uint32_t background);
// What the screen shows of `window`, as a 24-bit BMP file.
bool SaveWindowShot(HWND window, const std::string& path);

}  // namespace kestrin::test
