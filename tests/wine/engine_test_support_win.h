// Support for the engine's Wine tests: a dialog carrying the main window's control ids,
// and a watcher that reads and dismisses the message boxes the engine shows.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class BoxIcon { kNone, kExclamation, kStop, kOther };

struct ShownMessage {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::kNone;
  HWND owner = nullptr;
};

// A modeless dialog with the ids of the main window's controls (test resource 200),
// created on the calling thread and destroyed with the object.
class EngineTestDialog {
 public:
  EngineTestDialog();
  ~EngineTestDialog();
  EngineTestDialog(const EngineTestDialog&) = delete;
  EngineTestDialog& operator=(const EngineTestDialog&) = delete;

  HWND hwnd() const { return hwnd_; }
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  bool IsEnabled(int id) const;
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);

 private:
  HWND hwnd_ = nullptr;
};

// Watches the windows of one thread for message boxes; records each box's caption, text
// and icon and presses its OK button. Start it before the code that shows boxes runs on
// that thread.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD threadId = GetCurrentThreadId());
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // The boxes seen so far, in order; clears the record.
  std::vector<ShownMessage> Take();

 private:
  void Run();
  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<ShownMessage> seen_;
  std::thread watcher_;
};

// The program's caption for this test executable (its file name without extension).
std::string TestProgramTitle();
