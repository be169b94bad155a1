#include "agent_client_win.h"

#include <cstring>
#include <string>

#include "agent_protocol.h"
#include "icon_layout.h"
#include "icon_names.h"
#include "lumiq_win.h"
#include "user_access_win.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

constexpr char kShellWindowClass[] = "ProgMan";
constexpr char kDefViewClass[] = "SHELLDLL_DefView";
constexpr char kListViewClass[] = "SysListView32";
constexpr DWORD kCloseTimeoutMs = 5000;
// How long an apply waits for another process to let go of an apply buffer too small for it.
constexpr DWORD kApplyBufferWaitMs = 2000;
constexpr DWORD kApplyBufferRetryMs = 50;

bool HasClass(HWND window, const char* name) {
  char className[64] = {};
  return window && GetClassNameA(window, className, sizeof className) &&
         lstrcmpiA(className, name) == 0;
}

HWND ListViewUnder(HWND top) {
  HWND defView = FindWindowExA(top, nullptr, kDefViewClass, nullptr);
  return defView ? FindWindowExA(defView, nullptr, kListViewClass, nullptr) : nullptr;
}

DWORD ThreadOf(HWND window) { return window ? GetWindowThreadProcessId(window, nullptr) : 0; }

// A 32-bit program cannot place its agent in a 64-bit shell, nor the reverse: the hook
// would never run there, or the system would run it in the program itself.
bool SameArchitectureAs(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  BOOL theirs = FALSE, ours = FALSE;
  if (!process || !IsWow64Process(process.get(), &theirs) ||
      !IsWow64Process(GetCurrentProcess(), &ours))
    return false;
  return (theirs != FALSE) == (ours != FALSE);
}

// Waits, bounded, for the WM_NULL the agent posts to this thread once its window exists;
// other messages stay queued.
void WaitForAgentWakeUp() {
  const ULONGLONG deadline = GetTickCount64() + kAgentWakeUpTimeoutMs;
  for (;;) {
    MSG msg;
    // (HWND)-1: thread messages only.
    if (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), WM_NULL, WM_NULL, PM_REMOVE)) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                              QS_POSTMESSAGE);
  }
}

// The window titled like the agent that lives on the list view's own thread: any other
// (one in our own process, say) would be handed pointers that mean nothing to it.
HWND FindAgentWindow(HWND listView) {
  const DWORD thread = ThreadOf(listView);
  for (HWND found = nullptr;
       (found = FindWindowExA(nullptr, found, nullptr, kAgentWindowTitle)) != nullptr;) {
    if (ThreadOf(found) == thread) return found;
  }
  return nullptr;
}

bool AgentAlive(const AgentClient& client) {
  return client.agentWindow && IsWindow(client.agentWindow) &&
         ThreadOf(client.agentWindow) == ThreadOf(client.desktopListView);
}

// True when the agent answered within the time limit; its answer goes to `result`.
bool SendAgentCommand(const AgentClient& client, uintptr_t command, DWORD timeoutMs,
                      DWORD_PTR* result = nullptr) {
  DWORD_PTR answer = 0;
  const bool answered =
      SendMessageTimeoutA(client.agentWindow, AGENT_MSG, command,
                          reinterpret_cast<LPARAM>(client.desktopListView),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
  if (result) *result = answered ? answer : 0;
  return answered;
}

// A capture or apply the agent says it carried out (it answers 1).
bool AgentCommandDone(const AgentClient& client, uintptr_t command) {
  DWORD_PTR result = 0;
  return SendAgentCommand(client, command, client.commandTimeoutMs, &result) && result == 1;
}

// The apply buffer for `layout`. Another Kestrin (a window beside a command line, or the
// reverse) may still hold the name with a smaller buffer until its own apply returns.
bool PrepareApplyBuffer(const OwnedIconLayout& layout) {
  const ULONGLONG deadline = GetTickCount64() + kApplyBufferWaitMs;
  while (!PrepareMemory(layout.length + kTransferSlack, kApplyBufferName, layout.bytes.get(),
                        layout.length)) {
    if (GetLastError() != ERROR_ALREADY_EXISTS || GetTickCount64() >= deadline) return false;
    Sleep(kApplyBufferRetryMs);
  }
  return true;
}

// An icon command whose agent is gone (released for a session end that was then
// cancelled, lost with a restarted shell, closed by someone else) connects again, once
// and quietly; the command then reports as it always has if that fails.
bool AgentReady(AgentClient* client) {
  if (AgentAlive(*client)) return true;
  SetExplorerHook(0);  // the lost agent's hook, if it is still recorded
  return ConnectAgent(client).ok();
}

}  // namespace

