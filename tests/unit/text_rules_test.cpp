#include "text_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

using namespace kestrin;

TEST(OptionValue, DecimalTextSaturatingWithoutOverflow) {
  const std::pair<std::string, int> cases[] = {
      {"abc", 0}, {"", 0}, {"-1", -1}, {" 7x", 7}, {"\t +12", 12}, {"- 5", 0}, {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN}, {"2147483648", INT_MAX}, {std::string(100, '9'), INT_MAX},
      {"-" + std::string(100, '7'), INT_MIN}, {std::string(100, '0'), 0}, {std::string(99, '0') + "1", 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(value, OptionValue(text.c_str())) << text;
  EXPECT_EQ(0, OptionValue(nullptr));
}

TEST(FilePaths, SnapshotBesideTheProgramOptionsAtTheLastDot) {
  std::string path;
  for (const auto& [module, expected] : std::initializer_list<std::pair<std::string, std::string>>{
           {"C:\\Tools\\x.exe", "C:\\Tools\\PC1_desktop_anna.sav"},
           {"\\\\server\\share\\Kestrin.exe", "\\\\server\\share\\PC1_desktop_anna.sav"},
           {"C:\\My.Tools\\x", "C:\\My.Tools\\PC1_desktop_anna.sav"},
           {"C:x.exe", "C:PC1_desktop_anna.sav"}}) {
    ASSERT_TRUE(BuildSnapshotPath(module, "PC1", "anna", &path)) << module;
    EXPECT_EQ(expected, path);
  }
  for (const auto& [module, expected] : std::initializer_list<std::pair<std::string, std::string>>{
           {"C:\\Tools\\x.tar.exe", "C:\\Tools\\x.tar.ini"},
           {"C:\\Tools\\x", "C:\\Tools\\x.ini"},
           {"C:\\My.Tools\\x", "C:\\My.ini"}}) {
    ASSERT_TRUE(BuildOptionsPath(module, &path)) << module;
    EXPECT_EQ(expected, path);
  }
}

TEST(FilePaths, EmptyNamesAndResultsOf260CharactersOrMoreAreRefused) {
  // 259 characters fit a 260-character buffer with its terminator; 260 do not.
  const std::string exe = "C:\\" + std::string(230, 'd') + "\\x.exe";  // directory of 234 characters
  const std::string computer(259 - 234 - 14, 'C');                     // "_desktop_u.sav" is 14
  std::string path;
  ASSERT_TRUE(BuildSnapshotPath(exe, computer, "u", &path));
  EXPECT_EQ(259u, path.size());
  ASSERT_TRUE(BuildOptionsPath(std::string(255, 'p') + ".exe", &path));
  EXPECT_EQ(259u, path.size());
  path = "kept";
  EXPECT_FALSE(BuildSnapshotPath(exe, computer + "C", "u", &path));
  EXPECT_FALSE(BuildSnapshotPath(exe, "PC1", std::string(5000, 'u'), &path));
  EXPECT_FALSE(BuildSnapshotPath(exe, "", "anna", &path)) << "no computer name";
  EXPECT_FALSE(BuildSnapshotPath(exe, "PC1", "", &path)) << "no user name";
  EXPECT_FALSE(BuildOptionsPath(std::string(256, 'p') + ".exe", &path));
  EXPECT_FALSE(BuildOptionsPath(std::string(300, 'p'), &path));
  EXPECT_EQ("kept", path);
}

TEST(SaveTime, TwoDigitFieldsAndTheYearInFull) {
  EXPECT_EQ("00/00/0 - 00:00:00", SaveTimeText(CalendarTime{}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9}));
}

TEST(SnapshotNames, OnlyComputerDesktopUserSavWithoutRegardToCase) {
  for (const char* name : {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b.Sav",
                           "PC1_desktop_a_desktop_b.sav", "FIFTEEN-CHARSXX_desktop_u.sav"})
    EXPECT_TRUE(IsSnapshotFileName(name)) << name;
  for (const char* name : {"notes.save", "data.savings", "other.sav", ".sav", "_desktop_anna.sav",
                           "PC1_desktop_.sav", "PC1_desktop_anna.sav.tmp", "PC1_desktopanna.sav",
                           "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}
