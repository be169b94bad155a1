// Rules with no window system: option values, file paths and names, the save time, display mode texts, the
// command line and where a link label draws.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "command_line.h"
#include "display_mode.h"
#include "link_label_geometry.h"
#include "program_line.h"
#include "text_rules.h"

using namespace kestrin;

namespace {
// The path built, or "refused, " and what the output held before.
std::string Snapshot(const std::string& module, const std::string& computer, const std::string& user) {
  std::string path = "kept";
  return BuildSnapshotPath(module, computer, user, &path) ? path : "refused, " + path;
}
std::string Options(const std::string& module) {
  std::string path = "kept";
  return BuildOptionsPath(module, &path) ? path : "refused, " + path;
}
}  // namespace

TEST(OptionValue, DecimalTextSaturatingWithoutOverflow) {
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {" 7x", 7}, {"\t +12", 12}, {"- 5", 0}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}};
  for (const auto& [text, value] : cases) EXPECT_EQ(value, OptionValue(text)) << text;
  EXPECT_EQ(INT_MAX, OptionValue(std::string(100, '9').c_str())) << "a hundred digits";
  EXPECT_EQ(INT_MIN, OptionValue(("-" + std::string(100, '7')).c_str()));
  EXPECT_EQ(1, OptionValue((std::string(99, '0') + "1").c_str())) << "leading zeros";
  EXPECT_EQ(0, OptionValue(nullptr));
}

TEST(FilePaths, SnapshotBesideTheProgramOptionsAtTheLastDotNothingOf260Characters) {
  EXPECT_EQ("C:\\Tools\\PC1_desktop_anna.sav", Snapshot("C:\\Tools\\x.exe", "PC1", "anna"));
  EXPECT_EQ("C:PC1_desktop_anna.sav", Snapshot("C:x.exe", "PC1", "anna"));
  EXPECT_EQ("refused, kept", Snapshot("C:\\Tools\\x.exe", "", "anna")) << "no computer name";
  EXPECT_EQ("refused, kept", Snapshot("C:\\Tools\\x.exe", "PC1", "")) << "no user name";
  EXPECT_EQ("C:\\T\\PC1_desktop_a.tmp", SnapshotTempPath("C:\\T\\PC1_desktop_a.sav")) << "where a save writes first";
  EXPECT_EQ("C:\\Tools\\x.tar.ini", Options("C:\\Tools\\x.tar.exe"));
  EXPECT_EQ("C:\\Tools\\x.ini", Options("C:\\Tools\\x")) << "no dot: appended to the whole path";
  EXPECT_EQ("C:\\My.ini", Options("C:\\My.Tools\\x")) << "cut inside the directory name";
  // 259 characters fit a 260-character buffer with its terminator; 260 do not.
  const std::string exe = std::string(241, 'd') + "\\x.exe";  // a directory of 242 characters
  EXPECT_EQ(259u, Snapshot(exe, "PC1", "u").size()) << "\"PC1_desktop_u.sav\" is 17";
  EXPECT_EQ("refused, kept", Snapshot(exe, "PC1", "uu"));
  EXPECT_EQ(259u, Options(std::string(255, 'p') + ".exe").size());
  EXPECT_EQ("refused, kept", Options(std::string(256, 'p') + ".exe"));
  // Counted in UTF-16 units, as the system counts: Cyrillic "Zhe" is one (two bytes), an emoji two (four bytes).
  std::string deep = "d";  // 241 units in 481 bytes
  for (int i = 0; i < 80; ++i) deep += "\xD0\x96\xF0\x9F\x93\x81";
  EXPECT_EQ(deep + "\\PC1_desktop_u.sav", Snapshot(deep + "\\x.exe", "PC1", "u"));
  EXPECT_EQ("refused, kept", Snapshot(deep + "\\x.exe", "PC1", "uu"));
  EXPECT_EQ(deep + "\\abcdefghijklm.ini", Options(deep + "\\abcdefghijklm.exe"));
  EXPECT_EQ("refused, kept", Options(deep + "\\abcdefghijklmn.exe"));
}

TEST(SaveTime, TwoDigitFieldsAndTheYearInFull) {
  EXPECT_EQ("00/00/0 - 00:00:00", SaveTimeText(CalendarTime{}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9}));
}

