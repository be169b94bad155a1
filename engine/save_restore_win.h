// Saving the screen into the snapshot, and the one sequence every face puts a screen back
// with: "Restore Saved", the sections' "Apply Saved" and "Undo", /Restore and /Run.
#pragma once

#include <windows.h>

#include <functional>

#include "display_mode_win.h"
#include "engine_state_win.h"
#include "gamma_math.h"
#include "options_file_win.h"
#include "outcome.h"
#include "snapshot_file_win.h"

namespace kestrin {

// After a mode change, the shell re-lays the desktop and the driver settles: icons moved
// sooner would be moved again.
constexpr DWORD MODE_SETTLE_MS = 2000;

// "Save Current": the current mode, the icons and the gamma into the snapshot. Stops at a
// mode that cannot be read or icons that cannot be captured; a gamma that cannot be read is
// reported and saved as 1.0 each. True once the file is written.
bool SaveScreen(AgentClient* agent, const Report& report);

// A screen to put back; a part without a value is skipped, except icons, which are reported
// as not set.
struct ScreenTarget {
  const DEVMODEA* mode = nullptr;
  const OwnedIconLayout* icons = nullptr;
  const GammaRamp* ramp = nullptr;     // the exact ramp, where the platform takes it
  const GammaTriple* gamma = nullptr;  // else these exponents
};

// Every part of a snapshot, its exact ramp where it has one.
ScreenTarget SnapshotTarget(const Snapshot& snapshot);

struct RestoreSteps {
  RestoreParts parts;
  ModeLasting lasting;
  bool settle = true;  // the pause after the mode step, whether a mode was applied or not
};

// The mode, the settle pause, the icons, then the gamma, which a mode change may have reset.
// Each failure is reported as it happens and the rest goes on; `modeChanged` is called once a
// mode has been applied.
void RestoreScreen(const ScreenTarget& target, const RestoreSteps& steps, AgentClient* agent,
                   const Report& report, const std::function<void()>& modeChanged = nullptr);

}  // namespace kestrin
