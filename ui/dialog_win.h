// The thin dialog layer: a dialog from a template, run modally with a loop of its own so
// that every message passes the window's pre-translation before the dialog manager's
// keyboard handling; clicks dispatched through a per-class command map.
#pragma once

#include <windows.h>

namespace kestrin {

class Dialog {
 public:
  Dialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Creates the window, initialises it, runs until EndDialog, destroys the window and
  // returns EndDialog's result; -1 when the window could not be created.
  INT_PTR RunModal();
  void EndDialog(INT_PTR result);
  HWND hwnd() const { return hwnd_; }

 protected:
  // WM_INITDIALOG; true lets the dialog manager set the focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  // Each message for the window or its controls, before the dialog's keyboard handling;
  // true when it was handled and must go no further.
  virtual bool PreTranslateMessage(MSG*) { return false; }
  // A click (notification 0) from control `id`; false when the map has no entry.
  virtual bool OnCommand(int) { return false; }
  // Any other message; true with *result set when handled.
  virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }
  // WM_DESTROY, before the window goes.
  virtual void OnDestroy() {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND parent_;
  HWND hwnd_ = nullptr;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

// A command map: one {id, handler} line per control, kept beside the class it serves.
template <typename Derived>
struct CommandEntry {
  int id;
  void (Derived::*handler)();
};

template <typename Derived, size_t N>
bool DispatchCommand(Derived* self, const CommandEntry<Derived> (&map)[N], int id) {
  for (const CommandEntry<Derived>& entry : map) {
    if (entry.id == id) {
      (self->*entry.handler)();
      return true;
    }
  }
  return false;
}

}  // namespace kestrin
