// State the engine works with, owned by the main window.
#pragma once

#include <windows.h>

#include "gamma_triple.h"
#include "transfer_buffer_win.h"

namespace kestrin {

// The program's side of the agent link: two window handles, never cleared.
struct AgentClient {
  HWND agentWindow = nullptr;      // as found by its title; may no longer exist
  HWND desktopListView = nullptr;  // sent with every capture and apply
  // A command to the agent that has not returned by then is given up: a hung shell must
  // not hang the program. Generous, as an apply of many icons takes a while.
  DWORD commandTimeoutMs = 30000;
};

// What the screen was when the program started: the target of every "Undo".
struct StartupState {
  DEVMODEA startupMode = {};
  int startupModeValid = 0;
  OwnedIconLayout startupIcons;  // empty until captured
  GammaTriple startupGamma;
};

}  // namespace kestrin
