#include "screen_capture_win.h"

#include <cstdio>
#include <memory>

namespace kestrin::e2e {
namespace {

struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};

struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};

// A DIB section selected into a memory DC for the object's life.
class Canvas {
 public:
  Canvas(HDC screen, int width, int height, WORD bitCount) : memory_(screen) {
    info_.bmiHeader.biSize = sizeof info_.bmiHeader;
    info_.bmiHeader.biWidth = width;
    // Negative: top-down rows for pixel access; positive: bottom-up, as BMP files are.
    info_.bmiHeader.biHeight = bitCount == 32 ? -height : height;
    info_.bmiHeader.biPlanes = 1;
    info_.bmiHeader.biBitCount = bitCount;
    if (!memory_.dc) return;
    bitmap_ = CreateDIBSection(screen, &info_, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (bitmap_) old_ = SelectObject(memory_.dc, bitmap_);
  }
  ~Canvas() {
    if (old_) SelectObject(memory_.dc, old_);
    if (bitmap_) DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool ok() const { return bitmap_ && bits_ && old_; }
  HDC dc() const { return memory_.dc; }
  void* bits() const { return bits_; }
  const BITMAPINFOHEADER& header() const { return info_.bmiHeader; }

 private:
  MemoryDc memory_;
  BITMAPINFO info_ = {};
  HBITMAP bitmap_ = nullptr;
  void* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

std::vector<uint32_t> Pixels(const Canvas& canvas, int width, int height) {
  GdiFlush();
  const auto* bits = static_cast<const uint32_t*>(canvas.bits());
  std::vector<uint32_t> pixels(bits, bits + static_cast<size_t>(width) * static_cast<size_t>(height));
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  return pixels;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

std::vector<uint32_t> ScreenPixels(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return {};
  ScreenDc screen;
  if (!screen.dc) return {};
  Canvas canvas(screen.dc, width, height, 32);
  if (!canvas.ok() || !BitBlt(canvas.dc(), 0, 0, width, height, screen.dc, area.left, area.top, SRCCOPY))
    return {};
  return Pixels(canvas, width, height);
}

std::vector<uint32_t> IconPixels(HICON icon, int width, int height, uint32_t background) {
  if (!icon || width <= 0 || height <= 0) return {};
  ScreenDc screen;
  if (!screen.dc) return {};
  Canvas canvas(screen.dc, width, height, 32);
  if (!canvas.ok()) return {};
  auto* bits = static_cast<uint32_t*>(canvas.bits());
  for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height); ++i) bits[i] = background;
  if (!DrawIconEx(canvas.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL)) return {};
  return Pixels(canvas, width, height);
}

bool SaveWindowShot(HWND window, const std::string& path, std::string* error) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) {
    *error = "no such window";
    return false;
  }
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    *error = "the window has no area";
    return false;
  }
  ScreenDc screen;
  Canvas canvas(screen.dc, width, height, 24);
  if (!screen.dc || !canvas.ok() ||
      !BitBlt(canvas.dc(), 0, 0, width, height, screen.dc, rect.left, rect.top, SRCCOPY)) {
    *error = "cannot copy the screen (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageSize;
  std::unique_ptr<FILE, FileCloser> out(std::fopen(path.c_str(), "wb"));
  bool ok = out && std::fwrite(&file, sizeof file, 1, out.get()) == 1 &&
            std::fwrite(&canvas.header(), sizeof(BITMAPINFOHEADER), 1, out.get()) == 1 &&
            std::fwrite(canvas.bits(), imageSize, 1, out.get()) == 1;
  if (out) ok = std::fclose(out.release()) == 0 && ok;
  if (!ok) *error = "cannot write " + path;
  return ok;
}

}  // namespace kestrin::e2e