TEST(SnapshotNames, OnlyComputerDesktopUserSavOrTmpWithoutRegardToCase) {
  for (const char* name : {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b.Sav",
                           "PC1_desktop_a_desktop_b.sav", "FIFTEEN-CHARSXX_desktop_u.sav",
                           // a computer name of 15 characters in 28 bytes
                           "\xD0\x9F\xD0\x9A-\xD0\x98\xD0\x92\xD0\x90\xD0\x9D-"
                           "\xD0\x9F\xD0\x95\xD0\xA2\xD0\xA0\xD0\x9E\xD0\x92\xD0\x90_desktop_u.sav"}) {
    EXPECT_TRUE(IsSnapshotFileName(name)) << name;
    const std::string temp = SnapshotTempPath(name);  // a save's temporary file beside it
    EXPECT_TRUE(IsSnapshotTempFileName(temp) && !IsSnapshotFileName(temp) && !IsSnapshotTempFileName(name)) << temp;
  }
  // A watcher's record per resolution is of the snapshot's form, so /Uninstall removes it too.
  EXPECT_EQ("C:\\K\\PC1_desktop_anna_1280x1024.sav", ResolutionRecordPath("C:\\K\\PC1_desktop_anna.sav", 1280, 1024));
  EXPECT_TRUE(IsSnapshotFileName("PC1_desktop_anna_1280x1024.sav"));
  for (const char* name : {"other.sav", "_desktop_anna.sav", "PC1_desktop_.sav", "PC1_desktop_anna.sav.tmp",
                           "PC1_desktopanna.sav", "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}

TEST(DisplayModeRules, MessagesAndPanelTexts) {
  EXPECT_EQ("", ModeApplyMessage(0));
  EXPECT_EQ("Unable to apply : The computer must be restarted in order for the graphics mode to work.",
            ModeApplyMessage(1));
  EXPECT_EQ("Unable to apply : Unable to write settings to the registry.", ModeApplyMessage(-3));
  for (int32_t other : {-1, -2, 2, INT32_MIN}) EXPECT_EQ("Unable to apply.", ModeApplyMessage(other)) << other;
  EXPECT_EQ("4294967295 x 0", ModeSizeText(UINT32_MAX, 0)) << "unsigned decimal";
  EXPECT_EQ("4294967295", ModeNumberText(UINT32_MAX));
}

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
  const CommandLine run = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" /run  \"C:\\Games\\My Game.exe\" -w \"a b\"");
  EXPECT_EQ(CommandMode::kRun, run.mode);
  EXPECT_EQ("\"C:\\Games\\My Game.exe\" -w \"a b\"", run.program) << "the rest of the line as it was written";
  EXPECT_TRUE(ParseCommandLine("Kestrin /watch /STOP").stop && !ParseCommandLine("Kestrin /Watch").stop);
  EXPECT_EQ(CommandMode::kBad, ParseCommandLine("Kestrin /Watch /Icons").mode);
  for (const char* empty : {"Kestrin /Restore \"\" /Icons", "Kestrin /Run \"\" x"})
    EXPECT_EQ(CommandMode::kBad, ParseCommandLine(empty).mode) << empty << ": a batch file's missing %1";
}

TEST(CommandLine, TheProgramRunNamesItsFolderAndItsWaysToBeRead) {
  const std::vector<ProgramSplit> quoted = ProgramSplits(" \"C:\\My Games\\x.exe\" -w");
  ASSERT_EQ(1u, quoted.size());
  EXPECT_EQ("C:\\My Games\\x.exe", quoted[0].program);
  EXPECT_EQ(" -w", quoted[0].arguments);
  const std::vector<ProgramSplit> open = ProgramSplits("C:\\Program Files\\x.exe  -w");
  ASSERT_EQ(3u, open.size()) << "as CreateProcess tries them, shortest first";
  EXPECT_EQ("C:\\Program", open[0].program);
  EXPECT_EQ("C:\\Program Files\\x.exe", open[1].program);
  EXPECT_EQ("  -w", open[1].arguments);
  EXPECT_EQ("D:\\Games\\X\\", ProgramFolder("D:\\Games\\X\\x.exe"));
  EXPECT_EQ("D:\\", ProgramFolder("D:\\x.exe")) << "a drive's root keeps its separator";
  EXPECT_EQ("", ProgramFolder("x.exe")) << "a bare name keeps the current folder";
  EXPECT_EQ("", ProgramFolder("C:x.exe"));
  EXPECT_TRUE(IsShortcutName("Game.LNK") && !IsShortcutName("lnk") && !IsShortcutName("game.lnk.exe"));
  EXPECT_EQ("\"C:\\My Games\\x.exe\"", QuotedArgument("C:\\My Games\\x.exe"));
  EXPECT_EQ("\"\"", QuotedArgument(""));
}

TEST(LinkLabelGeometry, FormatUnderlineAndTextDrawn) {
  // DT_WORDBREAK for child, visible, SS_NOTIFY; and DT_CENTER, DT_RIGHT for SS_CENTER, SS_RIGHT.
  const std::pair<uint32_t, unsigned> formats[] = {{0x50000100, 0x10}, {0x1, 0x11}, {0x2, 0x12}, {0x3, 0x13}};
  for (const auto& [style, format] : formats) EXPECT_EQ(format, LinkLabelDrawFormat(style)) << style;
  // Format, client width, text width: the underline's from and to. Right wins over centre; a centred
  // start takes each half truncated.
  const int cases[][5] = {{0x10, 200, 350, 0, 350},    {0x12, 200, 57, 199, 142}, {0x12, 200, INT_MAX, 199, 0},
                          {0x13, 200, 57, 199, 142},   {0x11, 200, 57, 72, 129},  {0x11, 201, 58, 71, 129},
                          {0x11, 200, INT_MAX, 0, 200}};
  for (const auto& [format, right, w, from, to] : cases) {
    const UnderlineSpan span = LinkUnderlineSpan(format, right, w);
    EXPECT_TRUE(span.from == from && span.to == to)
        << format << " " << right << " " << w << ": " << span.from << " to " << span.to;
  }
  // The text buffer holds 4095 characters and a terminator.
  for (const auto& [copied, drawn] : {std::pair{-1, 0u}, {4094, 4094u}, {INT_MAX, 4094u}})
    EXPECT_EQ(drawn, LinkTextDrawnLength(copied)) << copied;
}
