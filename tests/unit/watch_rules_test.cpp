// The watcher's decisions over a user's days, against a desktop simulated here: the test plays the caller, waking
// the rules when they ask, doing what they ask and writing down what it did.
#include "watch_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace kestrin;

namespace {
constexpr Resolution kWide{1920, 1080}, kSmall{800, 600}, kOdd{1024, 768};

std::vector<Resolution> Keys(const std::map<Resolution, uint32_t>& files) {
  std::vector<Resolution> keys;
  for (const auto& file : files) keys.push_back(file.first);
  return keys;
}
std::string Text(Resolution r) { return std::to_string(r.width) + "x" + std::to_string(r.height); }

struct Desk {
  explicit Desk(std::map<Resolution, uint32_t> onDisk = {}) : files(std::move(onDisk)), rules(0, Keys(files)) {}

  // What the caller did since the last call, "time what; " each, once it has run until `until`.
  std::string Until(int64_t until) {
    RunTo(until);
    return std::exchange(log, std::string());
  }
  // The next wake comes `by` late, as a timer on a busy machine does.
  void WakeLate(int64_t by) { Wake(rules.NextWakeMs() + by); }
  void Move(int64_t at, uint32_t to) { RunTo(at), layout = to; }
  // The screen changes, and the shell scrambles the icons.
  void Display(int64_t at, Resolution to, bool broadcast = true) {
    RunTo(at), resolution = to, layout += 0x100;
    if (broadcast) rules.DisplayChanged(now, to);
  }
  void ShellGone(int64_t at) { RunTo(at), listView = 0, captureWorks = false; }
  void ShellRestart(int64_t at, bool broadcast = true) {
    RunTo(at), listView = ++shells, layout += 0x100, captureWorks = true;
    if (broadcast) Do(rules.ShellRestarted(now));
  }
  std::string Resume(int64_t at) {
    RunTo(at), Do(rules.Resumed());
    return Until(at);
  }

  void RunTo(int64_t at) {
    while (rules.NextWakeMs() <= at) Wake(std::max(now, rules.NextWakeMs()));
    now = at;
  }
  void Wake(int64_t at) {
    now = at;
    Do(rules.Wake(now));
  }
  void Do(const WatchActions& a) {
    const std::string when = std::to_string(now) + " ";
    if (a.reconnect) log += when + "reconnect; ";
    if (a.notificationIcon) log += when + "notification icon; ";
    if (a.restoreIcons) {
      log += when + "icons " + Text(a.resolution) + "; ";
      if (restoreWorks) layout = files.at(a.resolution);
    }
    if (a.restoreRamp) log += when + "ramp " + Text(a.resolution) + "; ";
    if (a.restoreIcons) rules.Restored(now, restoreWorks);
    if (a.look) Do(rules.Looked(now, DesktopSight{resolution, listView, captureWorks, layout}));
    if (a.record) {
      files[a.resolution] = layout;
      log += when + "record " + Text(a.resolution) + ": " + std::to_string(layout) + "; ";
      rules.Recorded(a.resolution, layout);
    }
  }

  std::map<Resolution, uint32_t> files;  // the records on disk: each resolution's layout
  WatchRules rules;
  int64_t now = 0;
  Resolution resolution = kWide;
  uint64_t shells = 7, listView = 7;
  uint32_t layout = 1;
  bool captureWorks = true, restoreWorks = true;
  std::string log;
};
}  // namespace

