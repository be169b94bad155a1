// What the watcher (/Watch) decides: when to look at the desktop, when an icon layout the user
// left standing is recorded for its resolution, and when a record is put back after a display
// change, a shell restart or a return to the session. No clock and no window system: the caller
// hands in the time (milliseconds that never go back) and what it saw, and does what the returned
// actions say. Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace kestrin {

struct Resolution {
  uint32_t width = 0;
  uint32_t height = 0;
};
inline bool operator==(Resolution a, Resolution b) {
  return a.width == b.width && a.height == b.height;
}
inline bool operator!=(Resolution a, Resolution b) { return !(a == b); }
inline bool operator<(Resolution a, Resolution b) {
  return a.width != b.width ? a.width < b.width : a.height < b.height;
}

// What one look at the desktop found.
struct DesktopSight {
  Resolution resolution;     // the primary display's
  uint64_t listView = 0;     // the desktop list view's identity; 0 when there is none
  bool captured = false;     // false when the icon layout could not be captured
  uint32_t fingerprint = 0;  // of the captured layout (its CRC-32)
};

// What to do now, in this order.
struct WatchActions {
  bool reconnect = false;         // the shell restarted: connect to its agent again
  bool notificationIcon = false;  // and add the notification icon again
  bool restoreIcons = false;  // put back the icons recorded for `resolution` (report to Restored),
  bool restoreRamp = false;   // then its ramp
  bool look = false;          // look at the desktop and report it to Looked
  bool record = false;  // write the layout just captured, with the current ramp, for `resolution`
  Resolution resolution;
};

class WatchRules {
 public:
  static constexpr int64_t kLookIntervalMs = 2000;
  static constexpr int64_t kSteadyMs = 5000;  // a layout unchanged this long is the user's
  static constexpr int64_t kSettleMs = 2000;  // as MODE_SETTLE_MS: icons moved sooner move again
  static constexpr int64_t kRestoreWithinMs = 10000;  // of the first change, however many follow
  static constexpr int64_t kQuietMs = 10000;          // after a restore, nothing is recorded

  // `recorded`: the resolutions whose record is on file. The first look is due at `nowMs`.
  WatchRules(int64_t nowMs, const std::vector<Resolution>& recorded);

  // When Wake is next due: a look, or a restore after its settle pause.
  int64_t NextWakeMs() const;
  WatchActions Wake(int64_t nowMs);
  // The look Wake asked for. May find a display change or a shell restart whose broadcast was
  // missed, or ask to record the layout just captured.
  WatchActions Looked(int64_t nowMs, const DesktopSight& sight);
  // The broadcasts: a display change (the new resolution), "TaskbarCreated".
  void DisplayChanged(int64_t nowMs, Resolution resolution);
  WatchActions ShellRestarted(int64_t nowMs);
  // After a resume from sleep or a session unlock: the ramp may be lost, the icons are not.
  WatchActions Resumed() const;
  // The icons a restore asked for are back (before the next call), or `iconsPlaced` false: they
  // could not be put back.
  void Restored(int64_t nowMs, bool iconsPlaced);
  // A record asked for was written (not called when the write failed: the next look asks again).
  void Recorded(Resolution resolution, uint32_t fingerprint);

 private:
  struct Steady {
    uint32_t fingerprint;
    int64_t sinceMs;
  };
  struct PendingRestore {
    int64_t firstChangeMs;
    int64_t dueMs;
    bool ramp;  // a display change resets the ramp, a shell restart does not
  };

  void Disturbed(int64_t nowMs, bool display);
  WatchActions ShellRestart(int64_t nowMs);

  // The last fingerprint recorded for each resolution that has a record; none when it was
  // recorded before this run.
  std::map<Resolution, std::optional<uint32_t>> records_;
  std::optional<Resolution> resolution_;
  std::optional<uint64_t> listView_;  // none until a look finds one after start or a broadcast
  int64_t nextLookMs_;
  std::optional<PendingRestore> pending_;
  std::optional<Resolution> restoring_;   // asked for, not yet reported done
  std::optional<Resolution> unrestored_;  // its icons could not be put back
  int64_t quietUntilMs_ = INT64_MIN;
  std::optional<Steady> steady_;
};

}  // namespace kestrin
