// Rules with no window system: texts, file paths and names, the command line, the program a /Run names and
// where a link label draws.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "command_line.h"
#include "display_mode.h"
#include "link_label_geometry.h"
#include "program_line.h"
#include "text_rules.h"

using namespace kestrin;

namespace {
// What `f` gives for each input, joined by " | ".
template <class F>
std::string Each(F f, std::initializer_list<std::string> inputs, std::string all = "", const char* between = "") {
  for (const std::string& input : inputs) all += between + std::string(f(input)), between = " | ";
  return all;
}
// The path built, or "refused, " and what the output held before.
std::string Snapshot(const std::string& module, const std::string& computer, const std::string& user,
                     std::string path = "kept") {
  return BuildSnapshotPath(module, computer, user, &path) ? path : "refused, " + path;
}
std::string Options(const std::string& module) {
  std::string path = "kept";
  return BuildOptionsPath(module, &path) ? path : "refused, " + path;
}
}  // namespace

TEST(Texts, OptionValuesSaturateWithoutOverflowTheSaveTimeAndModeSizesAreDecimal) {
  EXPECT_EQ("0 | 7 | 12 | 0 | 2147483647 | -2147483648 | 2147483647 | -2147483648 | 1",
            Each([](const std::string& text) { return std::to_string(OptionValue(text.c_str())); },
                 {"", " 7x", "\t +12", "- 5", "2147483647", "-2147483648", std::string(100, '9'),
                  "-" + std::string(100, '7'), std::string(99, '0') + "1"}));
  EXPECT_EQ(0, OptionValue(nullptr));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9}));
  EXPECT_EQ("4294967295 x 0", ModeSizeText(UINT32_MAX, 0)) << "unsigned";
}

TEST(FilePaths, SnapshotBesideTheProgramOptionsAtTheLastDotNothingOf260Units) {
  EXPECT_EQ("C:\\Tools\\PC1_desktop_anna.sav", Snapshot("C:\\Tools\\x.exe", "PC1", "anna"));
  EXPECT_EQ("C:PC1_desktop_anna.sav", Snapshot("C:x.exe", "PC1", "anna"));
  EXPECT_EQ("refused, kept | refused, kept",
            Snapshot("C:\\x.exe", "", "anna") + " | " + Snapshot("C:\\x.exe", "PC1", ""));
  EXPECT_EQ("C:\\T\\PC1_desktop_a.tmp", SnapshotTempPath("C:\\T\\PC1_desktop_a.sav")) << "where a save writes first";
  // A directory name cut at its dot; without a dot, appended to the whole path.
  EXPECT_EQ("C:\\Tools\\x.tar.ini | C:\\Tools\\x.ini | C:\\My.ini",
            Each(Options, {"C:\\Tools\\x.tar.exe", "C:\\Tools\\x", "C:\\My.Tools\\x"}));
  // 259 UTF-16 units fit a 260-unit buffer with its terminator; 260 do not. Cyrillic "Zhe" is one unit in two
  // bytes, an emoji two in four.
  std::string deep = "d";  // 241 units in 481 bytes
  for (int i = 0; i < 80; ++i) deep += "\xD0\x96\xF0\x9F\x93\x81";
  EXPECT_EQ(deep + "\\PC1_desktop_u.sav", Snapshot(deep + "\\x.exe", "PC1", "u"));
  EXPECT_EQ("refused, kept", Snapshot(deep + "\\x.exe", "PC1", "uu"));
  EXPECT_EQ(deep + "\\abcdefghijklm.ini", Options(deep + "\\abcdefghijklm.exe"));
  EXPECT_EQ("refused, kept", Options(deep + "\\abcdefghijklmn.exe"));
}

