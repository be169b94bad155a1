// The portable code with no window system: the icon layout blob, its names block and the snapshot file against bytes
// built here by hand; texts, paths, the command line, a link label's underline, gamma ramps and the watcher's day.
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
  EXPECT_TRUE(IsUsableLength(0xFFFFFFF5u, SIZE_MAX) && !IsUsableLength(0xFFFFFFF6u, SIZE_MAX) && !IsUsableLength(7, 8));
  EXPECT_EQ(1u, UsableRecordCount(two.data(), 543)) << "last record cut short";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(276, uint32_t(-1), {"a"}).data(), 276)) << "negative count";
  EXPECT_EQ(std::string(259, 'Z'), ReadIconRecord(two.data(), 1).label) << "an unterminated label cut to 259";
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9)) << "the IEEE CRC-32";
  Bytes head = {'K', 'U', 'N', '1'};
  PutLE(head, kNames.size()), PutLE(head, 3), PutLE(head, LoadU32(&kNames[12])), PutLE(head, 6, 2), PutLE(head, 'R', 2);
  EXPECT_EQ(head, Bytes(kNames.begin(), kNames.begin() + 20)) << "magic, length, count, crc, then units in UTF-16LE";
  const Bytes extra = NamesFor(kBlob, kNameList, 2);
  EXPECT_FALSE(IconNamesMatch(extra.data(), extra.size(), kBlob.data(), uint32_t(kBlob.size()))) << "2 zero bytes";
  Bytes file, other = HandBlob(8 + 268 * 3, 3, {"a", "b", "d"});
  for (int i = 0; i < 4; ++i) {  // another blob's names are not written; no ramp: as earlier versions wrote
    const bool named = i & 1, ramp = i & 2;
    const Bytes& blob = named ? kBlob : other;
    ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), blob.data(), uint32_t(blob.size()), {1.3, 1.6, 2.2}, &file,
                               kNames.data(), uint32_t(kNames.size()), ramp ? &kRamp : nullptr));
    EXPECT_EQ(HandFile(HandRecord(), blob, named ? kNames : Bytes(), ramp ? kRampBlock : Bytes()), file);
    EXPECT_TRUE(i != 2 || Decoded(file, file.size()) == "1.3 1.6 2.2, ramp") << "the ramp straight after the triple";
  }
  // The last file holds the names and the ramp: cut anywhere after the blob, what is whole is taken. Damaged names are
  // lost (the ramp too where their magic or length no longer lead to it); a damaged ramp is lost.
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
  EXPECT_EQ("1.3 1.6 2.2, names, ramp", Decoded(file, file.size() + 1)) << "bytes after it are not the block's";
  EXPECT_EQ("1.3 1.6 2.2, names", Decoded(file, file.size(), tripleAt, 0x80)) << "the triple changed after the block";
  // Refused, by reason: the file ends inside the record, dmDriverExtra 1, count 1 for two records, the blob cut.
  EXPECT_EQ("error 1 | error 2 | error 3 | error 4",
            Decoded(HandRecord(), 155) + " | " + Decoded(HandFile(HandRecord(), HandBlob(8, 0)), 188, 38, 1) + " | " +
                Decoded(HandFile(HandRecord(), HandBlob(544, 1, {"A", "B"})), 724) + " | " +
                Decoded(file, tripleAt - 1));
}

