#include "text_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>

#include "display_mode.h"

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
  const std::pair<std::string, int> cases[] = {{"abc", 0},
                                               {"", 0},
                                               {"-1", -1},
                                               {" 7x", 7},
                                               {"\t +12", 12},
                                               {"- 5", 0},
                                               {"2147483647", INT_MAX},
                                               {"-2147483648", INT_MIN},
                                               {"2147483648", INT_MAX},
                                               {std::string(100, '9'), INT_MAX},
                                               {"-" + std::string(100, '7'), INT_MIN},
                                               {std::string(100, '0'), 0},
                                               {std::string(99, '0') + "1", 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(value, OptionValue(text.c_str())) << text;
  EXPECT_EQ(0, OptionValue(nullptr));
}

TEST(FilePaths, SnapshotBesideTheProgramOptionsAtTheLastDotNothingOf260Characters) {
  EXPECT_EQ("C:\\Tools\\PC1_desktop_anna.sav", Snapshot("C:\\Tools\\x.exe", "PC1", "anna"));
  EXPECT_EQ("C:\\My.Tools\\PC1_desktop_anna.sav", Snapshot("C:\\My.Tools\\x", "PC1", "anna"));
  EXPECT_EQ("C:PC1_desktop_anna.sav", Snapshot("C:x.exe", "PC1", "anna"));
  EXPECT_EQ("refused, kept", Snapshot("C:\\Tools\\x.exe", "", "anna")) << "no computer name";
  EXPECT_EQ("refused, kept", Snapshot("C:\\Tools\\x.exe", "PC1", "")) << "no user name";
  EXPECT_EQ("C:\\T\\PC1_desktop_a.tmp", SnapshotTempPath("C:\\T\\PC1_desktop_a.sav")) << "where a save writes first";
  EXPECT_EQ("C:\\Tools\\x.tar.ini", Options("C:\\Tools\\x.tar.exe"));
  EXPECT_EQ("C:\\Tools\\x.ini", Options("C:\\Tools\\x")) << "no dot: appended to the whole path";
  EXPECT_EQ("C:\\My.ini", Options("C:\\My.Tools\\x")) << "cut inside the directory name";
  // 259 characters fit a 260-character buffer with its terminator; 260 do not.
  const std::string exe = "C:\\" + std::string(230, 'd') + "\\x.exe";  // directory of 234 characters
  const std::string computer(259 - 234 - 14, 'C');                     // "_desktop_u.sav" is 14
  EXPECT_EQ(259u, Snapshot(exe, computer, "u").size());
  EXPECT_EQ("refused, kept", Snapshot(exe, computer + "C", "u"));
  EXPECT_EQ("refused, kept", Snapshot(exe, "PC1", std::string(5000, 'u')));
  EXPECT_EQ(259u, Options(std::string(255, 'p') + ".exe").size());
  EXPECT_EQ("refused, kept", Options(std::string(256, 'p') + ".exe"));
}

TEST(SaveTime, TwoDigitFieldsAndTheYearInFull) {
  EXPECT_EQ("00/00/0 - 00:00:00", SaveTimeText(CalendarTime{}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9}));
}

TEST(SnapshotNames, OnlyComputerDesktopUserSavWithoutRegardToCase) {
  for (const char* name : {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b.Sav",
                           "PC1_desktop_a_desktop_b.sav", "FIFTEEN-CHARSXX_desktop_u.sav"})
    EXPECT_TRUE(IsSnapshotFileName(name)) << name;
  for (const char* name : {"notes.save", "data.savings", "other.sav", ".sav", "_desktop_anna.sav", "PC1_desktop_.sav",
                           "PC1_desktop_anna.sav.tmp", "PC1_desktopanna.sav", "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}

TEST(DisplayModeRules, FlagsFieldsMessagesAndPanelTexts) {
  EXPECT_EQ(0u, ModeApplyFlags(true, true)) << "temporary: all users does not matter";
  EXPECT_EQ(1u, ModeApplyFlags(false, false)) << "CDS_UPDATEREGISTRY";
  EXPECT_EQ(9u, ModeApplyFlags(false, true)) << "and CDS_GLOBAL";
  // DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY
  EXPECT_EQ(0x7C0020u, MODE_APPLY_FIELDS);
  EXPECT_EQ("", ModeApplyMessage(0));
  EXPECT_EQ("Unable to apply : The computer must be restarted in order for the graphics mode to work.",
            ModeApplyMessage(1));
  EXPECT_EQ("Unable to apply : Unable to write settings to the registry.", ModeApplyMessage(-3));
  for (int32_t other : {-1, -2, 2, INT32_MIN}) EXPECT_EQ("Unable to apply.", ModeApplyMessage(other)) << other;
  EXPECT_EQ("1280 x 1024", ModeSizeText(1280, 1024));
  EXPECT_EQ("4294967295 x 0", ModeSizeText(UINT32_MAX, 0)) << "unsigned decimal";
  EXPECT_EQ("4294967295", ModeNumberText(UINT32_MAX));
}
