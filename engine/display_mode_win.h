// The primary display's mode: capture at start-up, the Current panel, applying a record
// with the lasting-ness the user picked, the registry's default, and "Undo".
// `window` is the main window: its controls are read and written by id and it owns the
// message boxes. None of these reports a result; failures are shown to the user.
#pragma once

#include <windows.h>

#include "engine_state_win.h"

namespace kestrin {

// Fills `record` with the current mode of the primary display. The record is cleared
// first, so no stale byte reaches a snapshot, and leaves with dmSize 156 and
// dmDriverExtra 0. False when the system cannot read it (last error as the system set it).
bool ReadCurrentDisplayMode(DEVMODEA* record);

// Reads the current mode into state->startupMode and sets startupModeValid; silent.
void CaptureStartupDisplayMode(StartupState* state);

// Writes the current mode into the Current panel (IDC_CURRENT_SIZE, _BITS, _FREQUENCY), or reports
// the failed read.
void ShowCurrentDisplayMode(HWND window);

// Tests and sets `record` (its dmFields becomes MODE_APPLY_FIELDS) with the flags that
// "Apply temporarily" and "Affects all users" give now; refreshes the Current panel after a change.
void ApplyDisplayMode(HWND window, DEVMODEA* record);

// Returns to the mode kept in the registry.
void RestoreDefaultDisplayMode(HWND window);

// Applies the start-up mode if it was captured; otherwise does nothing.
void UndoDisplayMode(HWND window, StartupState* state);

}  // namespace kestrin
