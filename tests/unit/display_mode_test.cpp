#include "display_mode.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace kestrin;

TEST(DisplayModeRules, FlagsComeFromTheTwoControls) {
  EXPECT_EQ(0u, ModeApplyFlags(true, false));
  EXPECT_EQ(0u, ModeApplyFlags(true, true)) << "all users does not matter when temporary";
  EXPECT_EQ(1u, ModeApplyFlags(false, false));
  EXPECT_EQ(9u, ModeApplyFlags(false, true));
  EXPECT_EQ(0x7C0020u, MODE_APPLY_FIELDS);
}

// RESTART and NOTUPDATED cannot be produced on the test display, so their texts are
// checked here.
TEST(DisplayModeRules, EachResultHasItsMessage) {
  EXPECT_EQ("", ModeApplyMessage(0));
  EXPECT_EQ("Unable to apply : The computer must be restarted in order for the graphics mode to work.",
            ModeApplyMessage(1));
  EXPECT_EQ("Unable to apply : Unable to write settings to the registry.", ModeApplyMessage(-3));
  for (int32_t other : {-1, -2, -4, -5, -6, 2, INT32_MIN, INT32_MAX})
    EXPECT_EQ("Unable to apply.", ModeApplyMessage(other)) << other;
}

TEST(DisplayModeRules, PanelTextsAreUnsignedDecimal) {
  EXPECT_EQ("1280 x 1024", ModeSizeText(1280, 1024));
  EXPECT_EQ("0 x 0", ModeSizeText(0, 0));
  EXPECT_EQ("4294967295 x 1", ModeSizeText(UINT32_MAX, 1));
  EXPECT_EQ("32", ModeNumberText(32));
  EXPECT_EQ("4294967295", ModeNumberText(UINT32_MAX));
}
