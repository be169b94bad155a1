#include "standin_client_win.h"

#include <cstdio>
#include <cstring>

#include "standin_protocol.h"

std::unique_ptr<StandinDesktop> StandinDesktop::Start(std::string* error, bool underWorkerW,
                                                      const std::string& executable) {
  char path[MAX_PATH] = {};
  std::string exe(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  exe = exe.substr(0, exe.find_last_of("\\/") + 1) + executable;
  std::string commandLine = "\"" + exe + "\"" + (underWorkerW ? " --workerw" : "");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return *error = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")", nullptr;
  CloseHandle(info.hThread);
  std::unique_ptr<StandinDesktop> desktop(new StandinDesktop);
  desktop->process_.reset(info.hProcess);
  const std::string pid = std::to_string(info.dwProcessId);
  for (int i = 0; i < 3000 && !desktop->control_ && WaitForSingleObject(info.hProcess, 10) == WAIT_TIMEOUT;)
    desktop->control_ = FindWindowExA(HWND_MESSAGE, nullptr, standin::kControlClass, pid.c_str()), ++i;
  desktop->mapping_.reset(OpenFileMappingA(FILE_MAP_READ, FALSE, (standin::kReplyMappingPrefix + pid).c_str()));
  if (desktop->mapping_) desktop->reply_.reset(MapViewOfFile(desktop->mapping_.get(), FILE_MAP_READ, 0, 0, 0));
  unsigned long long defView = 0, listView = 0;
  if (!desktop->reply_ || !desktop->Scan("ready", "ready %llu %llu", &defView, &listView))
    return *error = exe + " did not answer", nullptr;
  desktop->defView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(defView));
  desktop->listView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(listView));
  return desktop;
}

StandinDesktop::~StandinDesktop() {
  PostMessageA(control_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
  WaitForSingleObject(process_.get(), 5000);
}

std::vector<std::string> StandinDesktop::Exchange(const std::string& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size()), const_cast<char*>(command.data())};
  DWORD_PTR answered = 0;
  std::vector<std::string> lines;
  if (!SendMessageTimeoutA(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 30000, &answered))
    return lines;
  const char* reply = static_cast<const char*>(reply_.get());
  for (const char* end; (end = std::strchr(reply, '\n')) != nullptr; reply = end + 1) lines.emplace_back(reply, end);
  return lines;
}

// One reply line that scanf's `format` reads completely.
template <typename... T>
bool StandinDesktop::Scan(const std::string& command, const char* format, T*... out) {
  const std::vector<std::string> reply = Exchange(command);
  return reply.size() == 1 && std::sscanf(reply[0].c_str(), format, out...) == static_cast<int>(sizeof...(T));
}

std::string IconBlob(const std::vector<StandinIcon>& icons) {
  auto u32 = [](size_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };  // little-endian
  std::string blob = u32(8 + 268 * icons.size()) + u32(icons.size());
  for (const StandinIcon& icon : icons)
    blob += u32(static_cast<uint32_t>(icon.x)) + u32(static_cast<uint32_t>(icon.y)) +
            (icon.label + std::string(260, '\0')).substr(0, 260);
  return blob;
}

namespace {
std::string Place(int x, int y) { return " " + std::to_string(x) + " " + std::to_string(y) + " "; }
}  // namespace

bool StandinDesktop::AddIcon(const std::string& label, int x, int y) {
  return Exchange("add" + Place(x, y) + label) == std::vector<std::string>{"ok"};
}

bool StandinDesktop::AddIconUtf16(const std::wstring& label, int x, int y) {
  const std::string bytes(reinterpret_cast<const char*>(label.data()), label.size() * sizeof(wchar_t));
  return Exchange("addw" + Place(x, y) + bytes) == std::vector<std::string>{"ok"};
}

bool StandinDesktop::Icons(std::vector<StandinIcon>* icons) {
  icons->clear();
  for (const std::string& line : Exchange("list")) {
    StandinIcon icon{};
    int labelAt = 0;  // "icon X Y LABEL"
    if (std::sscanf(line.c_str(), "icon %d %d %n", &icon.x, &icon.y, &labelAt) != 2 || !labelAt) return false;
    icon.label = line.substr(static_cast<size_t>(labelAt));
    icons->push_back(icon);
  }
  return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool StandinDesktop::MoveIcon(int index, int x, int y) {
  return Exchange("move " + std::to_string(index) + Place(x, y)) == std::vector<std::string>{"ok"};
}

bool StandinDesktop::SetAutoArrange(bool on) { return Exchange(on ? "autoarrange 1" : "autoarrange 0").size() == 1; }
bool StandinDesktop::ListViewStyle(unsigned* style) { return Scan("style", "style %u", style); }
bool StandinDesktop::Hang(unsigned ms) { return Exchange("hang " + std::to_string(ms)).size() == 1; }
bool StandinDesktop::PumpDuringNextTextRequest(unsigned ms) {
  return Exchange("pump " + std::to_string(ms)).size() == 1;
}
bool StandinDesktop::MoveCounts(long* moves, long* whileAutoArranged) {
  return Scan("moves", "moves %ld %ld", moves, whileAutoArranged);
}
bool StandinDesktop::FloorMicroseconds(const char* verb, double* us) { return Scan(verb, "us %lf", us); }

bool StandinDesktop::WaitUntilPumping(unsigned timeoutMs) {
  int pumping = 0;
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; Scan("pumping", "pumping %d", &pumping); Sleep(20))
    if (pumping || GetTickCount64() > end) return pumping != 0;
  return false;
}

long StandinDesktop::Faults() {
  long count = -1;
  return Scan("faults", "faults %ld", &count) ? count : -1;
}

// The fault is swallowed inside the window procedure; only the count tells.
void StandinDesktop::ProvokeFault() {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(control_, standin::kProvokeFaultMessage, 0, 0, SMTO_NORMAL, 10000, &ignored);
}
