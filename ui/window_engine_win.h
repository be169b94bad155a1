// How the main window asks the engine and shows its answers: the controls read, the panels
// filled, the boxes shown.
#pragma once

#include <windows.h>

#include "display_mode_win.h"
#include "options_file_win.h"
#include "outcome.h"
#include "snapshot_file_win.h"

namespace kestrin {

// Each failure in a box owned by `window`, at once.
Report BoxesFor(HWND window);

// "Apply temporarily" and "Affects all users" as they stand.
ModeLasting LastingChosen(HWND window);

// The three "Restore ... when "Restore Saved" button pressed" check boxes.
RestoreParts PartsChecked(HWND window);
void CheckParts(HWND window, const RestoreParts& parts);

// The Current panel (IDC_CURRENT_SIZE, _BITS, _FREQUENCY) from the current mode, or the
// failed read shown.
void ShowCurrentDisplayMode(HWND window);

// Loads the snapshot; once one loads, "Restore Saved" and the three "Apply Saved" buttons
// are enabled. False without one: a missing snapshot is not shown, any other failure is.
bool LoadSavedSnapshot(HWND window, Snapshot* loaded);

// The Saved panel (IDC_SAVED_SIZE, _BITS, _FREQUENCY, IDC_SAVE_TIME) from the snapshot; kept
// as it is without one.
void ShowSavedSettings(HWND window);

}  // namespace kestrin
