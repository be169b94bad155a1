// The hidden agent window inside the shell and its two commands.
#pragma once

#include <windows.h>

namespace kestrin {

// The agent window of the calling (hooked) thread: the living one, or a new one, which
// holds the library loaded for as long as it lives. Null when it cannot be made.
HWND EnsureAgentWindow(HINSTANCE instance);
// Called by the hook procedure only: gives the library's hold back once no agent window
// lives and no agent code is under way on this thread.
void GiveBackLibraryHoldIfIdle();

INT_PTR CALLBACK AgentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int AgentCaptureLayout(HWND listView);
int AgentApplyLayout(HWND listView);

}  // namespace kestrin
