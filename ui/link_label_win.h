// A static text control of a dialog turned into a link: drawn in its own colour and font,
// optionally underlined on its bottom row, with its own cursor, and handing every message
// it does not handle itself to a callback. It replaces the control's window procedure and
// detaches itself when the control is destroyed.
#pragma once

#include <windows.h>

#include "win_handle_win.h"

namespace kestrin {

// Receives the label's other messages before the control's own processing; the label
// ignores the result. Must not throw.
using LinkLabelCallback = int (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  int callbackData);

// One per attached control, reached through the control's user-data slot.
struct LinkLabelState {
  HFONT font = nullptr;  // the control's own (its dialog's), or ownedFont
  UniqueFont ownedFont;  // made from a description here
  UniquePen pen;
  WNDPROC previousWndProc = nullptr;
  HWND control = nullptr;
  LinkLabelCallback callback = nullptr;
  int callbackData = 0;
  COLORREF colour = 0;
  HCURSOR cursor = nullptr;
  int underline = 0;
};

// Makes control `controlId` of `parent` a link label: 1 on success, 0 with the control
// unchanged when it does not exist, is already a link label, or no font or pen can be had.
// Without `fontDescription` the control's own font is used.
int AttachLinkLabel(HWND parent, int controlId, LinkLabelCallback callback, COLORREF colour,
                    const LOGFONTA* fontDescription, int underline, HCURSOR cursor,
                    int callbackData);

LRESULT CALLBACK LinkLabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kestrin