TEST(WatchRules, LayoutsAreRecordedOnceTheyStoodFiveSecondsAndOnlyWhenChanged) {
  Desk desk;
  EXPECT_EQ("", desk.Until(4000)) << "looks at 0, 2000 and 4000";
  EXPECT_EQ("6000 record 1920x1080: 1; ", desk.Until(6000));
  desk.Move(7000, 2), desk.WakeLate(1000);
  EXPECT_EQ("", desk.Until(11000)) << "2 first seen by the look due at 8000, at 9000";
  desk.WakeLate(1000);
  EXPECT_EQ("14000 record 1920x1080: 2; ", desk.Until(14000));
  EXPECT_EQ("", desk.Until(30000)) << "nothing changed since";
  for (uint32_t layout = 3; layout <= 7; ++layout) desk.Move(desk.now + 3000, layout);  // the user arranging
  EXPECT_EQ("", desk.Until(50000)) << "7 first seen at 46000";
  EXPECT_EQ("52000 record 1920x1080: 7; ", desk.Until(52000));
  desk.Move(52000, 8);
  EXPECT_EQ("", desk.Until(56000));
  desk.captureWorks = false;
  EXPECT_EQ("", desk.Until(60000)) << "8 would have stood 6 s";
  desk.captureWorks = true;
  EXPECT_EQ("", desk.Until(66000)) << "after a failed capture the 5 s start again";
  EXPECT_EQ("68000 record 1920x1080: 8; ", desk.Until(68000));
  desk.Move(68000, 7);
  EXPECT_EQ("76000 record 1920x1080: 7; ", desk.Until(76000)) << "back to an earlier layout is a change too";
}

TEST(WatchRules, EachResolutionGetsItsOwnRecordBackAfterTheSettlePauseAndNothingIsRecordedSoonAfter) {
  Desk desk({{kWide, 1}});
  EXPECT_EQ("6000 record 1920x1080: 1; ", desk.Until(10000)) << "what a record from before the start holds is unknown";
  desk.Display(10500, kSmall);
  EXPECT_EQ("22000 record 800x600: 257; ", desk.Until(30000)) << "no record to put back: nothing until 20500";
  desk.Move(30000, 600);
  EXPECT_EQ("38000 record 800x600: 600; ", desk.Until(40000));
  desk.Display(40500, kWide);
  EXPECT_EQ("", desk.Until(42499));
  EXPECT_EQ("42500 icons 1920x1080; 42500 ramp 1920x1080; ", desk.Until(43000));
  desk.Move(43000, 9);
  EXPECT_EQ("", desk.Until(52499)) << "9 stood 6 s at 50000, but it is too soon after the restore";
  EXPECT_EQ("54000 record 1920x1080: 9; ", desk.Until(60500));
  desk.Display(60500, kSmall, false);  // the broadcast is missed
  EXPECT_EQ("64000 icons 800x600; 64000 ramp 800x600; ", desk.Until(65000)) << "the look at 62000 saw the change";
  EXPECT_EQ(600u, desk.layout);
  desk.Display(70500, kOdd), desk.Display(71500, kSmall);
  EXPECT_EQ("73500 icons 800x600; 73500 ramp 800x600; ", desk.Until(80000)) << "away and back: one restore";
  for (int i = 0; i < 10; ++i) desk.Display(80500 + 1000 * i, i % 2 ? kWide : kSmall);  // a game flipping modes
  EXPECT_EQ("90500 icons 1920x1080; 90500 ramp 1920x1080; ", desk.Until(120000)) << "10 s after the first change";
}

TEST(WatchRules, AShellRestartGetsItsIconsBackAReturnToTheSessionItsRampOnly) {
  Desk desk({{kWide, 1}});
  EXPECT_EQ("6000 record 1920x1080: 1; ", desk.Until(10000));
  desk.ShellRestart(10500);
  EXPECT_EQ("10500 reconnect; 10500 notification icon; 12500 icons 1920x1080; ", desk.Until(30000))
      << "the new list view the look at 12000 saw is no second restart";
  desk.ShellGone(30500), desk.ShellRestart(33500, false);  // as under Wine: no broadcast
  EXPECT_EQ("34000 reconnect; 34000 notification icon; 36000 icons 1920x1080; ", desk.Until(50000))
      << "a look that found no list view at 32000 is no restart yet";
  EXPECT_EQ("50000 ramp 1920x1080; ", desk.Resume(50000));
  // Icons that cannot be put back leave a scrambled desktop, never taken for the user's; the user's next move is.
  desk.restoreWorks = false;
  desk.ShellRestart(50500);
  EXPECT_EQ("50500 reconnect; 50500 notification icon; 52500 icons 1920x1080; ", desk.Until(80000));
  desk.Move(80000, 77);
  EXPECT_EQ("88000 record 1920x1080: 77; ", desk.Until(90000));
  desk.Display(90000, kOdd);
  EXPECT_EQ("", desk.Resume(90000)) << "no record for this resolution";
}
