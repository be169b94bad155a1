// Drives standin.exe, the stand-in desktop: one command a line over its stdin, the reply
// lines up to "end" from its stdout.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win_handle.h"

struct StandinIcon {
  std::string label;  // bytes in the system's code page, as the list view gives them
  int x;
  int y;
};

struct StandinOptions {
  bool underWorkerW = false;  // DefView under a top-level WorkerW instead of Progman
  std::string executable;     // another build's standin.exe, relative to this program's directory
};

class StandinDesktop {
 public:
  // Starts the stand-in and waits (30 s at most) until it is ready.
  static std::unique_ptr<StandinDesktop> Start(const StandinOptions& options, std::string* error);
  ~StandinDesktop();  // asks it to quit; terminates it if it does not
  StandinDesktop(const StandinDesktop&) = delete;
  StandinDesktop& operator=(const StandinDesktop&) = delete;

  HWND defView() const { return defView_; }
  HWND listView() const { return listView_; }
  DWORD uiThreadId() const { return uiThreadId_; }
  void Kill();  // as a crashed shell: no goodbye

  // False when the stand-in refused the command, did not answer within 30 s, or is gone.
  bool AddIcon(const std::string& label, int x, int y);
  bool AddIconUtf16(const std::wstring& label, int x, int y);
  bool Icons(std::vector<StandinIcon>* icons);
  bool MoveIcon(int index, int x, int y);
  bool SetAutoArrange(bool on);
  bool ListViewStyle(unsigned* style);
  bool Hang(unsigned ms);  // answered at once; the UI thread then stops pumping for ms
  // The next text request runs a modal loop for ms first, as a slow shell folder does.
  bool PumpDuringNextTextRequest(unsigned ms);
  bool WaitUntilPumping(unsigned timeoutMs);
  long Faults();  // access violations inside the stand-in so far, -1 when it does not answer
  bool ProvokeFault();
  // Moves the list view received, and how many came while LVS_AUTOARRANGE was set.
  bool MoveCounts(long* moves, long* whileAutoArranged);
  bool FloorMicroseconds(const char* verb, double* us);  // the benchmark's floor-capture/-apply

  bool Exchange(const std::string& command, std::vector<std::string>* reply);

 private:
  StandinDesktop() = default;
  bool ReadReply(std::vector<std::string>* reply);

  kestrin::UniqueHandle process_, toChild_, fromChild_;
  std::string pending_;
  bool broken_ = false;
  HWND defView_ = nullptr, listView_ = nullptr;
  DWORD uiThreadId_ = 0;
};
