#include "link_label_geometry.h"

#include <algorithm>

namespace kestrin {

unsigned LinkLabelDrawFormat(std::uint32_t style) {
  unsigned format = kDrawTextWordBreak;
  if (style & kStaticCenter) format |= kDrawTextCenter;
  if (style & kStaticRight) format |= kDrawTextRight;
  return format;
}

UnderlineSpan LinkUnderlineSpan(unsigned format, int right, int textWidth) {
  // 64-bit sums: a huge measured width must not wrap around.
  const long long r = right;
  const long long w = textWidth;
  if (format & kDrawTextRight) return {right - 1, static_cast<int>(std::max(0LL, r - w - 1))};
  if (format & kDrawTextCenter) {
    // Each half truncated toward zero, as integer division does.
    const long long start = std::max(0LL, r / 2 - w / 2);
    return {static_cast<int>(start), static_cast<int>(std::min(start + w, r))};
  }
  return {0, textWidth};
}

std::size_t LinkTextDrawnLength(int copied) {
  if (copied <= 0) return 0;
  return std::min<std::size_t>(static_cast<std::size_t>(copied), kLinkTextMaxCount - 1);
}

}  // namespace kestrin