TEST(TextRules, OptionValuesSaturatePathsFitIn260UnitsBesideTheProgramAndOnlyTheSnapshotsOwnNamesMatch) {
  EXPECT_EQ("0 | 7 | 12 | 0 | 2147483647 | -2147483648",
            Each([](const std::string& text) { return std::to_string(OptionValue(text.c_str())); },
                 {"", " 7x", "\t +12", "- 5", std::string(100, '9'), "-" + std::string(100, '7')}));
  EXPECT_EQ("05/03/2005 - 21:07:09", SaveTimeText(CalendarTime{2005, 3, 5, 21, 7, 9})) << "day first, zero-padded";
  // The snapshot path (given a user) or the options path, or "refused, " and what the output held before.
  auto path = [](const std::string& module, const char* user = nullptr, const char* computer = "PC1") {
    std::string out = "kept";
    const bool built = user ? BuildSnapshotPath(module, computer, user, &out) : BuildOptionsPath(module, &out);
    return built ? out : "refused, " + out;
  };
  EXPECT_EQ("C:\\Tools\\PC1_desktop_anna.sav | refused, kept | refused, kept",
            path("C:\\Tools\\x.exe", "anna") + " | " + path("C:\\x.exe", "anna", "") + " | " + path("C:\\x.exe", ""));
  // A directory name cut at its dot; without a dot, appended to the whole path.
  EXPECT_EQ("C:\\Tools\\x.tar.ini | C:\\Tools\\x.ini | C:\\My.ini",
            Each(path, {"C:\\Tools\\x.tar.exe", "C:\\Tools\\x", "C:\\My.Tools\\x"}));
  // 259 UTF-16 units fit with a terminator, 260 do not; Cyrillic "Zhe" is one unit in two bytes, an emoji two in four.
  std::string deep = "d";  // 241 units in 481 bytes
  for (int i = 0; i < 80; ++i) deep += "\xD0\x96\xF0\x9F\x93\x81";
  EXPECT_EQ(deep + "\\PC1_desktop_u.sav | refused, kept | " + deep + "\\abcdefghijklm.ini | refused, kept",
            path(deep + "\\x.exe", "u") + " | " + path(deep + "\\x.exe", "uu") + " | " +
                path(deep + "\\abcdefghijklm.exe") + " | " + path(deep + "\\abcdefghijklmn.exe"));
  // What /Uninstall removes: a snapshot, a watcher's record for a resolution and a save's temporary file beside each.
  for (const char* name :
       {"PC1_desktop_anna.sav", "pc2_DESKTOP_bob.SAV", "A_desktop_b_desktop_c.Sav", "FIFTEEN-CHARSXX_desktop_u.sav",
        // a computer name of 15 characters in 28 bytes
        "\xD0\x9F\xD0\x9A-\xD0\x98\xD0\x92\xD0\x90\xD0\x9D-"
        "\xD0\x9F\xD0\x95\xD0\xA2\xD0\xA0\xD0\x9E\xD0\x92\xD0\x90_desktop_u.sav"}) {
    const std::string record = ResolutionRecordPath(name, 1280, 1024), temp = SnapshotTempPath(name);
    EXPECT_TRUE(IsSnapshotFileName(name) && IsSnapshotFileName(record) && !IsSnapshotTempFileName(name)) << record;
    EXPECT_TRUE(IsSnapshotTempFileName(temp) && !IsSnapshotFileName(temp)) << temp;
  }
  for (const char* name : {"other.sav", "_desktop_anna.sav", "PC1_desktop_.sav", "PC1_desktop_anna.sav.tmp",
                           "PC1_desktopanna.sav", "SIXTEEN-CHARSXXX_desktop_u.sav", ""})
    EXPECT_FALSE(IsSnapshotFileName(name)) << name;
}

