// Three gamma exponents: red, green, blue. Portable: no <windows.h>.
#pragma once

namespace kestrin {

// Stored as 24 little-endian bytes; 1.0 wherever no exponents are known.
struct GammaTriple {
  double red = 1.0;
  double green = 1.0;
  double blue = 1.0;
};

}  // namespace kestrin
