#include "command_line.h"

#include <gtest/gtest.h>

using namespace kestrin;

TEST(CommandLine, ModesSwitchesAndTheirMistakes) {
  EXPECT_EQ(CommandMode::kWindow, ParseCommandLine("Kestrin.exe notes.txt").mode) << "no switch: the window";
  EXPECT_EQ(CommandMode::kUninstall, ParseCommandLine("\"C:\\Program Files\\Kestrin.exe\" /uninstall").mode);
  EXPECT_EQ(CommandMode::kSave, ParseCommandLine("Kestrin /SAVE").mode);
  const CommandLine all = ParseCommandLine("Kestrin /Restore"), some = ParseCommandLine("Kestrin  /restore\t/ICONS /Gamma");
  EXPECT_TRUE(all.mode == CommandMode::kRestore && !all.icons && !all.resolution && !all.gamma) << "as the options say";
  EXPECT_TRUE(some.mode == CommandMode::kRestore && some.icons && some.gamma && !some.resolution);

  for (const char* bad : {"Kestrin /Restore /Icons /Colours", "Kestrin /Save /Icons", "Kestrin /Saved", "Kestrin /Run   "}) {
    const CommandLine parsed = ParseCommandLine(bad);
    EXPECT_EQ(CommandMode::kBad, parsed.mode) << bad;
    EXPECT_FALSE(parsed.error.empty()) << bad;
  }
  EXPECT_EQ("unknown switch \"/Saved\"", ParseCommandLine("Kestrin /Saved").error);

  const CommandLine run = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" /run  \"C:\\Games\\My Game.exe\" -w \"a b\"");
  EXPECT_EQ(CommandMode::kRun, run.mode);
  EXPECT_EQ("\"C:\\Games\\My Game.exe\" -w \"a b\"", run.program) << "the rest of the line as it was written";
}
