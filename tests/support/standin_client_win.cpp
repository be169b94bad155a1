#include "standin_client_win.h"

#include <cstdio>

#include "standin_protocol.h"

namespace {

constexpr DWORD kReplyTimeoutMs = 30000;

// Creating inheritable pipe ends and the child is one step: a Start on another thread
// must not hand its child our ends.
SRWLOCK g_spawnLock = SRWLOCK_INIT;

std::string ModuleDirectory() {
  char path[MAX_PATH] = {};
  const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return full.substr(0, full.find_last_of("\\/") + 1);
}

// One reply line that scanf's `format` reads completely.
template <typename... T>
bool Scan(StandinDesktop* desktop, const std::string& command, const char* format, T*... out) {
  std::vector<std::string> reply;
  return desktop->Exchange(command, &reply) && reply.size() == 1 &&
         std::sscanf(reply[0].c_str(), format, out...) == static_cast<int>(sizeof...(T));
}

bool Ok(StandinDesktop* desktop, const std::string& command) {
  std::vector<std::string> reply;
  return desktop->Exchange(command, &reply) && reply.size() == 1 && reply[0] == "ok";
}

}  // namespace

std::unique_ptr<StandinDesktop> StandinDesktop::Start(const StandinOptions& options, std::string* error) {
  std::unique_ptr<StandinDesktop> desktop(new StandinDesktop);
  const std::string exe = ModuleDirectory() + (options.executable.empty() ? "standin.exe" : options.executable);
  std::string commandLine = "\"" + exe + "\"" + (options.underWorkerW ? " --workerw" : "");
  {
    AcquireSRWLockExclusive(&g_spawnLock);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr, parentIn = nullptr, parentOut = nullptr, childOut = nullptr;
    const bool piped = CreatePipe(&childIn, &parentIn, &inherit, 0) && CreatePipe(&parentOut, &childOut, &inherit, 0);
    kestrin::UniqueHandle childStdin(childIn), childStdout(childOut);
    desktop->toChild_.reset(parentIn);
    desktop->fromChild_.reset(parentOut);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    PROCESS_INFORMATION pi{};
    const bool created = piped && SetHandleInformation(parentIn, HANDLE_FLAG_INHERIT, 0) &&
                         SetHandleInformation(parentOut, HANDLE_FLAG_INHERIT, 0) &&
                         CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (!created) *error = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")";
    ReleaseSRWLockExclusive(&g_spawnLock);
    if (!created) return nullptr;
    CloseHandle(pi.hThread);
    desktop->process_.reset(pi.hProcess);
  }
  std::vector<std::string> reply;
  unsigned long long defView = 0, listView = 0;
  unsigned long thread = 0, process = 0;
  if (!desktop->ReadReply(&reply) || reply.size() != 1 ||
      std::sscanf(reply[0].c_str(), "ready %llu %llu %lu %lu", &defView, &listView, &thread, &process) != 4) {
    *error = "standin.exe did not say it was ready: " + (reply.empty() ? std::string("no reply") : reply[0]);
    return nullptr;
  }
  desktop->defView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(defView));
  desktop->listView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(listView));
  desktop->uiThreadId_ = thread;
  return desktop;
}

StandinDesktop::~StandinDesktop() {
  if (!process_) return;
  DWORD wrote = 0;
  WriteFile(toChild_.get(), "quit\n", 5, &wrote, nullptr);
  toChild_.reset();  // end-of-file ends it as well
  if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) Kill();
}

void StandinDesktop::Kill() {
  TerminateProcess(process_.get(), 1);
  WaitForSingleObject(process_.get(), 5000);
  broken_ = true;
}

// Anonymous pipes cannot be read with a time-out: poll.
bool StandinDesktop::ReadReply(std::vector<std::string>* reply) {
  reply->clear();
  for (const ULONGLONG deadline = GetTickCount64() + kReplyTimeoutMs; !broken_;) {
    const size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      const std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      if (line == "end") return true;
      reply->push_back(line);
      continue;
    }
    DWORD available = 0, got = 0;
    char buffer[4096];
    if (!PeekNamedPipe(fromChild_.get(), nullptr, 0, nullptr, &available, nullptr) || GetTickCount64() > deadline)
      broken_ = true;
    else if (!available)
      Sleep(1);
    else if (ReadFile(fromChild_.get(), buffer, sizeof buffer < available ? sizeof buffer : available, &got, nullptr))
      pending_.append(buffer, got);
  }
  return false;
}

bool StandinDesktop::Exchange(const std::string& command, std::vector<std::string>* reply) {
  const std::string line = command + "\n";
  DWORD wrote = 0;
  if (broken_ || !WriteFile(toChild_.get(), line.data(), static_cast<DWORD>(line.size()), &wrote, nullptr))
    return broken_ = true, false;
  return ReadReply(reply);
}

bool StandinDesktop::AddIcon(const std::string& label, int x, int y) {
  return Ok(this, "add " + std::to_string(x) + " " + std::to_string(y) + " " + standin::HexEncode(label));
}

bool StandinDesktop::AddIconUtf16(const std::wstring& label, int x, int y) {
  const std::string bytes(reinterpret_cast<const char*>(label.data()), label.size() * sizeof(wchar_t));
  return Ok(this, "addw " + std::to_string(x) + " " + std::to_string(y) + " " + standin::HexEncode(bytes));
}

bool StandinDesktop::Icons(std::vector<StandinIcon>* icons) {
  std::vector<std::string> reply;
  icons->clear();
  if (!Exchange("list", &reply)) return false;
  for (const std::string& line : reply) {
    StandinIcon icon{};
    char hex[2100] = {};
    if (std::sscanf(line.c_str(), "icon %d %d %2099s", &icon.x, &icon.y, hex) < 2 ||
        !standin::HexDecode(hex, &icon.label))
      return false;
    icons->push_back(icon);
  }
  return true;
}

bool StandinDesktop::MoveIcon(int index, int x, int y) {
  return Ok(this, "move " + std::to_string(index) + " " + std::to_string(x) + " " + std::to_string(y));
}

bool StandinDesktop::SetAutoArrange(bool on) { return Ok(this, on ? "autoarrange 1" : "autoarrange 0"); }
bool StandinDesktop::ListViewStyle(unsigned* style) { return Scan(this, "style", "style %u", style); }
bool StandinDesktop::Hang(unsigned ms) { return Ok(this, "hang " + std::to_string(ms)); }
bool StandinDesktop::PumpDuringNextTextRequest(unsigned ms) { return Ok(this, "pump " + std::to_string(ms)); }
bool StandinDesktop::MoveCounts(long* moves, long* whileAutoArranged) {
  return Scan(this, "moves", "moves %ld %ld", moves, whileAutoArranged);
}
bool StandinDesktop::FloorMicroseconds(const char* verb, double* us) { return Scan(this, verb, "us %lf", us); }

bool StandinDesktop::WaitUntilPumping(unsigned timeoutMs) {
  int pumping = 0;
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; Scan(this, "pumping", "pumping %d", &pumping); Sleep(20))
    if (pumping || GetTickCount64() > end) return pumping != 0;
  return false;
}

long StandinDesktop::Faults() {
  long count = -1;
  return Scan(this, "faults", "faults %ld", &count) ? count : -1;
}

// The fault is swallowed inside the window procedure; only the count tells.
bool StandinDesktop::ProvokeFault() {
  std::vector<std::string> reply;
  return Exchange("provoke-fault", &reply);
}
