// "Restore Saved" and its parts, shared by the window's buttons and the command line.
#pragma once

#include <windows.h>

#include "engine_state_win.h"
#include "gamma_triple.h"

namespace kestrin {

// What a successful snapshot load hands over.
struct LoadedSnapshot {
  DEVMODEA mode = {};
  OwnedIconLayout icons;
  SYSTEMTIME saveTime = {};
  GammaTriple gamma;
};

bool Load(HWND window, LoadedSnapshot* loaded);

// From the snapshot, as chosen: the display mode and the settle pause, the icons, then the
// gamma. Each failure is shown by the step that meets it.
void RestoreParts(HWND window, AgentClient* agent, bool gamma, bool mode, bool icons);
// The parts whose "Restore ... when Restore Saved button pressed" box is ticked.
void RestoreAsTicked(HWND window, AgentClient* agent);

}  // namespace kestrin