HWND FindDesktopListView() {
  HWND shell = FindWindowA(kShellWindowClass, nullptr);
  HWND child = shell ? GetTopWindow(shell) : nullptr;
  HWND listView = child ? GetTopWindow(child) : nullptr;
  if (HasClass(listView, kListViewClass)) return listView;
  // Current shells may host the desktop's view under a top-level WorkerW instead.
  if (shell && (listView = ListViewUnder(shell)) != nullptr) return listView;
  for (HWND worker = nullptr; (worker = FindWindowExA(nullptr, worker, "WorkerW", nullptr));) {
    if ((listView = ListViewUnder(worker)) != nullptr) return listView;
  }
  return nullptr;
}

Outcome ConnectAgent(AgentClient* client) {
  client->desktopListView = FindDesktopListView();
  if (!client->desktopListView || !IsWindow(client->desktopListView))
    return Failed(Step::kConnectAgent);
  if (!SameArchitectureAs(client->desktopListView)) return Failed(Step::kConnectAgent);

  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the wake-up needs our queue to exist
  if (!SetExplorerHook(ThreadOf(client->desktopListView))) return Failed(Step::kConnectAgent);
  WaitForAgentWakeUp();
  PostMessageA(client->desktopListView, WM_NULL, 0, 0);
  Sleep(AGENT_SETTLE_MS);

  client->agentWindow = FindAgentWindow(client->desktopListView);
  if (client->agentWindow && SendAgentCommand(*client, AGENT_CMD_PING, client->commandTimeoutMs))
    return Outcome();
  DisconnectAgent(client);
  return Failed(Step::kConnectAgent);
}

bool DisconnectAgent(AgentClient* client) {
  if (client->agentWindow && IsWindow(client->agentWindow)) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(client->agentWindow, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        kCloseTimeoutMs, &ignored);
    Sleep(AGENT_SETTLE_MS);
  }
  return SetExplorerHook(0) != 0;
}

Outcome CaptureIconLayout(AgentClient* client, OwnedIconLayout* out) {
  // A capture that timed out or that the agent refused is not read: the agent may still
  // hold its previous capture under the same name, which would pass for a new one.
  OwnedIconLayout layout;
  DWORD_PTR number = 0;
  if (!AgentReady(client) ||
      !SendAgentCommand(*client, AGENT_CMD_CAPTURE, client->commandTimeoutMs, &number) ||
      number == 0)
    return Failed(Step::kCaptureIcons);
  const bool read = ReadTransferBuffer(kCaptureBufferName, &layout) == TransferReadResult::kOk;
  if (read) ReadNamesBuffer(kCaptureNamesBufferName, &layout);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(client->agentWindow, AGENT_MSG, AGENT_CMD_RELEASE,
                      static_cast<LPARAM>(number), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                      client->commandTimeoutMs, &ignored);
  if (!read) return Failed(Step::kCaptureIcons);
  *out = std::move(layout);
  return Outcome();
}

Outcome ApplyIconLayout(AgentClient* client, const OwnedIconLayout& layout) {
  const uint32_t length = layout.length;
  const uint32_t records = layout.bytes ? UsableRecordCount(layout.bytes.get(), length) : 0;
  if (records > kMaxIconRecords) return Failed(Step::kTooManyIcons, records);
  // Held until the command has returned; a layout without names sends none.
  UniqueHandle namesMapping;
  MappedView namesView;
  if (layout.names && layout.namesLength) {
    UserAccess access;
    namesMapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, access.get(), PAGE_READWRITE, 0,
                                          layout.namesLength, kApplyNamesBufferName));
    if (namesMapping)
      namesView.reset(MapViewOfFile(namesMapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    // Without room for them the icons are found by their labels, as before.
    if (namesView && ViewExtent(namesView.get(), ViewAccess::kWrite) >= layout.namesLength)
      std::memcpy(namesView.get(), layout.names.get(), layout.namesLength);
  }
  const bool applied = layout.bytes && length >= kIconLayoutHeaderSize && AgentReady(client) &&
                       length <= kMaxIconLayoutLength && PrepareApplyBuffer(layout) &&
                       AgentCommandDone(*client, AGENT_CMD_APPLY);
  // Held no longer than the command, not through a message box or until the next apply:
  // another process's apply, perhaps larger, needs these names free.
  ReleaseMemory();
  namesView.reset();
  namesMapping.reset();
  return applied ? Outcome() : Failed(Step::kApplyIcons);
}

BOOL AgentSessionEnding(AgentClient* client, BOOL defaultAnswer) {
  if (!defaultAnswer) return FALSE;
  DisconnectAgent(client);
  return TRUE;
}

}  // namespace kestrin
