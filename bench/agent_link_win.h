// Drives Lumiq.dll from the test process the way the program does: hook the list view's
// thread, wait for the agent's wake-up, find the agent by its title, send it commands, close
// it and unhook. Every wait is bounded so that a broken agent fails a test instead of
// hanging the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class AgentLink {
 public:
  AgentLink() = default;
  AgentLink(const AgentLink&) = delete;
  AgentLink& operator=(const AgentLink&) = delete;
  ~AgentLink() { Close(); }

  // False with the reason in *why when any step fails.
  bool Connect(HWND listView, std::string* why);
  HWND agent() const { return agent_; }

  // SendMessageTimeout of AGENT_MSG; false when the agent did not answer in time.
  // `result` gets the agent's answer: 1 for a capture or apply it carried out.
  bool Send(uintptr_t command, LPARAM lParam, DWORD_PTR* result = nullptr);
  // Leaves agent and hook as they are, as a program that is killed does.
  void Abandon() { agent_ = nullptr, hooked_ = false; }
  // Capture command, which must answer 1; then the capture buffer's bytes (its whole blob,
  // `totalLength` long) and the buffer object's own size, read without the library's reader.
  bool Capture(std::vector<uint8_t>* blob, uint64_t* bufferSize, std::string* why);
  // PrepareMemory(L + 10, apply buffer, blob, L), then the apply command; true when it
  // answered 1.
  bool Apply(const std::vector<uint8_t>& blob);
  // WM_CLOSE, the 300 ms pause, SetExplorerHook(0); returns SetExplorerHook's result.
  int Close();

 private:
  HWND listView_ = nullptr;
  HWND agent_ = nullptr;
  bool hooked_ = false;
};

// The size the system gives a named mapping (what CreateFileMapping was asked for),
// through ntdll's section query; 0 when the name does not open.
uint64_t NamedBufferSize(const char* name);
// The named buffer's first `count` bytes (fewer if its view is smaller); empty if missing.
std::vector<uint8_t> NamedBufferBytes(const char* name, size_t count);
bool NamedBufferExists(const char* name);

// The size NamedBufferSize reports for a buffer created with `requested` bytes. Windows
// reports the size asked for; Wine (gap) reports it rounded up to whole pages.
uint64_t ExpectedBufferSize(uint64_t requested);
bool RunningUnderWine();

// Test-side blob building: labels and positions as given, bytes laid out by hand.
struct TestIcon {
  std::string label;  // up to 260 bytes; exactly 260 leaves the record unterminated
  int32_t x;
  int32_t y;
};
std::vector<uint8_t> MakeBlob(const std::vector<TestIcon>& icons);
