// The main window's "Saved" panel, and "Save Current", which fills it anew.
#pragma once

#include <windows.h>

#include "engine_state_win.h"

namespace kestrin {

// "Save Current": current display mode, icon layout and gamma into the snapshot, then the
// "Saved" panel refreshed from the new file.
void SaveSnapshot(HWND window, AgentClient* client);

// Fills the "Saved" panel (IDC_SAVED_SIZE, _BITS, _FREQUENCY, IDC_SAVE_TIME) from the
// snapshot; keeps it on failure.
void ShowSavedSettings(HWND window);

}  // namespace kestrin
