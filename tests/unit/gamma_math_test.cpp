#include "gamma_math.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

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
  const uint16_t green[] = {0, 2, 4, 7, 11, 17};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(green[i], ramp[256 + i]) << "green " << i;
  EXPECT_EQ(256, ramp[512]);
  EXPECT_EQ(32768, ramp[512 + 127]);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(65535, ramp[c * 256 + 255]);
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
    const int green = 60 - k, blue = (k * 7) % 59 + 1;  // a channel mix-up shows
    const GammaRamp ramp = Built(k / 10.0, green / 10.0, blue / 10.0);
    EXPECT_EQ(k / 10.0, EstimateGammaExponent(ramp.data(), 0)) << "red " << k;
    EXPECT_EQ(green / 10.0, EstimateGammaExponent(ramp.data(), 1)) << "green " << green;
    EXPECT_EQ(blue / 10.0, EstimateGammaExponent(ramp.data(), 2)) << "blue " << blue;
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
  ramp[0] = 65535;  // red's first entry is always skipped, zero entries never count
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 0));
  EXPECT_EQ(1.0, EstimateGammaExponent(ramp.data(), 2));
  // Exactly 768 entries on the heap, so a read past them trips the address sanitizer.
  const auto heap = std::make_unique<uint16_t[]>(768);
  for (int channel : {3, -1}) EXPECT_EQ(1.0, EstimateGammaExponent(heap.get(), channel)) << channel;
  EXPECT_EQ(1.0, EstimateGammaExponent(nullptr, 0));
}
