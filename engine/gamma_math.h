// Gamma ramps and the exponents that describe them. Portable: no <windows.h>.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kestrin {

// The device ramp in the platform's layout: 256 red, then 256 green, then 256 blue
// entries; entry i of a channel is the output (0..65535) for input level i.
constexpr size_t kGammaChannelEntries = 256;
constexpr size_t kGammaRampEntries = 3 * kGammaChannelEntries;
using GammaRamp = std::array<uint16_t, kGammaRampEntries>;
// The channels in the ramp's order.
constexpr int kRedChannel = 0;
constexpr int kGreenChannel = 1;
constexpr int kBlueChannel = 2;
static_assert(sizeof(GammaRamp) == 1536, "the platform reads and writes 1536 bytes");

// Fills `ramp` with entry i = round(((i + 1) / 256) ^ g * 65535), capped to 0..65535, for
// each channel's exponent g. Exponent 0 or below gives 65535 throughout. A NaN exponent is
// built as 1.0 (the linear ramp), the value the program uses wherever no exponent is known;
// +inf and -inf give the limits of ever larger and ever more negative exponents.
void BuildGammaRamp(double red, double green, double blue, GammaRamp& ramp);

// Estimates the exponent of `channel` (kRedChannel, kGreenChannel or kBlueChannel) of a
// 768-entry ramp, rounded to one decimal. 1.0 when no entry of the channel qualifies (all
// zero), and for a null ramp or any other channel.
double EstimateGammaExponent(const uint16_t* ramp768, int channel);

}  // namespace kestrin
