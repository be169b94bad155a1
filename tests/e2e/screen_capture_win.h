// What the screen shows: a window saved as a BMP file, and the pixels of a screen area.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin::e2e {

// 0x00RRGGBB per pixel, rows top to bottom; empty when the area cannot be read.
std::vector<uint32_t> ScreenPixels(const RECT& area);

// The pixels `icon` gives when drawn at its own size on a `width` x `height` area filled
// with `background` (0x00RRGGBB), in the same layout as ScreenPixels.
std::vector<uint32_t> IconPixels(HICON icon, int width, int height, uint32_t background);

// Saves what the screen shows of `window` (its whole window rectangle) as a 24-bit BMP.
bool SaveWindowShot(HWND window, const std::string& path, std::string* error);

}  // namespace kestrin::e2e
