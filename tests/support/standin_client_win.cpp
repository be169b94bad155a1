#include "standin_client_win.h"

#include <cstdio>
#include <cstring>

#include "kestrin_driver_win.h"

std::unique_ptr<StandinDesktop> StandinDesktop::Start(std::string* error, bool underWorkerW,
                                                      const std::string& executable) {
  const std::string exe = kestrin::test::ExecutableDirectory() + executable;
  std::unique_ptr<StandinDesktop> desktop(new StandinDesktop);
  PROCESS_INFORMATION info = {};
  if (!(desktop->process_ = kestrin::test::StartProcess(exe, underWorkerW ? "--workerw" : "", error, &info)))
    return nullptr;
  const std::string pid = std::to_string(info.dwProcessId);
  for (int i = 0; i < 3000 && !desktop->control_ && WaitForSingleObject(desktop->process_.get(), 10) == WAIT_TIMEOUT;)
    desktop->control_ = FindWindowExA(HWND_MESSAGE, nullptr, standin::kControlClass, pid.c_str()), ++i;
  desktop->mapping_.reset(OpenFileMappingA(FILE_MAP_READ, FALSE, (standin::kMappingPrefix + pid).c_str()));
  if (desktop->mapping_) desktop->view_.reset(MapViewOfFile(desktop->mapping_.get(), FILE_MAP_READ, 0, 0, 0));
  if (!desktop->control_ || !desktop->view_ || !desktop->state().listView)
    return *error = exe + " did not answer", nullptr;
  desktop->listView_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(desktop->state().listView));
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
  const char* reply = state().reply;
  for (const char* end; (end = std::strchr(reply, '\n')) != nullptr; reply = end + 1) lines.emplace_back(reply, end);
  return lines;
}

std::string IconBlob(const std::vector<StandinIcon>& icons) {
  auto u32 = [](size_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };  // little-endian
  std::string blob = u32(8 + 268 * icons.size()) + u32(icons.size());
  for (const StandinIcon& icon : icons)
    blob += u32(static_cast<uint32_t>(icon.x)) + u32(static_cast<uint32_t>(icon.y)) +
            (icon.label + std::string(260, '\0')).substr(0, 260);
  return blob;
}

std::vector<StandinIcon> StandinDesktop::Icons() {
  std::vector<StandinIcon> icons;
  for (const std::string& line : Exchange("list")) {
    StandinIcon icon{};
    int labelAt = 0;  // "icon X Y LABEL"
    if (std::sscanf(line.c_str(), "icon %d %d %n", &icon.x, &icon.y, &labelAt) != 2 || !labelAt) return {};
    icon.label = line.substr(static_cast<size_t>(labelAt));
    icons.push_back(icon);
  }
  return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT ? icons : std::vector<StandinIcon>();
}