TEST(CommandLine, ModesPartsMistakesAndTheProgramRunReadAsTheSystemTriesIt) {
  const char* const modes[] = {"window", "uninstall", "save", "restore", "run", "watch", "bad"};
  auto parsed = [&](const std::string& arguments) {  // the mode and parts asked for, each reading of the program
    const CommandLine c = ParseCommandLine("\"C:\\My Tools\\Kestrin.exe\" " + arguments);
    if (c.mode == CommandMode::kBad) return std::string(c.error.empty() ? "bad, untold" : "bad");  // a mistake is told
    std::string text = modes[int(c.mode)] + std::string(c.icons ? " icons" : "") + (c.resolution ? " resolution" : "") +
                       (c.gamma ? " gamma" : "") + (c.stop ? " stop" : "");
    for (const ProgramSplit& split : ProgramSplits(c.program))
      text += " " + split.program + "|" + split.arguments + ";";
    return text;
  };
  // /Restore alone: the options' parts. /Run: the rest as written, read as CreateProcess would. "": a batch file's %1.
  EXPECT_EQ(
      "window | uninstall | save | restore | restore icons gamma | restore resolution | watch stop | watch | run "
      "C:\\Games\\My Game.exe| -w \"a b\"; | run C:\\Program| Files\\x.exe  -w; C:\\Program Files\\x.exe|  -w; "
      "C:\\Program Files\\x.exe  -w|; | bad | bad | bad | bad | bad | bad | bad",
      Each(parsed, {"notes.txt", "/uninstall", "/SAVE", "/Restore", " /restore\t/ICONS /Gamma", "/Restore /resolution",
                    "/watch /STOP", "/Watch", "/run  \"C:\\Games\\My Game.exe\" -w \"a b\"",
                    "/Run C:\\Program Files\\x.exe  -w", "/Restore /Icons /Colours", "/Save /Icons", "/Watch /Icons",
                    "/Saved", "/Run   ", "/Restore \"\" /Icons", "/Run \"\" x"}));
  // Where it starts: a drive's root keeps its separator; with no folder named, the current one.
  EXPECT_EQ("D:\\Games\\X\\ | D:\\ |  | ",
            Each(ProgramFolder, {"D:\\Games\\X\\x.exe", "D:\\x.exe", "x.exe", "C:x.exe"}));
  EXPECT_TRUE(IsShortcutName("Game.LNK") && !IsShortcutName("lnk") && !IsShortcutName("game.lnk.exe"));
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

TEST(Gamma, RampEntriesAreTheInputToTheExponentAndOneDecimalExponentsReadBackInTheirOwnChannel) {
  auto built = [](double red, double green, double blue, GammaRamp ramp = {}) {
    return BuildGammaRamp(red, green, blue, ramp), ramp;
  };
  // Entry i of a channel is ((i + 1) / 256) ^ g * 65535, rounded; exponent 0 or below, 65535; NaN, linear.
  const int entries[][2] = {{0, 1}, {15, 256}, {256, 0}, {257, 2}, {261, 17}, {512, 256}, {512 + 127, 32768}};
  for (const auto& [at, value] : entries)
    EXPECT_EQ(value, built(2.0, 2.2, 1.0)[at]) << "red, green from 256, blue from 512: " << at;
  for (uint16_t entry : built(0.0, -3.0, -HUGE_VAL)) ASSERT_EQ(65535, entry) << "exponent 0 or below";
  EXPECT_EQ(built(1.0, 1.0, 1.0), built(NAN, -NAN, NAN)) << "NaN: linear, the exponent of \"unknown\"";
  for (int k = 1; k <= 59; ++k) {
    const int tenths[] = {k, 60 - k, (k * 7) % 59 + 1};  // a channel mix-up shows
    const GammaRamp mixed = built(tenths[0] / 10.0, tenths[1] / 10.0, tenths[2] / 10.0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(tenths[c] / 10.0, EstimateGammaExponent(mixed.data(), c)) << c << " " << k;
  }
  // Green: input 0 gives a term of 0 that counts, 4096/65536 at 128/256 one of 4: 2 * 1.025 = 2.05, printed as 2.0.
  // Blue: 4 * 1.025 = 4.1 (a plain mean, 4.0). Red's first entry is skipped, zeros never count: nothing left, 1.0.
  GammaRamp sparse{};
  sparse[0] = 65535, sparse[256] = 1000, sparse[256 + 128] = 4096, sparse[512 + 128] = 4096;
  const double estimates[] = {1.0, 2.0, 4.1};
  for (int c = 0; c < 3; ++c) EXPECT_EQ(estimates[c], EstimateGammaExponent(sparse.data(), c)) << c;
}

// The watcher's day on a desktop simulated here: the test wakes the rules when they ask and does what they ask, logging
// each action with its time (a resolution by its width), so a log also shows that nothing came sooner.
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
  // A layout is recorded once it has stood 5 s (from the look that first saw it), and only when it changed; what a
  // record from before the start holds is unknown.
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

  // A shell restart gets its icons back, a return to the session its ramp only. Icons that cannot be put back leave a
  // scrambled desktop, never taken for the user's; the user's next move is.
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
