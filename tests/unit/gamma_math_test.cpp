#include "gamma_math.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace kestrin;

namespace {
GammaRamp Built(double red, double green, double blue) {
  GammaRamp ramp;
  ramp.fill(0xBEEF);  // every entry must be overwritten
  BuildGammaRamp(red, green, blue, ramp);
  return ramp;
}
}  // namespace

TEST(GammaRamp, EntryIIsInputIPlusOneOver256ToTheExponentRoundedAndClamped) {
  const GammaRamp ramp = Built(2.0, 2.2, 1.0);
  const int entries[][2] = {{0, 1},   {1, 4},   {2, 9},    {15, 256}, {256, 0},   {257, 2},
                            {258, 4}, {259, 7}, {260, 11}, {261, 17}, {512, 256}, {512 + 127, 32768}};
  for (const auto& [at, value] : entries) EXPECT_EQ(value, ramp[at]) << "red, green from 256, blue from 512: " << at;
  GammaRamp full;
  full.fill(65535);
  const double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();
  for (double g : {0.0, -3.0, -kInf}) EXPECT_EQ(full, Built(g, g, g)) << g;
  EXPECT_EQ(Built(1.0, 1.0, 1.0), Built(kNaN, -kNaN, kNaN)) << "NaN: linear, the exponent of \"unknown\"";
}

TEST(GammaEstimate, OneDecimalExponentsReadBackInTheirOwnChannelAsTheMeanTimesOnePointZeroTwoFive) {
  for (int k = 1; k <= 59; ++k) {
    const int tenths[] = {k, 60 - k, (k * 7) % 59 + 1};  // a channel mix-up shows
    const GammaRamp ramp = Built(tenths[0] / 10.0, tenths[1] / 10.0, tenths[2] / 10.0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(tenths[c] / 10.0, EstimateGammaExponent(ramp.data(), c)) << c << " " << k;
  }
  // One green entry, input 128/256, output 4096/65536: a term of ln(1/16) / ln(1/2) = 4, so 4 / 40 + 4 = 4.1
  // (a plain mean gives 4.0). Input 0 gives a term of 0 that still counts: 2 * 1.025 = 2.05, printed as 2.0.
  GammaRamp ramp{};
  ramp[256 + 128] = 4096;
  EXPECT_EQ(4.1, EstimateGammaExponent(ramp.data(), 1));
  ramp[256] = 1000;
  EXPECT_EQ(2.0, EstimateGammaExponent(ramp.data(), 1));
  ramp[0] = 65535;  // red's first entry is always skipped, zero entries never count: nothing is left
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 0));
  const auto heap = std::make_unique<uint16_t[]>(768);  // exactly 768 entries: a read past them is caught
  EXPECT_TRUE(EstimateGammaExponent(heap.get(), 3) == 1.0 && EstimateGammaExponent(heap.get(), -1) == 1.0 &&
              EstimateGammaExponent(nullptr, 0) == 1.0);
}
