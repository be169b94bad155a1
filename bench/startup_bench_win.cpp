// Start-up of Kestrin.exe on a stand-in desktop of 100 icons: from CreateProcess to its
// main window becoming visible, against bare_dialog.exe under the same conditions, and
// the peak working set. Medians of several runs; it measures, it does not judge.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "agent_client_win.h"
#include "bench_timing_win.h"
#include "kestrin_driver_win.h"
#include "resource_ids.h"
#include "standin_client_win.h"
#include "win_handle_win.h"

using namespace kestrin;

namespace {

constexpr int kIcons = 100;
constexpr int kRuns = 7;
constexpr double kShowTimeoutMs = 30000;

struct Program {
  const char* file;
  const char* title;
  int controlId;  // a control only the awaited window has (a message box shares the title)
  std::vector<double> startMs;
  std::vector<double> peakMiB;
};

std::string ModuleDirectory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

bool ShownWindowOf(DWORD processId, const Program& program) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, nullptr, program.title)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == processId && IsWindowVisible(w) && GetDlgItem(w, program.controlId)) return true;
  }
  return false;
}

// One start on a fresh stand-in desktop: Wine never unloads the agent library from a
// process, so a second Kestrin.exe on the same stand-in would get no wake-up.
bool MeasureOnce(const std::string& dir, Program* program, std::string* error) {
  auto desktop = StandinDesktop::Start(error);
  if (!desktop) return false;
  for (int i = 0; i < kIcons; ++i) {
    if (!desktop->AddIcon("Icon number " + std::to_string(i), 10 + 75 * (i % 10),
                          10 + 75 * (i / 10))) {
      *error = "adding icons to the stand-in desktop";
      return false;
    }
  }
  const std::string exe = dir + program->file;
  PROCESS_INFORMATION info{};
  const double start = NowMilliseconds();
  UniqueHandle process = test::StartProcess(exe, "", error, &info);
  if (!process) return false;
  bool shown = false;
  while (!(shown = ShownWindowOf(info.dwProcessId, *program)) &&
         NowMilliseconds() - start < kShowTimeoutMs &&
         WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
    Sleep(1);
  }
  const double elapsed = NowMilliseconds() - start;
  // Read once the window has drawn itself, and before the process is ended.
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  bool measured = false;
  DWORD memoryError = 0;
  if (shown) {
    WaitForInputIdle(process.get(), 5000);
    measured = GetProcessMemoryInfo(process.get(), &memory, sizeof memory) != 0;
    if (!measured) memoryError = GetLastError();
  }
  // Its agent window stays behind in the stand-in, which goes with this run.
  TerminateProcess(process.get(), 1);
  WaitForSingleObject(process.get(), 5000);
  if (!shown) {
    *error = std::string(program->file) + " showed no window \"" + program->title + "\" within " +
             std::to_string(static_cast<int>(elapsed)) + " ms (a start-up message box?)";
    return false;
  }
  if (!measured) {
    *error = "GetProcessMemoryInfo failed (error " + std::to_string(memoryError) + ")";
    return false;
  }
  program->startMs.push_back(elapsed);
  program->peakMiB.push_back(double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));
  return true;
}

void PrintFigures(const Program& p) {
  std::printf("%-16s %6.0f ms  (runs %.0f..%.0f ms)  peak working set %5.1f MiB\n", p.file,
              Median(p.startMs), *std::min_element(p.startMs.begin(), p.startMs.end()),
              *std::max_element(p.startMs.begin(), p.startMs.end()), Median(p.peakMiB));
}

}  // namespace

int main() {
  const std::string dir = ModuleDirectory();
  Program kestrinExe{"Kestrin.exe", "Kestrin", IDC_SAVE_CURRENT, {}, {}};
  Program bare{"bare_dialog.exe", "Bare dialog", IDCANCEL, {}, {}};
  std::string error;
  // Alternating, so a slow spell of the machine weighs on both alike.
  for (int run = 0; run < kRuns; ++run) {
    for (Program* p : {&kestrinExe, &bare}) {
      if (!MeasureOnce(dir, p, &error)) {
        std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
        return 1;
      }
    }
  }
  std::printf(
      "Start-up to a visible main window, stand-in desktop of %d icons, median of %d runs (%s)\n",
      kIcons, kRuns, sizeof(void*) == 8 ? "x64" : "x86");
  PrintFigures(kestrinExe);
  PrintFigures(bare);
  const double extra = Median(kestrinExe.startMs) - Median(bare.startMs);
  std::printf(
      "Kestrin.exe takes %.0f ms more than the bare dialog, of which %lu ms is the agent settle "
      "pause\n",
      extra, static_cast<unsigned long>(AGENT_SETTLE_MS));
  std::fflush(stdout);
  return 0;
}
