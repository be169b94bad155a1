// One main window per session: Kestrin's agent link (the library's shared hook record,
// the agent's title, the transfer buffers) serves one window at a time.
#pragma once

#include <windows.h>

#include "win_handle_win.h"

namespace kestrin {

// Held for the main window's life. When another Kestrin window already runs, Claim()
// brings that window forward and returns false: the caller then ends.
class SingleInstance {
 public:
  bool Claim();

 private:
  UniqueHandle mutex_;
};

// Marks `window` as the one a second start brings forward, and takes the mark off.
void MarkMainWindow(HWND window);
void UnmarkMainWindow(HWND window);

}  // namespace kestrin
