#include "agent_link_win.h"

#include <cstring>

#include "agent_protocol.h"
#include "icon_layout.h"
#include "lumiq_win.h"
#include "win_handle_win.h"

using namespace kestrin;

namespace {

constexpr DWORD kWakeUpTimeoutMs = 15000;
constexpr DWORD kCommandTimeoutMs = 15000;
constexpr DWORD kSettleMs = 300;

// Waits for the WM_NULL thread message the agent posts once its window exists.
bool WaitForWakeUp(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == nullptr && msg.message == WM_NULL) return true;
      DispatchMessageA(&msg);
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
  }
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

bool AgentLink::Connect(HWND listView, std::string* why) {
  listView_ = listView;
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the wake-up needs our queue to exist
  const DWORD thread = GetWindowThreadProcessId(listView, nullptr);
  if (!thread) return *why = "list view has no thread", false;
  const int hooked = SetExplorerHook(thread);
  hooked_ = true;
  if (!hooked) return *why = "SetExplorerHook failed", false;
  if (!WaitForWakeUp(kWakeUpTimeoutMs)) return *why = "no wake-up from the agent", false;
  PostMessageA(listView, WM_NULL, 0, 0);
  Sleep(kSettleMs);
  agent_ = FindWindowA(nullptr, kAgentWindowTitle);
  if (!agent_) return *why = "agent window not found by its title", false;
  if (!Send(AGENT_CMD_PING, 0)) return *why = "agent did not answer the ping", false;
  return true;
}

bool AgentLink::Send(uintptr_t command, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR answer = 0;
  const bool answered = SendMessageTimeoutA(agent_, AGENT_MSG, command, lParam, SMTO_NORMAL,
                                            kCommandTimeoutMs, &answer) != 0;
  if (result) *result = answer;
  return answered;
}

bool AgentLink::Capture(std::vector<uint8_t>* blob, uint64_t* bufferSize, std::string* why) {
  DWORD_PTR result = 0;
  if (!Send(AGENT_CMD_CAPTURE, reinterpret_cast<LPARAM>(listView_), &result))
    return *why = "capture command timed out", false;
  if (result != 1)
    return *why = "the agent answered the capture with " + std::to_string(result), false;
  *bufferSize = NamedBufferSize(kCaptureBufferName);
  const std::vector<uint8_t> head = NamedBufferBytes(kCaptureBufferName, 8);
  if (head.size() < 8) return *why = "capture buffer missing", false;
  uint32_t length;
  std::memcpy(&length, head.data(), 4);
  *blob = NamedBufferBytes(kCaptureBufferName, length);
  if (blob->size() != length) return *why = "capture buffer shorter than its length word", false;
  return true;
}

bool AgentLink::Apply(const std::vector<uint8_t>& blob) {
  uint32_t length;
  std::memcpy(&length, blob.data(), 4);
  DWORD_PTR result = 0;
  if (!PrepareMemory(length + 10, kApplyBufferName, blob.data(), length)) return false;
  return Send(AGENT_CMD_APPLY, reinterpret_cast<LPARAM>(listView_), &result) && result == 1;
}

int AgentLink::Close() {
  if (agent_ && IsWindow(agent_)) {
    DWORD_PTR result;
    SendMessageTimeoutA(agent_, WM_CLOSE, 0, 0, SMTO_NORMAL, kCommandTimeoutMs, &result);
    Sleep(kSettleMs);
  }
  agent_ = nullptr;
  if (!hooked_) return 0;
  hooked_ = false;
  return SetExplorerHook(0);
}

uint64_t NamedBufferSize(const char* name) {
  struct SectionBasicInformation {
    PVOID base;
    ULONG attributes;
    LARGE_INTEGER size;
  };
  using QuerySection = LONG(WINAPI*)(HANDLE, int, PVOID, SIZE_T, PSIZE_T);
  static const auto query = reinterpret_cast<QuerySection>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySection")));
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
  if (!mapping || !query) return 0;
  SectionBasicInformation info = {};
  if (query(mapping.get(), 0 /* SectionBasicInformation */, &info, sizeof info, nullptr) != 0)
    return 0;
  return static_cast<uint64_t>(info.size.QuadPart);
}

std::vector<uint8_t> NamedBufferBytes(const char* name, size_t count) {
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
  if (!mapping) return {};
  MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return {};
  const size_t available = std::min(count, ViewExtent(view.get(), ViewAccess::kRead));
  const auto* bytes = static_cast<const uint8_t*>(view.get());
  return std::vector<uint8_t>(bytes, bytes + available);
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

uint64_t ExpectedBufferSize(uint64_t requested) {
  if (!RunningUnderWine()) return requested;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return (requested + system.dwPageSize - 1) / system.dwPageSize * system.dwPageSize;
}

bool NamedBufferExists(const char* name) {
  return UniqueHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, name)).get() != nullptr;
}

std::vector<uint8_t> MakeBlob(const std::vector<TestIcon>& icons) {
  std::vector<uint8_t> blob;
  PutU32(blob, static_cast<uint32_t>(8 + 268 * icons.size()));
  PutU32(blob, static_cast<uint32_t>(icons.size()));
  for (const TestIcon& icon : icons) {
    PutU32(blob, static_cast<uint32_t>(icon.x));
    PutU32(blob, static_cast<uint32_t>(icon.y));
    uint8_t label[260] = {};
    std::memcpy(label, icon.label.data(), std::min<size_t>(icon.label.size(), sizeof label));
    blob.insert(blob.end(), label, label + sizeof label);
  }
  return blob;
}
