// Kestrin's third face, /Watch: no window of its own to see, an icon in the notification
// area, and the desktop guarded: each resolution's icon layout and ramp recorded, and put
// back after a display change, a shell restart or a return to the session.
#pragma once

#include <functional>
#include <string>

namespace kestrin {

// Runs the watcher until it is stopped; `say` gets the one line a second watcher writes.
// The process's exit code.
int RunWatcher(const std::function<void(const std::string&)>& say);

// Ends the running watcher: 0 once it has gone, 1 (after `say`) when none runs.
int StopWatcher(const std::function<void(const std::string&)>& say);

}  // namespace kestrin
