#include "standin_client_win.h"

#include <cstdlib>

namespace {

constexpr DWORD kReplyTimeoutMs = 30000;
constexpr DWORD kQuitWaitMs = 5000;
constexpr DWORD kPipeSize = 64 * 1024;
constexpr size_t kMaxReplyLine = 1 << 20;

// Creating inheritable pipe ends and the child is one step: a second Start on another
// thread must not hand its child our ends.
SRWLOCK g_spawnLock = SRWLOCK_INIT;

std::string ModuleDirectory() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string LastError(const std::string& what) { return what + " (error " + std::to_string(GetLastError()) + ")"; }

// Sends `command`; true when its reply is the one line `word` followed by one decimal in
// [0, max] for each of `out` (none for a plain "ok"), which then receive them in order.
template <typename... T>
bool Expect(StandinDesktop* desktop, const std::string& command, const char* word, long long max, T*... out) {
  std::vector<std::string> reply;
  if (!desktop->Exchange(command, &reply) || reply.size() != 1) return false;
  const std::vector<std::string> f = standin::SplitFields(reply[0]);
  long long values[sizeof...(T) + 1] = {};
  if (f.size() != sizeof...(T) + 1 || f[0] != word) return false;
  for (size_t i = 1; i < f.size(); ++i)
    if (!standin::ParseInteger(f[i], 0, max, &values[i - 1])) return false;
  size_t i = 0;
  ((*out = static_cast<T>(values[i++])), ...);
  return true;
}

bool ExpectMicroseconds(StandinDesktop* desktop, const std::string& command, double* us) {
  std::vector<std::string> reply;
  if (!desktop->Exchange(command, &reply) || reply.size() != 1 || reply[0].compare(0, 3, "us ") != 0) return false;
  char* end = nullptr;
  const char* text = reply[0].c_str() + 3;
  double value = std::strtod(text, &end);
  if (end == text || *end) return false;
  *us = value;
  return true;
}

}  // namespace

std::unique_ptr<StandinDesktop> StandinDesktop::Start(const StandinOptions& options, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  std::unique_ptr<StandinDesktop> desktop(new StandinDesktop);
  const std::string exe =
      ModuleDirectory() + (options.executable.empty() ? "standin.exe" : options.executable);
  std::string commandLine = "\"" + exe + "\"" + (options.underWorkerW ? " --workerw" : "");
  {
    AcquireSRWLockExclusive(&g_spawnLock);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr, parentIn = nullptr, parentOut = nullptr, childOut = nullptr;
    bool piped = CreatePipe(&childIn, &parentIn, &inherit, kPipeSize);
    standin::Handle childStdin(childIn);
    desktop->toChild_.reset(parentIn);
    piped = piped && CreatePipe(&parentOut, &childOut, &inherit, kPipeSize);
    standin::Handle childStdout(childOut);
    desktop->fromChild_.reset(parentOut);
    piped = piped && SetHandleInformation(parentIn, HANDLE_FLAG_INHERIT, 0) &&
            SetHandleInformation(parentOut, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION pi{};
    BOOL created = FALSE;
    if (piped) {
      STARTUPINFOA si{};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = childIn;
      si.hStdOutput = childOut;
      created = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    }
    if (!created) *error = LastError(piped ? "cannot start " + exe : "cannot create pipes");
    ReleaseSRWLockExclusive(&g_spawnLock);
    if (!created) return nullptr;
    standin::Handle thread(pi.hThread);
    desktop->process_.reset(pi.hProcess);
  }

  std::vector<std::string> reply;
  if (!desktop->ReadReply(&reply)) {
    *error = desktop->IsRunning() ? "no ready line within 30 s" : "standin.exe exited before it was ready";
    return nullptr;
  }
  std::vector<std::string> f = reply.size() == 1 ? standin::SplitFields(reply[0]) : std::vector<std::string>();
  uintptr_t v[5] = {};
  bool parsed = f.size() == 6 && f[0] == "ready";
  for (size_t i = 0; parsed && i < 5; ++i) parsed = standin::ParseHandleValue(f[i + 1], &v[i]);
  if (!parsed) {
    *error = "bad ready line: " + (reply.empty() ? std::string() : reply[0]);
    return nullptr;
  }
  desktop->progman_ = reinterpret_cast<HWND>(v[0]);
  desktop->defView_ = reinterpret_cast<HWND>(v[1]);
  desktop->listView_ = reinterpret_cast<HWND>(v[2]);
  desktop->uiThreadId_ = static_cast<DWORD>(v[3]);
  desktop->processId_ = static_cast<DWORD>(v[4]);
  return desktop;
}

StandinDesktop::~StandinDesktop() {
  if (!process_) return;
  if (toChild_) WriteAll("quit\n");
  toChild_.reset();  // end-of-file ends it as well
  if (WaitForSingleObject(process_.get(), kQuitWaitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), kQuitWaitMs);
  }
}

