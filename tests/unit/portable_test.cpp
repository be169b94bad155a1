// The portable code with no window system, against bytes built here by hand and a desktop simulated here.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "gamma_math.h"
#include "icon_layout.h"
#include "icon_names.h"
#include "link_label_geometry.h"
#include "program_line.h"
#include "snapshot_format.h"
#include "text_rules.h"
#include "watch_rules.h"

using namespace kestrin;

namespace {
using Bytes = std::vector<uint8_t>;
void PutLE(Bytes& b, uint64_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// An icon layout blob: u32 length | u32 count | per label i32 x = 10 i, i32 y = -20 i, char[260].
Bytes HandBlob(uint32_t length, uint32_t count, std::vector<std::string> labels = {}) {
  Bytes b;
  PutLE(b, length), PutLE(b, count);
  for (size_t i = 0; i < labels.size(); ++i)
    PutLE(b, 10 * i), PutLE(b, uint32_t(-20 * int(i))), labels[i].resize(260),
        b.insert(b.end(), labels[i].begin(), labels[i].end());
  return Bytes(b);  // a copy without spare capacity: a read past the end trips the address sanitizer
}
// The writer's names block for `blob`, its entries followed by `extra` zero bytes inside the block.
Bytes NamesFor(const Bytes& blob, const std::vector<std::u16string>& names, size_t extra = 0) {
  Bytes block(MaxIconNamesSize(names.size()) + extra);
  size_t at = 16;
  for (const std::u16string& name : names) at += WriteIconName(block.data() + at, name.data(), name.size());
  block.resize(FinishIconNames(block.data(), at + extra, uint32_t(names.size()), blob.data(), uint32_t(blob.size())));
  return block;
}
// An accented name, none, and one cut to the longest (259 units) as it is written.
const std::vector<std::u16string> kNameList = {u"R\u00E9sum\u00E9", u"", std::u16string(262, u'\u0416')};
const Bytes kBlob = HandBlob(8 + 268 * 3, 3, {"a", "b", "c"}), kNames = NamesFor(kBlob, kNameList);
// A display record: dmSize (offset 36) 156 and dmDriverExtra (38) 0 among bytes that are neither.
Bytes HandRecord() {
  Bytes r(156, 0xA5);
  return r[36] = 156, r[37] = r[38] = r[39] = 0, r;
}
const double kGamma[3] = {1.3, 1.6, 2.2};  // stored as the little-endian doubles they are on this host
const Bytes kTriple(reinterpret_cast<const uint8_t*>(kGamma), reinterpret_cast<const uint8_t*>(kGamma + 3));
// Record | blob | kTriple | names | ramp.
Bytes HandFile(Bytes f, const Bytes& blob, const Bytes& names = {}, const Bytes& ramp = {}) {
  for (const Bytes* part : {&blob, &kTriple, &names, &ramp}) f.insert(f.end(), part->begin(), part->end());
  return f;
}
// A ramp whose entries all differ, and its block: "KRP1" | 1552 | 0 | CRC-32 of kTriple then the entries | entries.
GammaRamp kRamp;
const Bytes kRampBlock = [] {
  Bytes b = {'K', 'R', 'P', '1'}, covered = kTriple;
  for (size_t i = 0; i < kRamp.size(); ++i) PutLE(covered, kRamp[i] = uint16_t(0x1234 + 97 * i), 2);
  PutLE(b, 1552), PutLE(b, 0), PutLE(b, Crc32(covered.data(), covered.size()));
  b.insert(b.end(), covered.begin() + 24, covered.end());
  return b;
}();
// What decoding `size` bytes of `f`, `bit` flipped at `at`, gave: the gamma, names and ramp taken, or the error.
std::string Decoded(Bytes f, size_t size, size_t at = 0, uint8_t bit = 0) {
  DecodedSnapshot out;
  f.resize(size), f.shrink_to_fit(), f[at] ^= bit, out.iconsLength = 77;  // exactly `size` bytes: a read past is caught
  if (const SnapshotError error = DecodeSnapshot(f.data(), size, &out); error != SnapshotError::kNone)
    return "error " + std::to_string(int(error)) + (out.icons || out.iconsLength != 77 ? ", output changed" : "");
  std::ostringstream text;
  text << out.gamma.red << " " << out.gamma.green << " " << out.gamma.blue;
  if (out.names) text << (Bytes(out.names.get(), out.names.get() + out.namesLength) == kNames ? ", names" : ", other");
  if (out.hasRamp) text << (out.ramp == kRamp ? ", ramp" : ", other ramp");
  return text.str();
}
// What `f` gives for each input, joined by " | ".
template <class F>
std::string Each(F f, std::initializer_list<std::string> inputs, std::string all = "", const char* between = "") {
  for (const std::string& input : inputs) all += between + std::string(f(input)), between = " | ";
  return all;
}
}  // namespace

TEST(SnapshotFormat, TheBlobIsReadInsideItsLengthAndTheFileGivesItsOwnNamesAndRampWhereWhole) {
  // The blob as the agent reads it from a buffer: only what lies inside both its length word and the data.
  const Bytes two = HandBlob(544, 2, {"Recycle Bin", std::string(260, 'Z')});  // the second label unterminated
  EXPECT_TRUE(UsableLengthAt(two.data(), 544) == 544 && UsableLengthAt(two.data(), 543) == 0) << "inside the data";
  EXPECT_EQ(1u, UsableRecordCount(two.data(), 543)) << "last record cut short";
  EXPECT_EQ(std::string(259, 'Z'), ReadIconRecord(two.data(), 1).label) << "an unterminated label cut to 259";
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9)) << "the IEEE CRC-32";
  Bytes head = {'K', 'U', 'N', '1'};
  PutLE(head, kNames.size()), PutLE(head, 3), PutLE(head, LoadU32(&kNames[12])), PutLE(head, 6, 2), PutLE(head, 'R', 2);
  EXPECT_EQ(head, Bytes(kNames.begin(), kNames.begin() + 20)) << "magic, length, count, crc, then units in UTF-16LE";
  const Bytes extra = NamesFor(kBlob, kNameList, 2);
  EXPECT_FALSE(IconNamesMatch(extra.data(), extra.size(), kBlob.data(), uint32_t(kBlob.size()))) << "2 zero bytes";
  Bytes file;
  ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), kBlob.data(), uint32_t(kBlob.size()), {1.3, 1.6, 2.2}, &file,
                             kNames.data(), uint32_t(kNames.size()), &kRamp));
  EXPECT_EQ(HandFile(HandRecord(), kBlob, kNames, kRampBlock), file);
  // Cut anywhere after the blob, what is whole is taken. Damaged names are lost (the ramp too where their magic or
  // length no longer lead to it); a damaged ramp is lost.
  const size_t tripleAt = 156 + kBlob.size(), namesAt = tripleAt + 24, rampAt = file.size() - kRampBlock.size();
  for (size_t at = tripleAt, held = 0; at <= file.size(); held = ++at - tripleAt) {
    EXPECT_EQ(std::string(held >= 8 ? "1.3 " : "1 ") + (held >= 16 ? "1.6 " : "1 ") + (held >= 24 ? "2.2" : "1") +
                  (at >= rampAt ? ", names" : "") + (at == file.size() ? ", ramp" : ""),
              Decoded(file, at))
        << "cut to " << held << " bytes after the blob";
    if (at < namesAt || at == file.size()) continue;  // then a bit of each byte of the blocks flipped
    const char* whole = at >= rampAt ? ", names" : at < namesAt + 8 ? "" : ", ramp";
    EXPECT_EQ(std::string("1.3 1.6 2.2") + whole, Decoded(file, file.size(), at, 1 << at % 8)) << "byte " << at;
  }
  EXPECT_EQ("1.3 1.6 2.2, names", Decoded(file, file.size(), tripleAt, 0x80)) << "the triple changed after the block";
  // Refused, by reason: dmDriverExtra 1, count 1 for two records, the blob cut.
  EXPECT_EQ("error 2 | error 3 | error 4", Decoded(HandFile(HandRecord(), HandBlob(8, 0)), 188, 38, 1) + " | " +
                                               Decoded(HandFile(HandRecord(), HandBlob(544, 1, {"A", "B"})), 724) +
                                               " | " + Decoded(file, tripleAt - 1));
}

