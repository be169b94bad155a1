#include "gamma_math.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <utility>

using namespace kestrin;

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();
GammaRamp Filled(uint16_t value) {
  GammaRamp ramp;
  ramp.fill(value);
  return ramp;
}
GammaRamp Built(double red, double green, double blue) {
  GammaRamp ramp = Filled(0xBEEF);  // every entry must be overwritten
  BuildGammaRamp(red, green, blue, ramp);
  return ramp;
}
}  // namespace

TEST(GammaRamp, EntryIIsInputIPlusOneOver256ToTheExponentRounded) {
  const GammaRamp ramp = Built(2.0, 2.2, 1.0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ((i + 1) * (i + 1), ramp[i]) << "red " << i;
  const std::pair<int, uint16_t> entries[] = {{256, 0},  {257, 2},  {258, 4},   {259, 7},
                                              {260, 11}, {261, 17}, {512, 256}, {512 + 127, 32768}};
  for (const auto& [at, value] : entries) EXPECT_EQ(value, ramp[at]) << "green from 256, blue from 512: " << at;
  for (double g : {0.0, -0.0, -3.0, -kInf}) EXPECT_EQ(Filled(65535), Built(g, g, g)) << g;
  // NaN: the linear ramp of the "unknown" exponent 1.0, in whichever channel it stands.
  EXPECT_EQ(Built(1.0, 2.2, 1.0), Built(kNaN, 2.2, -kNaN));
  EXPECT_EQ(Built(2.2, 1.0, 2.2), Built(2.2, kNaN, 2.2));
  // +inf: the limit of huge exponents, dark everywhere but at full input, the last entry.
  GammaRamp dark = Filled(0);
  dark[255] = dark[511] = dark[767] = 65535;
  EXPECT_EQ(dark, Built(kInf, 1e300, kInf));
}

TEST(GammaEstimate, EveryOneDecimalExponentReadsBackAsItselfInEachChannel) {
  for (int k = 1; k <= 59; ++k) {
    const int tenths[] = {k, 60 - k, (k * 7) % 59 + 1};  // a channel mix-up shows
    const GammaRamp ramp = Built(tenths[0] / 10.0, tenths[1] / 10.0, tenths[2] / 10.0);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(tenths[c] / 10.0, EstimateGammaExponent(ramp.data(), c)) << "channel " << c << ", " << tenths[c];
  }
  GammaRamp identity;  // the platform's own: 257 times the input level
  for (int j = 0; j < 768; ++j) identity[j] = static_cast<uint16_t>(257 * (j % 256));
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(1.0, EstimateGammaExponent(identity.data(), c)) << c;
    EXPECT_EQ(0.0, EstimateGammaExponent(Filled(65535).data(), c)) << "full scale throughout: " << c;
  }
}

TEST(GammaEstimate, MeanTimesOnePointZeroTwoFiveOrOneWhenNothingQualifies) {
  // One green entry, input 128/256, output 4096/65536: a term of ln(1/16) / ln(1/2) = 4, so
  // 4 / 40 + 4 = 4.1 (a plain mean gives 4.0). Input 0 gives a term of 0 that still counts,
  // halving the mean: 2 * 1.025 = 2.05, whose binary value prints as 2.0.
  GammaRamp ramp{};
  ramp[256 + 128] = 4096;
  EXPECT_EQ(4.1, EstimateGammaExponent(ramp.data(), 1));
  ramp[256] = 1000;
  EXPECT_EQ(2.0, EstimateGammaExponent(ramp.data(), 1));
  ramp[0] = 65535;  // red's first entry is always skipped, zero entries never count: nothing is left
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 0));
  // Exactly 768 entries on the heap, so a read past them trips the address sanitizer.
  const auto heap = std::make_unique<uint16_t[]>(768);
  for (int channel : {3, -1}) EXPECT_EQ(1.0, EstimateGammaExponent(heap.get(), channel)) << channel;
  EXPECT_EQ(1.0, EstimateGammaExponent(nullptr, 0));
}