bool StandinDesktop::IsRunning() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool StandinDesktop::WriteAll(const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD wrote = 0;
    DWORD chunk = static_cast<DWORD>(data.size() - done < kPipeSize ? data.size() - done : kPipeSize);
    if (!WriteFile(toChild_.get(), data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

// Anonymous pipes cannot be read with a timeout: poll, spinning briefly before sleeping
// so a quick answer costs little latency.
bool StandinDesktop::ReadLine(std::string* line, ULONGLONG deadline) {
  for (unsigned idle = 0;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      line->assign(pending_, 0, nl);
      pending_.erase(0, nl + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    if (pending_.size() > kMaxReplyLine) return false;
    DWORD available = 0;
    if (!PeekNamedPipe(fromChild_.get(), nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available) {
      char buffer[4096];
      DWORD got = 0;
      if (!ReadFile(fromChild_.get(), buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr))
        return false;
      pending_.append(buffer, got);
      idle = 0;
      continue;
    }
    if (GetTickCount64() >= deadline) return false;
    Sleep(++idle < 200 ? 0 : 1);
  }
}

bool StandinDesktop::ReadReply(std::vector<std::string>* reply) {
  reply->clear();
  const ULONGLONG deadline = GetTickCount64() + kReplyTimeoutMs;
  for (std::string line;;) {
    if (!ReadLine(&line, deadline)) {
      broken_ = true;
      return false;
    }
    if (line == "end") return true;
    reply->push_back(line);
  }
}

bool StandinDesktop::Exchange(const std::string& command, std::vector<std::string>* reply) {
  reply->clear();
  if (broken_ || !toChild_) return false;
  if (!WriteAll(command + "\n")) {
    broken_ = true;
    return false;
  }
  return ReadReply(reply);
}

bool StandinDesktop::AddIcon(const std::string& label, int x, int y, int* index) {
  int ignored = 0;
  return Expect(this, "add " + std::to_string(x) + " " + std::to_string(y) + " " + standin::HexEncode(label), "ok",
                0x7FFFFFFF, index ? index : &ignored);
}

bool StandinDesktop::Icons(std::vector<StandinIcon>* icons) {
  icons->clear();
  std::vector<std::string> reply;
  if (!Exchange("list", &reply)) return false;
  for (const std::string& line : reply) {
    std::vector<std::string> f = standin::SplitFields(line);
    long long index = 0, x = 0, y = 0;
    StandinIcon icon;
    if (f.size() != 5 || f[0] != "icon" || !standin::ParseInteger(f[1], 0, 0x7FFFFFFF, &index) ||
        index != static_cast<long long>(icons->size()) ||
        !standin::ParseInteger(f[2], -0x80000000LL, 0x7FFFFFFF, &x) ||
        !standin::ParseInteger(f[3], -0x80000000LL, 0x7FFFFFFF, &y) || !standin::HexDecode(f[4], &icon.label)) {
      icons->clear();
      return false;
    }
    icon.x = static_cast<int>(x);
    icon.y = static_cast<int>(y);
    icons->push_back(icon);
  }
  return true;
}

std::vector<StandinIcon> StandinDesktop::Icons() {
  std::vector<StandinIcon> icons;
  Icons(&icons);
  return icons;
}

bool StandinDesktop::MoveIcon(int index, int x, int y) {
  return Expect(this, "move " + std::to_string(index) + " " + std::to_string(x) + " " + std::to_string(y), "ok", 0);
}

bool StandinDesktop::SetAutoArrange(bool on) { return Expect(this, on ? "autoarrange 1" : "autoarrange 0", "ok", 0); }

bool StandinDesktop::ListViewStyle(unsigned* style) { return Expect(this, "style", "style", 0xFFFFFFFF, style); }

bool StandinDesktop::Hang(unsigned ms) { return Expect(this, "hang " + std::to_string(ms), "ok", 0); }

bool StandinDesktop::AddIconUtf16(const std::wstring& label, int x, int y) {
  const std::string bytes(reinterpret_cast<const char*>(label.data()), label.size() * sizeof(wchar_t));
  int index = 0;
  return Expect(this, "addw " + std::to_string(x) + " " + std::to_string(y) + " " + standin::HexEncode(bytes), "ok",
                0x7FFFFFFF, &index);
}

bool StandinDesktop::PumpDuringNextTextRequest(unsigned ms) {
  return Expect(this, "pump " + std::to_string(ms), "ok", 0);
}

bool StandinDesktop::WaitUntilPumping(unsigned timeoutMs) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs;; Sleep(20)) {
    long pumping = 0;
    if (!Expect(this, "pumping", "pumping", 1, &pumping)) return false;
    if (pumping) return true;
    if (GetTickCount64() >= end) return false;
  }
}

long StandinDesktop::Faults() {
  long count = -1;
  return FaultCount(&count) ? count : -1;
}

bool StandinDesktop::FaultCount(long* count) { return Expect(this, "faults", "faults", 0x7FFFFFFF, count); }

bool StandinDesktop::MoveCounts(long* moves, long* whileAutoArranged) {
  long all = 0, arranged = 0;
  if (!Expect(this, "moves", "moves", 0x7FFFFFFF, &all, &arranged) || arranged > all) return false;
  *moves = all;
  *whileAutoArranged = arranged;
  return true;
}

bool StandinDesktop::ProvokeFault() { return Expect(this, "provoke-fault", "ok", 0); }

bool StandinDesktop::FloorCaptureMicroseconds(double* us) { return ExpectMicroseconds(this, "floor-capture", us); }

bool StandinDesktop::FloorApplyMicroseconds(double* us) { return ExpectMicroseconds(this, "floor-apply", us); }