TEST(TextRules, OptionValuesSaturatePathsFitIn260UnitsBesideTheProgramAndOnlyTheSnapshotsOwnNamesMatch) {
  EXPECT_EQ("0 | 7 | 12 | 0 | 2147483647 | -2147483648",
            Each([](const std::string& text) { return std::to_string(OptionValue(text.c_str())); },
                 {"", " 7x", "\t +12", "- 5", std::string(100, '9'), "-" + std::string(100, '7')}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9})) << "day first, zero-padded";
  // The snapshot path (given a user) or the options path, or "refused, " and what the output held before.
  auto path = [](const std::string& module, const char* user = nullptr) {
    std::string out = "kept";
    const bool built = user ? BuildSnapshotPath(module, "PC1", user, &out) : BuildOptionsPath(module, &out);
    return built ? out : "refused, " + out;
  };
  // 259 UTF-16 units fit with a terminator, 260 do not; Cyrillic "Zhe" is one unit in two bytes, an emoji two in four.
  std::string deep = "d";  // 241 units in 481 bytes
  for (int i = 0; i < 80; ++i) deep += "\xD0\x96\xF0\x9F\x93\x81";
  EXPECT_EQ(deep + "\\PC1_desktop_u.sav | refused, kept | " + deep + "\\abcdefghijklm.ini | refused, kept",
            path(deep + "\\x.exe", "u") + " | " + path(deep + "\\x.exe", "uu") + " | " +
                path(deep + "\\abcdefghijklm.exe") + " | " + path(deep + "\\abcdefghijklmn.exe"));
  // What /Uninstall removes: a snapshot, a watcher's record for a resolution and a save's temporary file beside each;
  // a computer name has 15 characters at most (the last: 15 in 28 bytes), a user's may hold "_desktop_".
  for (const char* name : {"pc2_DESKTOP_bob.SAV", "A_desktop_b_desktop_c.Sav", "FIFTEEN-CHARSXX_desktop_u.sav",
                           "\xD0\x9F\xD0\x9A-\xD0\x98\xD0\x92\xD0\x90\xD0\x9D-"
                           "\xD0\x9F\xD0\x95\xD0\xA2\xD0\xA0\xD0\x9E\xD0\x92\xD0\x90_desktop_u.sav"})
    EXPECT_TRUE(IsSnapshotFileName(name) && IsSnapshotFileName(ResolutionRecordPath(name, 1280, 1024)) &&
                IsSnapshotTempFileName(SnapshotTempPath(name)))
        << name;
  for (const char* name : {"other.sav", "_desktop_anna.sav", "PC1_desktop_.sav", "PC1_desktopanna.sav",
                           "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}

TEST(CommandLine, ModesPartsMistakesAndTheProgramRunReadAsTheSystemTriesIt) {
  const char* const modes[] = {"window", "uninstall", "save", "restore", "run", "watch", "bad"};
  auto parsed = [&](const std::string& arguments) {  // the mode and parts asked for, each reading of the program
    const CommandLine c = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" " + arguments);
    if (c.mode == CommandMode::kBad) return std::string(c.error.empty() ? "bad, untold" : "bad");  // a mistake is told
    std::string text = modes[int(c.mode)] + std::string(c.icons ? " icons" : "") + (c.resolution ? " resolution" : "") +
                       (c.gamma ? " gamma" : "");
    for (const ProgramSplit& split : ProgramSplits(c.program))
      text += " " + split.program + "|" + split.arguments + ";";
    return text;
  };
  EXPECT_EQ(
      "window | restore icons gamma | restore resolution | run C:\\Games\\My Game.exe| -w \"a b\"; | run C:\\Program| "
      "Files\\x.exe  -w; C:\\Program Files\\x.exe|  -w; C:\\Program Files\\x.exe  -w|; | bad | bad | bad | bad | bad",
      Each(parsed, {"notes.txt", " /restore\t/ICONS /Gamma", "/Restore /resolution",
                    "/run  \"C:\\Games\\My Game.exe\" -w \"a b\"", "/Run C:\\Program Files\\x.exe  -w",
                    "/Restore /Icons /Colours", "/Save /Icons", "/Saved", "/Run   ", "/Run \"\" x"}));
  // Where it starts: a drive's root keeps its separator; with no folder named, the current one.
  EXPECT_EQ("D:\\Games\\X\\ | D:\\ |  | ",
            Each(ProgramFolder, {"D:\\Games\\X\\x.exe", "D:\\x.exe", "x.exe", "C:x.exe"}));
}

TEST(LinkLabelGeometry, UnderlineAndTextDrawn) {
  // Style (SS_CENTER 1, SS_RIGHT 2 winning), client width, text width: the underline's from and to; halves truncated.
  const int cases[][5] = {{2, 200, 57, 199, 142}, {2, 200, INT_MAX, 199, 0}, {3, 200, 57, 199, 142},
                          {1, 200, 57, 72, 129},  {1, 201, 58, 71, 129},     {1, 200, INT_MAX, 0, 200}};
  for (const auto& [style, right, w, from, to] : cases) {
    const UnderlineSpan span = LinkUnderlineSpan(LinkLabelDrawFormat(0x50000100 | style), right, w);
    EXPECT_TRUE(span.from == from && span.to == to) << style << " " << right << " " << w << ": " << span.from;
  }
  EXPECT_TRUE(LinkTextDrawnLength(-1) == 0 && LinkTextDrawnLength(INT_MAX) == 4094) << "4094 and a terminator at most";
}

TEST(Gamma, OneDecimalExponentsReadBackInTheirOwnChannelAndDamagedOnesStayInRange) {
  auto built = [](double red, double green, double blue, GammaRamp ramp = {}) {
    return BuildGammaRamp(red, green, blue, ramp), ramp;
  };
  for (uint16_t entry : built(0.0, -3.0, -HUGE_VAL)) ASSERT_EQ(65535, entry) << "exponent 0 or below";
  EXPECT_EQ(built(1.0, 1.0, 1.0), built(NAN, -NAN, NAN)) << "NaN: linear, the exponent of \"unknown\"";
  for (int k = 1; k <= 59; ++k) {
    const int tenths[] = {k, 60 - k, (k * 7) % 59 + 1};  // a channel mix-up shows
    const GammaRamp mixed = built(tenths[0] / 10.0, tenths[1] / 10.0, tenths[2] / 10.0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(tenths[c] / 10.0, EstimateGammaExponent(mixed.data(), c)) << c << " " << k;
  }
  // Another program's ramp: green's input 0 gives a term of 0 that counts beside 4 from 4096/65536 at 128/256.
  GammaRamp sparse{};
  sparse[256] = 1000, sparse[256 + 128] = 4096;
  EXPECT_EQ(2.0, EstimateGammaExponent(sparse.data(), 1)) << "2 * 1.025 = 2.05, printed as 2.0; skipped, 4.1";
}

// The watcher's day: the rules woken when they ask and obeyed, each action logged with its time: none came sooner.
TEST(WatchRules, ADayOfMovesModeChangesShellRestartsAndReturns) {
  static constexpr Resolution kWide{1920, 1080}, kSmall{800, 600}, kOdd{1024, 768};
  struct Desk {
    std::string Until(int64_t at) { return RunTo(at), std::exchange(log, ""); }  // what was done by then
    void RunTo(int64_t at, int64_t late = 0) {  // each wake `late`, as a busy machine's timer fires
      while (rules.NextWakeMs() + late <= at) Do(rules.Wake(now = std::max(now, rules.NextWakeMs() + late)));
      now = at;
    }
    void Move(int64_t at, uint32_t to) { RunTo(at), layout = to; }
    // The screen changes, or the shell restarts (its list view named by the time), and the icons are scrambled.
    void Display(int64_t at, Resolution to) { RunTo(at), screen = to, layout += 0x100, rules.DisplayChanged(now, to); }
    void ShellRestart(int64_t at) { RunTo(at), listView = at, layout += 0x100, Do(rules.ShellRestarted(now)); }
    void Do(const WatchActions& a) {
      const std::string width = " " + std::to_string(a.resolution.width);
      Note(a.reconnect, "reconnect"), Note(a.notificationIcon, "notification icon");
      Note(a.restoreIcons, "icons" + width), Note(a.restoreRamp, "ramp" + width);
      if (a.restoreIcons) layout = restoreWorks ? files.at(a.resolution) : layout, rules.Restored(now, restoreWorks);
      if (a.look) Do(rules.Looked(now, DesktopSight{screen, uint64_t(listView), captured, layout}));
      if (a.record) files[a.resolution] = layout, rules.Recorded(a.resolution, layout);
      Note(a.record, "record" + width + " " + std::to_string(layout));
    }
    void Note(bool done, const std::string& what) { log += done ? std::to_string(now) + " " + what + "; " : ""; }

    std::map<Resolution, uint32_t> files = {{kWide, 1}};  // the records on disk: each resolution's layout
    WatchRules rules{0, {kWide}};
    int64_t now = 0, listView = 7;
    Resolution screen = kWide;
    uint32_t layout = 1;
    bool captured = true, restoreWorks = true;
    std::string log;
  } desk;
  // Recorded once it stood 5 s from the look that first saw it, if changed; a record from before the start is unknown.
  desk.Move(7000, 2), desk.RunTo(9000, 1000), desk.RunTo(11000), desk.RunTo(14000, 1000);  // 2 first seen at 9000
  for (uint32_t layout = 3; layout <= 7; ++layout) desk.Move(30000 + 3000 * (layout - 2), layout);  // arranging
  desk.Move(52000, 8), desk.RunTo(56000), desk.captured = false, desk.RunTo(60000), desk.captured = true;
  EXPECT_EQ("6000 record 1920 1; 14000 record 1920 2; 52000 record 1920 7; 68000 record 1920 8; ", desk.Until(68000))
      << "after a failed capture at 58000 the 5 s start again";

  // Each resolution gets its own record back after the settle pause; nothing is recorded soon after.
  desk.Move(68000, 7), desk.Display(76500, kSmall);
  EXPECT_EQ("76000 record 1920 7; 88000 record 800 263; ", desk.Until(96000))
      << "back to an earlier layout is a change too; no record to put back at 800: nothing until 86500";
  desk.Move(96000, 600), desk.Display(106500, kWide), desk.Move(109000, 9);
  EXPECT_EQ("104000 record 800 600; 108500 icons 1920; 108500 ramp 1920; 120000 record 1920 9; ", desk.Until(126500))
      << "9 stood 6 s at 116000: too soon after the restore";
  desk.RunTo(126500), desk.screen = kSmall, desk.layout += 0x100;  // a broadcast missed: the look at 128000 sees it
  for (int i = 0; i < 10; ++i) desk.Display(146500 + 1000 * i, i % 2 ? kWide : kSmall);  // a game flipping modes
  EXPECT_EQ("130000 icons 800; 130000 ramp 800; 156500 icons 1920; 156500 ramp 1920; ", desk.Until(186000))
      << "one restore, the last 10 s after the first change";

  // A shell restart gets its icons back, a resume its ramp only; icons a restore failed to place are not the user's.
  desk.ShellRestart(186500), desk.RunTo(206500), desk.listView = 0, desk.captured = false;  // then the shell is gone
  desk.RunTo(209500), desk.listView = 209500, desk.layout += 0x100, desk.captured = true;  // unannounced, as under Wine
  desk.restoreWorks = false, desk.RunTo(226000), desk.Do(desk.rules.Resumed());
  desk.Move(256000, 77), desk.Display(266000, kOdd), desk.Do(desk.rules.Resumed());
  EXPECT_EQ(
      "186500 reconnect; 186500 notification icon; 188500 icons 1920; 210000 reconnect; "
      "210000 notification icon; 212000 icons 1920; 226000 ramp 1920; 264000 record 1920 77; ",
      desk.Until(266000))
      << "neither the new list view at 188000 nor none at 208000 is a restart; no ramp at 1024 without a record";
  desk.Display(270500, kWide), desk.Move(274000, 78);
  EXPECT_EQ("272500 icons 1920; 272500 ramp 1920; 284000 record 1920 78; ", desk.Until(290000))
      << "a move soon after a failed restore is recorded only once the quiet 10 s after it are over";
}
