// The test display as the tests read and set it: the gamma ramp, and the display modes as a fresh process reads them
// (under Wine a process sees only its own mode changes).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace kestrin::test {

using Ramp = std::array<uint16_t, 768>;  // red, green, blue: 256 entries each
bool ReadScreenRamp(Ramp* ramp);
bool SetScreenRamp(const Ramp& ramp);
Ramp IdentityRamp();
// The ramp the program builds from three exponents, as the test display gives it back (the top 8 bits of each entry).
Ramp ProgramRampOnDisplay(double red, double green, double blue);

struct ModeInfo {
  unsigned long width = 0, height = 0, bits = 0, frequency = 0;
  std::string Size() const { return std::to_string(width) + " x " + std::to_string(height); }
};
bool ReadDisplayModes(ModeInfo* current, ModeInfo* registry);  // standin.exe --display's reading
std::string RegistrySize();                                    // "?" when it cannot be read
// Other processes learn of a mode change a moment after it returns: a bounded wait.
std::string CurrentSizeSettlingAt(const std::string& expected);
bool SetCurrentSize(DWORD width, DWORD height);  // a dynamic change, registry untouched

}  // namespace kestrin::test
