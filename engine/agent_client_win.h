// The program's side of the agent link: finds the desktop list view, hooks its thread
// through Lumiq, finds the agent window and sends it commands.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine_state_win.h"
#include "outcome.h"
#include "transfer_buffer_win.h"

namespace kestrin {

// Bound on the wait for the agent's wake-up: a hook that never runs (a shell of the other
// architecture, a hung one) sends none.
constexpr DWORD kAgentWakeUpTimeoutMs = 5000;
constexpr DWORD AGENT_SETTLE_MS = 300;

// The shell's desktop list view: Progman's topmost child's topmost child, or else the
// list view of a "SHELLDLL_DefView" under Progman or a top-level "WorkerW"; null if none.
HWND FindDesktopListView();

// Done when the agent window was found and answered a ping; else kConnectAgent.
Outcome ConnectAgent(AgentClient* client);

// Closes the agent window if there is one and removes this process's hook; true when it had one.
bool DisconnectAgent(AgentClient* client);

// Capture and apply connect again, once and quietly, when their agent is gone.
// The agent's current layout into *out, or kCaptureIcons (*out is left as it was).
Outcome CaptureIconLayout(AgentClient* client, OwnedIconLayout* out);

// Done once the agent has applied `layout`; else kApplyIcons, or kTooManyIcons for a layout
// of more than kMaxIconRecords icons, refused before anything is sent.
Outcome ApplyIconLayout(AgentClient* client, const OwnedIconLayout& layout);

// The answer to WM_QUERYENDSESSION given the default processing's answer: a session that
// may end releases the agent first.
BOOL AgentSessionEnding(AgentClient* client, BOOL defaultAnswer);

}  // namespace kestrin
