#include "text_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace kestrin;

TEST(OptionValue, DecimalTextSaturatingWithoutOverflow) {
  EXPECT_EQ(0, OptionValue("abc"));
  EXPECT_EQ(0, OptionValue(""));
  EXPECT_EQ(0, OptionValue(nullptr));
  EXPECT_EQ(2, OptionValue("2"));
  EXPECT_EQ(-1, OptionValue("-1"));
  EXPECT_EQ(7, OptionValue(" 7x"));
  EXPECT_EQ(12, OptionValue("\t +12"));
  EXPECT_EQ(0, OptionValue("- 5")) << "no digit right after the sign";
  EXPECT_EQ(0, OptionValue("-0"));
  EXPECT_EQ(INT_MAX, OptionValue("2147483647"));
  EXPECT_EQ(INT_MIN, OptionValue("-2147483648"));
  EXPECT_EQ(INT_MAX, OptionValue("2147483648")) << "saturates";
  // A hundred digits: saturated, and zero stays zero.
  EXPECT_EQ(INT_MAX, OptionValue(std::string(100, '9').c_str()));
  EXPECT_EQ(INT_MIN, OptionValue(("-" + std::string(100, '7')).c_str()));
  EXPECT_EQ(0, OptionValue(std::string(100, '0').c_str()));
  EXPECT_EQ(1, OptionValue((std::string(99, '0') + "1").c_str()));
}

TEST(FilePaths, SnapshotBesideTheProgram) {
  std::string path;
  ASSERT_TRUE(BuildSnapshotPath("C:\\Tools\\x.exe", "PC1", "anna", &path));
  EXPECT_EQ("C:\\Tools\\PC1_desktop_anna.sav", path);
  ASSERT_TRUE(BuildSnapshotPath("\\\\server\\share\\Kestrin.exe", "PC2", "bob", &path));
  EXPECT_EQ("\\\\server\\share\\PC2_desktop_bob.sav", path);
  ASSERT_TRUE(BuildSnapshotPath("C:\\My.Tools\\x", "PC1", "anna", &path));
  EXPECT_EQ("C:\\My.Tools\\PC1_desktop_anna.sav", path);
  ASSERT_TRUE(BuildSnapshotPath("C:x.exe", "PC1", "anna", &path));
  EXPECT_EQ("C:PC1_desktop_anna.sav", path);

  path = "kept";
  EXPECT_FALSE(BuildSnapshotPath("C:\\Tools\\x.exe", "", "anna", &path)) << "no computer name";
  EXPECT_FALSE(BuildSnapshotPath("C:\\Tools\\x.exe", "PC1", "", &path)) << "no user name";
  EXPECT_EQ("kept", path);
}

TEST(FilePaths, OptionsCutAtTheLastDotOfTheWholePath) {
  std::string path;
  ASSERT_TRUE(BuildOptionsPath("C:\\Tools\\x.exe", &path));
  EXPECT_EQ("C:\\Tools\\x.ini", path);
  ASSERT_TRUE(BuildOptionsPath("C:\\Tools\\x", &path));
  EXPECT_EQ("C:\\Tools\\x.ini", path) << "no dot: appended to the whole path";
  ASSERT_TRUE(BuildOptionsPath("C:\\My.Tools\\x", &path));
  EXPECT_EQ("C:\\My.ini", path) << "cut inside the directory name";
  ASSERT_TRUE(BuildOptionsPath("C:\\Tools\\x.tar.exe", &path));
  EXPECT_EQ("C:\\Tools\\x.tar.ini", path);
}

TEST(FilePaths, ResultsOf260CharactersOrMoreAreRefused) {
  // 259 characters fit a 260-character buffer with its terminator; 260 do not.
  const std::string dir = "C:\\" + std::string(230, 'd') + "\\";  // 234 characters
  const std::string suffix = "_desktop_u.sav";                     // 14 characters
  std::string path = "kept";
  const std::string computer259(259 - dir.size() - suffix.size(), 'C');
  ASSERT_TRUE(BuildSnapshotPath(dir + "x.exe", computer259, "u", &path));
  EXPECT_EQ(259u, path.size());
  path = "kept";
  EXPECT_FALSE(BuildSnapshotPath(dir + "x.exe", computer259 + "C", "u", &path));
  EXPECT_FALSE(BuildSnapshotPath(dir + "x.exe", "PC1", std::string(5000, 'u'), &path));
  EXPECT_EQ("kept", path);

  const std::string stem(255, 'p');
  ASSERT_TRUE(BuildOptionsPath(stem + ".exe", &path));
  EXPECT_EQ(259u, path.size());
  path = "kept";
  EXPECT_FALSE(BuildOptionsPath(stem + "p.exe", &path));
  EXPECT_FALSE(BuildOptionsPath(std::string(300, 'p'), &path));
  EXPECT_EQ("kept", path);
}

TEST(SaveTime, TwoDigitFieldsAndTheYearInFull) {
  EXPECT_EQ("00/00/0 - 00:00:00", SaveTimeText(CalendarTime{}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9}));
  EXPECT_EQ("31/12/99 - 23:59:59", SaveTimeText(CalendarTime{99, 12, 31, 23, 59, 59}));
}

TEST(SnapshotNames, OnlyComputerDesktopUserSavWithoutRegardToCase) {
  for (const char* name : {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b.Sav",
                           "PC1_desktop_a_desktop_b.sav", "FIFTEEN-CHARSXX_desktop_u.sav"})
    EXPECT_TRUE(IsSnapshotFileName(name)) << name;
  for (const char* name : {"notes.save", "data.savings", "other.sav", "engine_tests.ini", ".sav",
                           "_desktop_anna.sav", "PC1_desktop_.sav", "PC1_desktop_anna.sav.tmp",
                           "PC1_desktop_anna.tmp", "PC1_desktop_anna.sav~", "PC1_desktopanna.sav",
                           "SIXTEEN-CHARSXXX_desktop_u.sav", "desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}
