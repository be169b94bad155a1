#include "gamma_math.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace kestrin;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

GammaRamp Built(double red, double green, double blue) {
  GammaRamp ramp;
  ramp.fill(0xBEEF);  // every entry must be overwritten
  BuildGammaRamp(red, green, blue, ramp);
  return ramp;
}

GammaRamp Filled(uint16_t value) {
  GammaRamp ramp;
  ramp.fill(value);
  return ramp;
}

}  // namespace

TEST(GammaRamp, EntryIIsRoundedInputIPlusOneOver256ToTheExponent) {
  const GammaRamp linear = Built(1.0, 1.0, 1.0);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(256, linear[c * 256 + 0]);
    EXPECT_EQ(32768, linear[c * 256 + 127]);
    EXPECT_EQ(65535, linear[c * 256 + 255]);
  }
  const GammaRamp ramp = Built(2.0, 2.2, 1.0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ((i + 1) * (i + 1), ramp[i]) << "red " << i;
  const uint16_t green[] = {0, 2, 4, 7, 11, 17};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(green[i], ramp[256 + i]) << "green " << i;
  EXPECT_EQ(32768, ramp[512 + 127]);
}

TEST(GammaRamp, ZeroNegativeAndNonFiniteExponentsGiveDefinedRamps) {
  for (double g : {0.0, -0.0, -3.0, -kInf}) EXPECT_EQ(Filled(65535), Built(g, g, g)) << g;
  // NaN: the linear ramp of the "unknown" exponent 1.0, in whichever channel it stands.
  EXPECT_EQ(Built(1.0, 2.2, 1.0), Built(kNaN, 2.2, 1.0));
  EXPECT_EQ(Built(2.2, 1.0, 1.0), Built(2.2, kNaN, 1.0));
  EXPECT_EQ(Built(2.2, 2.2, 1.0), Built(2.2, 2.2, -kNaN));
  // +inf: the limit of huge exponents, dark everywhere but at full input.
  GammaRamp dark = Filled(0);
  dark[255] = dark[511] = dark[767] = 65535;
  EXPECT_EQ(dark, Built(kInf, 1e300, kInf));
}

TEST(GammaEstimate, EveryOneDecimalExponentReadsBackAsItselfInEachChannel) {
  for (int k = 1; k <= 59; ++k) {
    // Different exponents in the three channels, so a channel mix-up shows.
    const int green = 60 - k, blue = (k * 7) % 59 + 1;
    const GammaRamp ramp = Built(k / 10.0, green / 10.0, blue / 10.0);
    EXPECT_EQ(k / 10.0, EstimateGammaExponent(ramp.data(), 0)) << "red " << k;
    EXPECT_EQ(green / 10.0, EstimateGammaExponent(ramp.data(), 1)) << "green " << green;
    EXPECT_EQ(blue / 10.0, EstimateGammaExponent(ramp.data(), 2)) << "blue " << blue;
  }
  GammaRamp identity;  // the platform's own: 257 times the input level
  for (int j = 0; j < 768; ++j) identity[j] = static_cast<uint16_t>(257 * (j % 256));
  const GammaRamp full = Filled(65535);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(1.0, EstimateGammaExponent(identity.data(), c)) << c;
    EXPECT_EQ(0.0, EstimateGammaExponent(full.data(), c)) << "full scale throughout: " << c;
  }
}

TEST(GammaEstimate, MeanOfTermsTimesOnePointZeroTwoFiveOrOneWhenNothingQualifies) {
  // One qualifying green entry at input 128/256 with output 4096/65536: a term of exactly
  // ln(1/16) / ln(1/2) = 4, so 4 / 40 + 4 = 4.1 (a plain mean would give 4.0).
  GammaRamp ramp{};
  ramp[256 + 128] = 4096;
  EXPECT_EQ(4.1, EstimateGammaExponent(ramp.data(), 1));
  // The first green entry is not skipped: input 0 gives a term of 0 that still counts,
  // halving the mean: 2 * 1.025 = 2.05, whose binary value prints as 2.0.
  ramp[256] = 1000;
  EXPECT_EQ(2.0, EstimateGammaExponent(ramp.data(), 1));
  // Red's first entry is always skipped, and zero entries never count: nothing to measure.
  ramp[0] = 65535;
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 0));
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 2));

  // Exactly 768 entries on the heap, so a read past them trips the address sanitizer.
  const auto heap = std::make_unique<uint16_t[]>(768);
  for (size_t j = 0; j < 768; ++j) heap[j] = 4096;
  for (int channel : {3, -1}) EXPECT_EQ(1.0, EstimateGammaExponent(heap.get(), channel)) << channel;
  EXPECT_EQ(1.0, EstimateGammaExponent(nullptr, 0));
}
