#include "screen_win.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kestrin_driver_win.h"
#include "win_handle_win.h"

namespace kestrin::test {
namespace {

// A top-down 32-bit DIB of the area's size selected into a memory DC.
struct Canvas {
  explicit Canvas(const RECT& area) : width(area.right - area.left), height(area.bottom - area.top) {
    BITMAPINFO info = {{sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    if (width > 0 && height > 0 && memory)
      bitmap = CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) old = SelectObject(memory, bitmap);
  }
  ~Canvas() {
    if (old) SelectObject(memory, old);
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
  }
  std::vector<uint32_t> Pixels() const {
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(p, p + (old ? static_cast<size_t>(width) * height : 0));
    for (uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
    return pixels;
  }
  ScreenDC screen;
  int width, height;
  HDC memory = CreateCompatibleDC(screen.get());
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  HGDIOBJ old = nullptr;
};

}  // namespace

bool ReadScreenRamp(Ramp* ramp) { return GetDeviceGammaRamp(ScreenDC().get(), ramp->data()); }

bool SetScreenRamp(const Ramp& ramp) {
  Ramp copy = ramp;
  return SetDeviceGammaRamp(ScreenDC().get(), copy.data());
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

std::string CurrentSize() {
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

std::vector<uint32_t> ScreenPixels(const RECT& area) {
  Canvas canvas(area);
  if (!canvas.old ||
      !BitBlt(canvas.memory, 0, 0, canvas.width, canvas.height, canvas.screen.get(), area.left, area.top, SRCCOPY))
    return {};
  return canvas.Pixels();
}

bool SaveWindowShot(HWND window, const std::string& path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);  // until it has painted
  RECT rect;
  GetWindowRect(window, &rect);
  const std::vector<uint32_t> pixels = ScreenPixels(rect);
  BITMAPINFOHEADER info = {sizeof info, rect.right - rect.left, rect.top - rect.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof info, size = static_cast<DWORD>(pixels.size() * 4);
  BITMAPFILEHEADER file = {0x4D42, headers + size, 0, 0, headers};
  return !pixels.empty() && WriteFileBytes(path, std::string(reinterpret_cast<char*>(&file), sizeof file) +
                                                     std::string(reinterpret_cast<char*>(&info), sizeof info) +
                                                     std::string(reinterpret_cast<const char*>(pixels.data()), size));
}

}  // namespace kestrin::test
