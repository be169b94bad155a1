// The message hook that brings the agent into the shell, the data every process that
// loads the library shares, and the library's entry point.
#include <cstdint>

#include "agent_window_win.h"
#include "lumiq_win.h"
#include "transfer_slot_win.h"

namespace {

// One copy for every process that loads the library (8 bytes, section "Shared"): the hook
// a program installed last and the program thread to wake. Window-system handles carry 32
// significant bits on x64 as well, so the hook is kept in 32 bits on both architectures.
__attribute__((section("Shared"), shared)) volatile uint32_t hookHandle = 0;
__attribute__((section("Shared"), shared)) volatile uint32_t controllerThreadId = 0;

// Per process.
HINSTANCE instanceHandle = nullptr;
// The hook this process installed, the only one it removes. A second start, a command line
// or /Uninstall load the library too: their ends must not take a running window's hook.
HHOOK ownHook = nullptr;
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

// Removes this process's hook, and the shared record of it unless another process's hook
// has replaced it there since.
BOOL RemoveOwnHook() {
  if (!ownHook) return FALSE;
  const BOOL removed = UnhookWindowsHookEx(ownHook);
  __sync_bool_compare_and_swap(&hookHandle, NarrowHook(ownHook), 0u);
  ownHook = nullptr;
  return removed;
}

}  // namespace

int __stdcall SetExplorerHook(uint32_t threadId) {
  if (threadId == 0) return RemoveOwnHook();
  controllerThreadId = GetCurrentThreadId();
  // An earlier hook of this process is overwritten, not removed.
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, AgentHookProc, instanceHandle, threadId);
  if (!hook) return 0;
  ownHook = hook;
  hookHandle = NarrowHook(hook);
  // Makes the hooked thread retrieve a message now, which loads us there.
  return PostThreadMessageA(threadId, WM_NULL, 0, 0);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      instanceHandle = instance;
      break;
    case DLL_PROCESS_DETACH:
      RemoveOwnHook();
      kestrin::ReleaseTransferSlot();
      kestrin::ReleaseNamesSlot();
      break;
    default:
      break;
  }
  return TRUE;
}
