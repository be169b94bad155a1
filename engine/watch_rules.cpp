#include "watch_rules.h"

#include <algorithm>

namespace kestrin {

WatchRules::WatchRules(int64_t nowMs, const std::vector<Resolution>& recorded)
    : nextLookMs_(nowMs) {
  for (Resolution resolution : recorded) records_[resolution];
}

int64_t WatchRules::NextWakeMs() const {
  return pending_ ? std::min(nextLookMs_, pending_->dueMs) : nextLookMs_;
}

WatchActions WatchRules::Wake(int64_t nowMs) {
  WatchActions actions;
  if (pending_ && nowMs >= pending_->dueMs) {
    // Without a record, the quiet time counted from the change is all the protection there is.
    if (resolution_ && records_.count(*resolution_)) {
      actions.restoreIcons = true;
      actions.restoreRamp = pending_->ramp;
      actions.resolution = *resolution_;
      restoring_ = resolution_;
    }
    pending_.reset();
  }
  if (nowMs >= nextLookMs_) {
    actions.look = true;
    nextLookMs_ = nowMs + kLookIntervalMs;
  }
  return actions;
}

WatchActions WatchRules::Looked(int64_t nowMs, const DesktopSight& sight) {
  WatchActions actions;
  if (resolution_ && *resolution_ != sight.resolution) {
    DisplayChanged(nowMs, sight.resolution);  // under Wine the broadcast can be missed
  }
  resolution_ = sight.resolution;
  if (sight.listView != 0) {
    if (listView_ && *listView_ != sight.listView) actions = ShellRestart(nowMs);
    listView_ = sight.listView;
  }
  // A look that saw nothing breaks the stretch: what stood before and after it may not have
  // stood between.
  if (!sight.captured) {
    steady_.reset();
    return actions;
  }
  // Another resolution needs no stretch of its own: its change began a longer quiet time.
  if (!steady_ || steady_->fingerprint != sight.fingerprint)
    steady_ = Steady{sight.fingerprint, nowMs};
  if (unrestored_ == sight.resolution) {
    // What a failed restore left is not the user's: only a change from it is recorded.
    records_[sight.resolution] = sight.fingerprint;
    unrestored_.reset();
  }
  auto record = records_.find(sight.resolution);
  const bool changed = record == records_.end() || record->second != sight.fingerprint;
  // A pending restore always falls inside the quiet time that its change began.
  if (changed && nowMs >= quietUntilMs_ && nowMs - steady_->sinceMs >= kSteadyMs) {
    actions.record = true;
    actions.resolution = sight.resolution;
  }
  return actions;
}

void WatchRules::DisplayChanged(int64_t nowMs, Resolution resolution) {
  resolution_ = resolution;
  Disturbed(nowMs, true);
}

WatchActions WatchRules::ShellRestarted(int64_t nowMs) {
  listView_.reset();  // the next look's list view is the new shell's, whenever it appears
  return ShellRestart(nowMs);
}

WatchActions WatchRules::Resumed() const {
  WatchActions actions;
  if (resolution_ && records_.count(*resolution_)) {
    actions.restoreRamp = true;
    actions.resolution = *resolution_;
  }
  return actions;
}

void WatchRules::Restored(int64_t nowMs, bool iconsPlaced) {
  if (!iconsPlaced) unrestored_ = restoring_;
  restoring_.reset();
  quietUntilMs_ = std::max(quietUntilMs_, nowMs + kQuietMs);
}

void WatchRules::Recorded(Resolution resolution, uint32_t fingerprint) {
  records_[resolution] = fingerprint;
}

// Each further change restarts the settle pause, but the restore comes within
// kRestoreWithinMs of the first.
void WatchRules::Disturbed(int64_t nowMs, bool display) {
  if (!pending_) pending_ = PendingRestore{nowMs, nowMs, false};
  pending_->dueMs = std::min(nowMs + kSettleMs, pending_->firstChangeMs + kRestoreWithinMs);
  pending_->ramp = pending_->ramp || display;
  quietUntilMs_ = std::max(quietUntilMs_, nowMs + kQuietMs);
}

WatchActions WatchRules::ShellRestart(int64_t nowMs) {
  Disturbed(nowMs, false);
  WatchActions actions;
  actions.reconnect = true;
  actions.notificationIcon = true;
  return actions;
}

}  // namespace kestrin
