// The message hook that brings the agent into the shell, the data every process that
// loads the library shares, and the library's entry point.
#include <cstdint>

#include "agent_window_win.h"
#include "lumiq_win.h"
#include "transfer_slot_win.h"

namespace {

// One copy for every process that loads the library (8 bytes, section "Shared"): the hook
// the program installed and the program thread to wake. Window-system handles carry 32
// significant bits on x64 as well, so the hook is kept in 32 bits on both architectures.
__attribute__((section("Shared"), shared)) volatile uint32_t hookHandle = 0;
__attribute__((section("Shared"), shared)) volatile uint32_t controllerThreadId = 0;

// Per process.
HINSTANCE instanceHandle = nullptr;
// The program hook (and the program thread) this process last answered with an agent and
// a wake-up. The library may stay loaded across runs of the program (Wine never unloads
// it; Windows keeps it while an agent window holds it), so a new hook, not the first
// message after loading, is what asks for an agent.
uint32_t servedHook = 0;
uint32_t servedController = 0;

// Handles are sign-extended when they widen, as the system itself does between 32-bit
// and 64-bit processes.
HHOOK WidenHook(uint32_t value) {
  return reinterpret_cast<HHOOK>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}

uint32_t NarrowHook(HHOOK hook) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook)); }

LRESULT CALLBACK AgentHookProc(int code, WPARAM wParam, LPARAM lParam) {
  const uint32_t hook = hookHandle, controller = controllerThreadId;
  if (code >= 0) {
    if (hook != 0 && (hook != servedHook || controller != servedController)) {
      servedHook = hook;
      servedController = controller;
      kestrin::EnsureAgentWindow(instanceHandle);
      PostThreadMessageA(controller, WM_NULL, 0, 0);
    }
    // A hook of ours is running: it holds the library in this thread.
    kestrin::GiveBackLibraryHoldIfIdle();
  }
  return CallNextHookEx(WidenHook(hook), code, wParam, lParam);
}

void RemoveRecordedHook() {
  if (const uint32_t hook = hookHandle) UnhookWindowsHookEx(WidenHook(hook));
  hookHandle = 0;
}

}  // namespace

int __stdcall SetExplorerHook(uint32_t threadId) {
  if (threadId == 0) {
    if (hookHandle == 0) return 0;
    const BOOL removed = UnhookWindowsHookEx(WidenHook(hookHandle));
    hookHandle = 0;
    return removed;
  }
  controllerThreadId = GetCurrentThreadId();
  // An earlier recorded hook is overwritten, not removed.
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, AgentHookProc, instanceHandle, threadId);
  hookHandle = NarrowHook(hook);
  if (!hook) return 0;
  // Makes the hooked thread retrieve a message now, which loads us there.
  return PostThreadMessageA(threadId, WM_NULL, 0, 0);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      instanceHandle = instance;
      break;
    case DLL_PROCESS_DETACH:
      // The record is shared: a detach in any process removes the program's hook.
      RemoveRecordedHook();
      kestrin::ReleaseTransferSlot();
      kestrin::ReleaseNamesSlot();
      break;
    default:
      break;
  }
  return TRUE;
}
