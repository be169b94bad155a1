// The watcher's decisions over a user's day, against a desktop simulated here: the test plays the caller, waking
// the rules when they ask, doing what they ask and writing down what it did (resolutions by their width).
#include "watch_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

using namespace kestrin;

namespace {
constexpr Resolution kWide{1920, 1080}, kSmall{800, 600}, kOdd{1024, 768};

struct Desk {
  // What the caller did since the last call, "time what; " each, once it has run until `until`.
  std::string Until(int64_t until) { return RunTo(until), std::exchange(log, std::string()); }
  void RunTo(int64_t at) {
    while (rules.NextWakeMs() <= at) Wake(std::max(now, rules.NextWakeMs()));
    now = at;
  }
  void Wake(int64_t at) { Do(rules.Wake(now = at)); }
  void WakeLate() { Wake(rules.NextWakeMs() + 1000); }  // as a timer on a busy machine does
  void Move(int64_t at, uint32_t to) { RunTo(at), layout = to; }
  // The screen changes, or the shell restarts (its list view named by the time), and the icons are scrambled.
  void Display(int64_t at, Resolution to, bool broadcast = true) {
    RunTo(at), resolution = to, layout += 0x100;
    if (broadcast) rules.DisplayChanged(now, to);
  }
  void ShellRestart(int64_t at, bool broadcast = true) {
    RunTo(at), listView = at, layout += 0x100, captureWorks = true;
    if (broadcast) Do(rules.ShellRestarted(now));
  }
  void Do(const WatchActions& a) {
    auto note = [&](bool done, const std::string& what) {
      if (done) log += std::to_string(now) + " " + what + "; ";
    };
    note(a.reconnect, "reconnect"), note(a.notificationIcon, "notification icon");
    note(a.restoreIcons, "icons " + std::to_string(a.resolution.width)),
        note(a.restoreRamp, "ramp " + std::to_string(a.resolution.width));
    if (a.restoreIcons && restoreWorks) layout = files.at(a.resolution);
    if (a.restoreIcons) rules.Restored(now, restoreWorks);
    if (a.look) Do(rules.Looked(now, DesktopSight{resolution, listView, captureWorks, layout}));
    if (a.record) files[a.resolution] = layout, rules.Recorded(a.resolution, layout);
    note(a.record, "record " + std::to_string(a.resolution.width) + ": " + std::to_string(layout));
  }

  std::map<Resolution, uint32_t> files = {{kWide, 1}};  // the records on disk: each resolution's layout
  WatchRules rules{0, {kWide}};
  int64_t now = 0;
  Resolution resolution = kWide;
  uint64_t listView = 7;
  uint32_t layout = 1;
  bool captureWorks = true, restoreWorks = true;
  std::string log;
};
}  // namespace

// Every action is logged with its time, so a log also shows that nothing came sooner.
TEST(WatchRules, ADayOfMovesModeChangesShellRestartsAndReturns) {
  Desk desk;
  // A layout is recorded once it has stood 5 s (from the look that first saw it), and only when it changed; what a
  // record from before the start holds is unknown.
  desk.Move(7000, 2), desk.WakeLate(), desk.RunTo(11000), desk.WakeLate();  // 2 first seen at 9000
  for (uint32_t layout = 3; layout <= 7; ++layout) desk.Move(30000 + 3000 * (layout - 2), layout);  // arranging
  desk.Move(52000, 8), desk.RunTo(56000), desk.captureWorks = false, desk.RunTo(60000), desk.captureWorks = true;
  EXPECT_EQ("6000 record 1920: 1; 14000 record 1920: 2; 52000 record 1920: 7; 68000 record 1920: 8; ",
            desk.Until(68000))
      << "after a failed capture at 58000 the 5 s start again";
  desk.Move(68000, 7);
  EXPECT_EQ("76000 record 1920: 7; ", desk.Until(76000)) << "back to an earlier layout is a change too";

  // Each resolution gets its own record back after the settle pause; nothing is recorded soon after.
  desk.Display(76500, kSmall);
  EXPECT_EQ("88000 record 800: 263; ", desk.Until(96000)) << "no record to put back: nothing until 86500";
  desk.Move(96000, 600), desk.Display(106500, kWide), desk.Move(109000, 9);
  EXPECT_EQ("104000 record 800: 600; 108500 icons 1920; 108500 ramp 1920; 120000 record 1920: 9; ", desk.Until(126500))
      << "9 stood 6 s at 116000: too soon after the restore";
  desk.Display(126500, kSmall, false);                       // the broadcast is missed: the look at 128000 sees it
  desk.Display(136500, kOdd), desk.Display(137500, kSmall);  // away and back: one restore
  for (int i = 0; i < 10; ++i) desk.Display(146500 + 1000 * i, i % 2 ? kWide : kSmall);  // a game flipping modes
  EXPECT_EQ(
      "130000 icons 800; 130000 ramp 800; 139500 icons 800; 139500 ramp 800; 156500 icons 1920; "
      "156500 ramp 1920; ",
      desk.Until(186000))
      << "the last 10 s after the first change";

  // A shell restart gets its icons back, a return to the session its ramp only.
  desk.ShellRestart(186500);
  desk.RunTo(206500), desk.listView = 0, desk.captureWorks = false;  // the shell is gone
  desk.ShellRestart(209500, false);                                  // as under Wine: no broadcast
  desk.RunTo(226000), desk.Do(desk.rules.Resumed());
  EXPECT_EQ(
      "186500 reconnect; 186500 notification icon; 188500 icons 1920; 210000 reconnect; "
      "210000 notification icon; 212000 icons 1920; 226000 ramp 1920; ",
      desk.Until(226000))
      << "neither the new list view at 188000 nor none at 208000 is a restart";
  // Icons that cannot be put back leave a scrambled desktop, never taken for the user's; the user's next move is.
  desk.restoreWorks = false;
  desk.ShellRestart(226500), desk.Move(256000, 77), desk.Display(266000, kOdd), desk.Do(desk.rules.Resumed());
  EXPECT_EQ("226500 reconnect; 226500 notification icon; 228500 icons 1920; 264000 record 1920: 77; ",
            desk.Until(266000))
      << "and no ramp on a return at a resolution without a record";
  desk.Display(270500, kWide), desk.Move(274000, 78);
  EXPECT_EQ("272500 icons 1920; 272500 ramp 1920; 284000 record 1920: 78; ", desk.Until(290000))
      << "a move soon after a failed restore is recorded only once the quiet 10 s after it are over";
}