TEST(SnapshotNames, OnlyComputerDesktopUserSavOrTmpWithoutRegardToCase) {
  for (const char* name : {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b_desktop_c.Sav",
                           "FIFTEEN-CHARSXX_desktop_u.sav", "PC1_desktop_anna_1280x1024.sav",
                           // a computer name of 15 characters in 28 bytes
                           "\xD0\x9F\xD0\x9A-\xD0\x98\xD0\x92\xD0\x90\xD0\x9D-"
                           "\xD0\x9F\xD0\x95\xD0\xA2\xD0\xA0\xD0\x9E\xD0\x92\xD0\x90_desktop_u.sav"}) {
    const std::string temp = SnapshotTempPath(name);  // a save's temporary file beside it
    EXPECT_TRUE(IsSnapshotFileName(name) && !IsSnapshotTempFileName(name)) << name;
    EXPECT_TRUE(IsSnapshotTempFileName(temp) && !IsSnapshotFileName(temp)) << temp;
  }
  for (const char* name : {"other.sav", "_desktop_anna.sav", "PC1_desktop_.sav", "PC1_desktop_anna.sav.tmp",
                           "PC1_desktopanna.sav", "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
  EXPECT_EQ("C:\\K\\PC1_desktop_anna_1280x1024.sav", ResolutionRecordPath("C:\\K\\PC1_desktop_anna.sav", 1280, 1024))
      << "a watcher's record per resolution, of the form above so that /Uninstall removes it too";
}

TEST(CommandLine, ModesPartsMistakesAndTheProgramRun) {
  const char* const modes[] = {"window", "uninstall", "save", "restore", "run", "watch", "bad"};
  auto parsed = [&](const std::string& line) {  // the mode and the parts asked for; a mistake must be told
    const CommandLine c = ParseCommandLine(line);
    if (c.mode == CommandMode::kBad) return std::string(c.error.empty() ? "bad, untold" : "bad");
    return modes[int(c.mode)] + std::string(c.icons ? " icons" : "") + (c.resolution ? " resolution" : "") +
           (c.gamma ? " gamma" : "") + (c.stop ? " stop" : "");
  };
  // /Restore alone: the parts as the options say. "": a batch file's missing %1.
  EXPECT_EQ("window | uninstall | save | restore | restore icons gamma | restore resolution | watch stop | watch",
            Each(parsed, {"Kestrin.exe notes.txt", "\"C:\\Program Files\\Kestrin.exe\" /uninstall", "Kestrin /SAVE",
                          "Kestrin /Restore", "Kestrin  /restore\t/ICONS /Gamma", "Kestrin /Restore /resolution",
                          "Kestrin /watch /STOP", "Kestrin /Watch"}));
  EXPECT_EQ("bad | bad | bad | bad | bad | bad | bad",
            Each(parsed, {"Kestrin /Restore /Icons /Colours", "Kestrin /Save /Icons", "Kestrin /Watch /Icons",
                          "Kestrin /Saved", "Kestrin /Run   ", "Kestrin /Restore \"\" /Icons", "Kestrin /Run \"\" x"}));
  const CommandLine run = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" /run  \"C:\\Games\\My Game.exe\" -w \"a b\"");
  EXPECT_EQ(CommandMode::kRun, run.mode);
  EXPECT_EQ("\"C:\\Games\\My Game.exe\" -w \"a b\"", run.program) << "the rest of the line as it was written";
  auto splits = [](const std::string& text, std::string all = "") {  // as CreateProcess tries them, shortest first
    for (const ProgramSplit& split : ProgramSplits(text)) all += split.program + "|" + split.arguments + "; ";
    return all;
  };
  EXPECT_EQ("C:\\My Games\\x.exe| -w; ", splits(" \"C:\\My Games\\x.exe\" -w"));
  EXPECT_EQ("C:\\Program| Files\\x.exe  -w; C:\\Program Files\\x.exe|  -w; C:\\Program Files\\x.exe  -w|; ",
            splits("C:\\Program Files\\x.exe  -w"));
  // Where it starts: a drive's root keeps its separator; with no folder named, the current one.
  EXPECT_EQ("D:\\Games\\X\\ | D:\\ |  | ",
            Each(ProgramFolder, {"D:\\Games\\X\\x.exe", "D:\\x.exe", "x.exe", "C:x.exe"}));
  EXPECT_TRUE(IsShortcutName("Game.LNK") && !IsShortcutName("lnk") && !IsShortcutName("game.lnk.exe"));
  EXPECT_EQ("\"C:\\My Games\\x.exe\" | \"\"", Each(QuotedArgument, {"C:\\My Games\\x.exe", ""}));
}

TEST(LinkLabelGeometry, FormatUnderlineAndTextDrawn) {
  EXPECT_EQ(0x10u, LinkLabelDrawFormat(0x50000100)) << "DT_WORDBREAK for child, visible, SS_NOTIFY";
  // Style (SS_CENTER 1, SS_RIGHT 2), client width, text width: the underline's from and to. Right wins over
  // centre; a centred start takes each half truncated.
  const int cases[][5] = {{0, 200, 350, 0, 350},    {2, 200, 57, 199, 142}, {2, 200, INT_MAX, 199, 0},
                          {3, 200, 57, 199, 142},   {1, 200, 57, 72, 129},  {1, 201, 58, 71, 129},
                          {1, 200, INT_MAX, 0, 200}};
  for (const auto& [style, right, w, from, to] : cases) {
    const UnderlineSpan span = LinkUnderlineSpan(LinkLabelDrawFormat(style), right, w);
    EXPECT_TRUE(span.from == from && span.to == to) << style << " " << right << " " << w << ": " << span.from;
  }
  // The text buffer holds 4095 characters and a terminator.
  EXPECT_TRUE(LinkTextDrawnLength(-1) == 0 && LinkTextDrawnLength(4094) == 4094 &&
              LinkTextDrawnLength(INT_MAX) == 4094);
}
