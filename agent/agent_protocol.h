// What the program and the agent inside the shell agree on. Portable: no <windows.h>.
#pragma once

#include <cstdint>

#include "agent_resource.h"

namespace kestrin {

// Commands travel as AGENT_MSG (WM_APP) with the command in wParam and the desktop list
// view in lParam; the send returns once the agent has finished.
constexpr unsigned AGENT_MSG = 0x8000;
constexpr uintptr_t AGENT_CMD_PING = 0;
constexpr uintptr_t AGENT_CMD_CAPTURE = 2;
constexpr uintptr_t AGENT_CMD_APPLY = 3;
// A capture answers its number (never 0). The program that has copied it sends that number
// in lParam with AGENT_CMD_RELEASE: the capture's buffers go, so that they cannot stand in the
// way of another program's larger capture (a second copy of Kestrin has an agent of its own).
// A newer capture is not released; an agent that does not know the command answers 0.
constexpr uintptr_t AGENT_CMD_RELEASE = 4;

// The program finds the agent window by this title alone.
constexpr char kAgentWindowTitle[] = LUMIQ_AGENT_WINDOW_TITLE;

// Dialog template of the agent window inside Lumiq.dll.
constexpr int IDD_AGENT = LUMIQ_AGENT_DIALOG_ID;

}  // namespace kestrin
