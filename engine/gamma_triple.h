// Three gamma exponents: red, green, blue. Portable: no <windows.h>.
#pragma once

#include <cstddef>

namespace kestrin {

// Stored as its three components in that order, each a little-endian IEEE double.
constexpr size_t kGammaComponents = 3;
constexpr size_t kGammaComponentSize = sizeof(double);
constexpr size_t kGammaTripleSize = kGammaComponents * kGammaComponentSize;  // 24
static_assert(kGammaComponentSize == 8, "the stored components are 64-bit doubles");

// 1.0 wherever no exponents are known.
struct GammaTriple {
  double red = 1.0;
  double green = 1.0;
  double blue = 1.0;
};

}  // namespace kestrin
