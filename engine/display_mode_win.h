// The primary display's mode: reading it, applying a record with the lasting-ness the user
// picked, and the registry's default.
#pragma once

#include <windows.h>

#include "engine_state_win.h"
#include "outcome.h"

namespace kestrin {

// Fills `record` with the current mode of the primary display. The record is cleared
// first, so no stale byte reaches a snapshot, and leaves with dmSize 156 and
// dmDriverExtra 0. False when the system cannot read it (last error as the system set it).
bool ReadCurrentDisplayMode(DEVMODEA* record);

// The same, as an outcome: kReadMode with the system's error.
Outcome ReadDisplayMode(DEVMODEA* record);

// Reads the current mode into state->startupMode and sets startupModeValid; silent.
void CaptureStartupDisplayMode(StartupState* state);

// How long a change lasts: "Apply temporarily" (the registry untouched) or saved, and then
// for every user with "Affects all users".
struct ModeLasting {
  bool temporary = false;
  bool allUsers = false;
};

// Tests and sets `record` (its dmFields becomes MODE_APPLY_FIELDS).
Outcome ApplyDisplayMode(DEVMODEA* record, ModeLasting lasting);

// Returns to the mode kept in the registry.
Outcome RestoreDefaultDisplayMode();

}  // namespace kestrin
