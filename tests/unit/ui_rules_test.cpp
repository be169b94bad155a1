#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "command_line.h"
#include "link_label_geometry.h"

using namespace kestrin;

TEST(CommandLine, ModesSwitchesAndTheirMistakes) {
  EXPECT_EQ(CommandMode::kWindow, ParseCommandLine("Kestrin.exe notes.txt").mode) << "no switch: the window";
  EXPECT_EQ(CommandMode::kUninstall, ParseCommandLine("\"C:\\Program Files\\Kestrin.exe\" /uninstall").mode);
  EXPECT_EQ(CommandMode::kSave, ParseCommandLine("Kestrin /SAVE").mode);
  const CommandLine all = ParseCommandLine("Kestrin /Restore");
  const CommandLine some = ParseCommandLine("Kestrin  /restore\t/ICONS /Gamma");
  EXPECT_TRUE(all.mode == CommandMode::kRestore && !all.icons && !all.resolution && !all.gamma) << "as the options say";
  EXPECT_TRUE(some.mode == CommandMode::kRestore && some.icons && some.gamma && !some.resolution);
  for (const char* bad :
       {"Kestrin /Restore /Icons /Colours", "Kestrin /Save /Icons", "Kestrin /Saved", "Kestrin /Run   "}) {
    const CommandLine parsed = ParseCommandLine(bad);
    EXPECT_TRUE(parsed.mode == CommandMode::kBad && !parsed.error.empty()) << bad;
  }
  EXPECT_EQ("unknown switch \"/Saved\"", ParseCommandLine("Kestrin /Saved").error);
  const CommandLine run = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" /run  \"C:\\Games\\My Game.exe\" -w \"a b\"");
  EXPECT_EQ(CommandMode::kRun, run.mode);
  EXPECT_EQ("\"C:\\Games\\My Game.exe\" -w \"a b\"", run.program) << "the rest of the line as it was written";
}

TEST(LinkLabelGeometry, FormatUnderlineAndTextDrawn) {
  // DT_WORDBREAK for child, visible, SS_NOTIFY; and DT_CENTER, DT_RIGHT for SS_CENTER, SS_RIGHT.
  const std::pair<uint32_t, unsigned> formats[] = {{0x50000100, 0x10}, {0x1, 0x11}, {0x2, 0x12}, {0x3, 0x13}};
  for (const auto& [style, format] : formats) EXPECT_EQ(format, LinkLabelDrawFormat(style)) << style;
  // format, client width, text width: the underline's from and to.
  const struct {
    unsigned format;
    int right, w, from, to;
  } cases[] = {
      {0x10, 200, 350, 0, 350},                                    // left: not clipped
      {0x12, 200, 57, 199, 142},    {0x12, 200, INT_MAX, 199, 0},  // right
      {0x13, 200, 57, 199, 142},                                   // right wins over centre
      {0x11, 200, 57, 72, 129},     {0x11, 201, 58, 71, 129},
      {0x11, 200, INT_MAX, 0, 200},  // centre: halves truncated
  };
  for (const auto& c : cases) {
    const UnderlineSpan span = LinkUnderlineSpan(c.format, c.right, c.w);
    EXPECT_TRUE(span.from == c.from && span.to == c.to)
        << c.format << " " << c.right << " " << c.w << ": " << span.from << " to " << span.to;
  }
  // The text buffer holds 4095 characters and a terminator.
  EXPECT_EQ(0u, LinkTextDrawnLength(-1));
  EXPECT_EQ(4094u, LinkTextDrawnLength(4094));
  EXPECT_EQ(4094u, LinkTextDrawnLength(INT_MAX));
}
