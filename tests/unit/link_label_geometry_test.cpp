#include "link_label_geometry.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kestrin;

TEST(LinkLabelGeometry, FormatWordBreaksAndAlignsByTheStyleBits) {
  EXPECT_EQ(0x10u, LinkLabelDrawFormat(0x50000100)) << "child, visible, SS_NOTIFY: DT_WORDBREAK";
  EXPECT_EQ(0x11u, LinkLabelDrawFormat(0x1)) << "SS_CENTER";
  EXPECT_EQ(0x12u, LinkLabelDrawFormat(0x2)) << "SS_RIGHT";
  EXPECT_EQ(0x13u, LinkLabelDrawFormat(0x3));
}

TEST(LinkLabelGeometry, UnderlineSpansAndTheTextDrawn) {
  // format, client width, text width, expected from and to.
  const struct { unsigned format; int right, w, from, to; } cases[] = {
      {0x10, 200, 350, 0, 350},                              // left: not clipped
      {0x12, 200, 57, 199, 142}, {0x12, 200, INT_MAX, 199, 0},  // right
      {0x13, 200, 57, 199, 142},                             // right wins over centre
      {0x11, 201, 58, 71, 129},                              // centre: halves truncated
      {0x11, 200, INT_MAX, 0, 200},
  };
  for (const auto& c : cases) {
    const UnderlineSpan span = LinkUnderlineSpan(c.format, c.right, c.w);
    EXPECT_EQ(c.from, span.from) << c.format << " " << c.right << " " << c.w;
    EXPECT_EQ(c.to, span.to) << c.format << " " << c.right << " " << c.w;
  }
  // The text buffer holds 4095 characters and a terminator.
  EXPECT_EQ(0u, LinkTextDrawnLength(-1));
  EXPECT_EQ(4094u, LinkTextDrawnLength(4094));
  EXPECT_EQ(4094u, LinkTextDrawnLength(INT_MAX));
}
