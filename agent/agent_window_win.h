// The hidden agent window inside the shell and its two commands.
#pragma once

#include <windows.h>

namespace kestrin {

// Creates the agent window on the calling (hooked) thread; keeps the library loaded for
// as long as the window lives. Returns the window, or null.
HWND CreateAgentWindow(HINSTANCE instance);

INT_PTR CALLBACK AgentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int AgentCaptureLayout(HWND listView);
int AgentApplyLayout(HWND listView);

// Defined with the hook: whether the program's hook still holds this library in the
// process, so that dropping the window's own hold cannot unload code that is running.
bool ProgramHookHoldsLibrary();

}  // namespace kestrin
