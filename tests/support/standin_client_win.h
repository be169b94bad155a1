// Drives standin.exe, the stand-in desktop: a command is sent as WM_COPYDATA to its control
// window, the reply's lines are read from its reply mapping.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win_handle_win.h"

struct StandinIcon {
  std::string label;  // bytes in the system's code page, as the list view gives them
  int x;
  int y;
};

// The icon layout's bytes for these icons: length, count, then per icon x, y and the
// label in 260 zero-padded bytes (cut there).
std::string IconBlob(const std::vector<StandinIcon>& icons);

class StandinDesktop {
 public:
  // Starts the stand-in (from `executable` relative to this program's directory) and waits,
  // 30 s at most, until it answers. With `underWorkerW`, the DefView lies under a WorkerW.
  static std::unique_ptr<StandinDesktop> Start(std::string* error, bool underWorkerW = false,
                                               const std::string& executable = "standin.exe");
  ~StandinDesktop();  // asks it to quit; terminates it if it does not

  HWND defView() const { return defView_; }
  HWND listView() const { return listView_; }

  // False when the stand-in refused the command, did not answer within 30 s, or is gone.
  bool AddIcon(const std::string& label, int x, int y);
  bool AddIconUtf16(const std::wstring& label, int x, int y);
  bool AddIcons(int count) { return Exchange("addmany " + std::to_string(count)).size() == 1; }  // "Icon 0" ...
  bool Icons(std::vector<StandinIcon>* icons);
  bool MoveIcon(int index, int x, int y);
  bool SetAutoArrange(bool on);
  bool ListViewStyle(unsigned* style);
  bool Hang(unsigned ms);  // answered at once; the UI thread then stops pumping for ms
  // The next text request runs a modal loop for ms first, as a slow shell folder does.
  bool PumpDuringNextTextRequest(unsigned ms);
  bool WaitUntilPumping(unsigned timeoutMs);
  long Faults();  // access violations inside the stand-in so far, -1 when it does not answer
  void ProvokeFault();
  // Moves the list view received, and how many came while LVS_AUTOARRANGE was set.
  bool MoveCounts(long* moves, long* whileAutoArranged);
  bool FloorMicroseconds(const char* verb, double* us);           // the benchmark's floor-capture/-apply
  std::vector<std::string> Exchange(const std::string& command);  // the reply's lines

 private:
  StandinDesktop() = default;
  template <typename... T>
  bool Scan(const std::string& command, const char* format, T*... out);

  kestrin::UniqueHandle process_, mapping_;
  kestrin::MappedView reply_;
  HWND control_ = nullptr, defView_ = nullptr, listView_ = nullptr;
  std::mutex mutex_;  // one command at a time: the reply mapping is shared
};
