#include "display_mode.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace kestrin;

TEST(DisplayModeRules, FlagsMessagesAndPanelTexts) {
  EXPECT_EQ(0u, ModeApplyFlags(true, true)) << "temporary: all users does not matter";
  EXPECT_EQ(1u, ModeApplyFlags(false, false)) << "CDS_UPDATEREGISTRY";
  EXPECT_EQ(9u, ModeApplyFlags(false, true)) << "and CDS_GLOBAL";

  // RESTART and NOTUPDATED cannot be produced on the test display, so their texts are checked here.
  EXPECT_EQ("", ModeApplyMessage(0));
  EXPECT_EQ("Unable to apply : The computer must be restarted in order for the graphics mode to work.",
            ModeApplyMessage(1));
  EXPECT_EQ("Unable to apply : Unable to write settings to the registry.", ModeApplyMessage(-3));
  for (int32_t other : {-1, -2, 2, INT32_MIN}) EXPECT_EQ("Unable to apply.", ModeApplyMessage(other)) << other;

  EXPECT_EQ("1280 x 1024", ModeSizeText(1280, 1024));
  EXPECT_EQ("4294967295 x 0", ModeSizeText(UINT32_MAX, 0)) << "unsigned decimal";
  EXPECT_EQ("4294967295", ModeNumberText(UINT32_MAX));
}
