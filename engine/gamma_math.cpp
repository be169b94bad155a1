#include "gamma_math.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kestrin {

namespace {

// The exponent a channel is built with. NaN has no place among the exponents and would
// reach the float-to-integer conversion unclamped; it means "unknown", hence linear.
double UsableExponent(double g) { return std::isnan(g) ? 1.0 : g; }

uint16_t RampEntry(double x, double g) {
  double e = std::pow(x, g) * 65535.0 + 0.5;
  if (e > 65535.0) {
    e = 65535.0;
  } else if (e < 0.0) {
    e = 0.0;
  }
  return static_cast<uint16_t>(e);
}

}  // namespace

void BuildGammaRamp(double red, double green, double blue, GammaRamp& ramp) {
  const double exponents[3] = {UsableExponent(red), UsableExponent(green), UsableExponent(blue)};
  for (size_t i = 0; i < kGammaChannelEntries; ++i) {
    // Entry i stands for input (i + 1) / 256: the first is built at 1/256, the last at 1.0.
    const double x = static_cast<double>(i + 1) * (1.0 / 256);
    for (size_t c = 0; c < 3; ++c) ramp[c * kGammaChannelEntries + i] = RampEntry(x, exponents[c]);
  }
}

double EstimateGammaExponent(const uint16_t* ramp768, int channel) {
  if (!ramp768 || channel < kRedChannel || channel > kBlueChannel) return 1.0;
  double sum = 0.0;
  int n = 0;
  const size_t first = static_cast<size_t>(channel) * kGammaChannelEntries;
  for (size_t j = first; j < first + kGammaChannelEntries; ++j) {
    if (j == 0) continue;  // the first red entry only
    const uint16_t v = ramp768[j];
    if (v == 0) continue;
    // Input j mod 256 is 0 for the first green and blue entries: ln 0 = -inf, term 0,
    // still counted.
    sum = sum + std::log(v * (1.0 / 65536)) /
                    std::log(static_cast<double>(j % kGammaChannelEntries) * (1.0 / 256));
    n = n + 1;
  }
  if (n == 0) return 1.0;  // nothing to measure: the exponent of "unknown"
  const double r = sum / (40 * n) + sum / n;
  // Rounded to one decimal through text, so the stored value is exactly what "%.1lf" and a
  // read back of it give. Each term lies in [0, 2834], so the text is short.
  char text[32];
  const int written = std::snprintf(text, sizeof text, "%.1lf", r);
  if (written <= 0 || static_cast<size_t>(written) >= sizeof text) return 1.0;
  return std::strtod(text, nullptr);
}

}  // namespace kestrin
