// window_shot.exe NAME FILE.bmp [TO MESSAGE WPARAM LPARAM]: saves what the screen shows of the
// top-level window NAME as a 32-bit top-down BMP, for the README's screenshots (scripts/bmp-to-png
// makes it a PNG); first, when given, it posts the message that shows it (a command, a menu) to
// the window TO. A NAME is a title, or class=CLASS for a window without one (a pop-up menu is
// class=#32768). scripts/run uses it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "win_handle_win.h"

namespace {
HWND FindNamed(const std::string& name) {
  const bool byClass = name.rfind("class=", 0) == 0;
  HWND window = nullptr;
  for (int i = 0; i < 200 && !(window = byClass ? FindWindowA(name.c_str() + 6, nullptr)
                                                : FindWindowA(nullptr, name.c_str()));
       ++i)
    Sleep(50);
  return window;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 7)
    return std::fprintf(stderr, "usage: window_shot NAME FILE.bmp [TO MESSAGE WPARAM LPARAM]\n"), 2;
  if (argc == 7) {
    HWND to = FindNamed(argv[3]);
    if (!to || !PostMessageA(to, std::strtoul(argv[4], nullptr, 0),
                             std::strtoul(argv[5], nullptr, 0), std::strtoul(argv[6], nullptr, 0)))
      return std::fprintf(stderr, "window_shot: cannot post to \"%s\"\n", argv[3]), 1;
  }
  HWND window = FindNamed(argv[1]);
  if (!window) return std::fprintf(stderr, "window_shot: no window \"%s\"\n", argv[1]), 1;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);  // until it has painted
  RECT rect;
  GetWindowRect(window, &rect);
  const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFOHEADER info = {sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  kestrin::ScreenDC screen;
  const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(&DeleteDC)> memory(
      CreateCompatibleDC(screen.get()), &DeleteDC);
  // Declared after the DC, so destroyed first: deselected by then, as DeleteObject wants.
  kestrin::UniqueResource<HBITMAP, kestrin::GdiObjectTraits<HBITMAP>> bitmap(
      CreateCompatibleBitmap(screen.get(), width, height));
  const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  const bool blitted =
      BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
  SelectObject(memory.get(), old);  // GetDIBits wants the bitmap out of any DC
  const bool copied =
      blitted && GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(),
                           reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
  const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof info,
              size = static_cast<DWORD>(pixels.size() * 4);
  BITMAPFILEHEADER file = {0x4D42, headers + size, 0, 0, headers};
  FILE* out = copied ? std::fopen(argv[2], "wb") : nullptr;
  const bool saved = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
                     std::fwrite(&info, sizeof info, 1, out) == 1 &&
                     std::fwrite(pixels.data(), 4, pixels.size(), out) == pixels.size();
  if (out && std::fclose(out) != 0)
    return std::fprintf(stderr, "window_shot: cannot write %s\n", argv[2]), 1;
  return saved ? 0 : (std::fprintf(stderr, "window_shot: cannot save %s\n", argv[2]), 1);
}
