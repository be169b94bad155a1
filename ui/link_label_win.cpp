#include "link_label_win.h"

#include <memory>
#include <new>

#include "link_label_geometry.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

// BeginPaint and EndPaint around a paint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC and puts the one it replaced back.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

LinkLabelState* StateOf(HWND window) {
  return reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Paint(HWND window, const LinkLabelState& state) {
  PaintScope paint(window);
  if (!paint.dc()) return;
  RECT client{};
  GetClientRect(window, &client);

  char text[kLinkTextBufferSize] = {};
  const std::size_t length = LinkTextDrawnLength(GetWindowTextA(window, text, kLinkTextMaxCount));
  text[length] = '\0';
  const auto style = static_cast<std::uint32_t>(GetWindowLongPtrA(window, GWL_STYLE));
  const unsigned format = LinkLabelDrawFormat(style);

  SetTextColor(paint.dc(), state.colour);
  SelectScope font(paint.dc(), state.font);
  SetBkMode(paint.dc(), TRANSPARENT);
  DrawTextA(paint.dc(), text, -1, &client, format);

  if (state.underline) {
    SIZE extent{};
    GetTextExtentPointA(paint.dc(), text, static_cast<int>(length), &extent);
    SelectScope pen(paint.dc(), state.pen.get());
    const UnderlineSpan span = LinkUnderlineSpan(format, client.right, extent.cx);
    MoveToEx(paint.dc(), span.from, client.bottom - 1, nullptr);
    LineTo(paint.dc(), span.to, client.bottom - 1);
  }
}

// Puts the control back as it was and releases what the label owned.
LRESULT Detach(HWND window, LinkLabelState* state, WPARAM wParam, LPARAM lParam) {
  const LRESULT result =
      CallWindowProcA(state->previousWndProc, window, WM_DESTROY, wParam, lParam);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->previousWndProc));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  delete state;  // with its pen and any font it made
  return result;
}

}  // namespace

int AttachLinkLabel(HWND parent, int controlId, LinkLabelCallback callback, COLORREF colour,
                    const LOGFONTA* fontDescription, int underline, HCURSOR cursor,
                    int callbackData) {
  HWND control = GetDlgItem(parent, controlId);
  if (!control) return 0;
  // A second attach would make the label forward to itself for ever.
  if (GetWindowLongPtrA(control, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&LinkLabelWndProc))
    return 0;

  std::unique_ptr<LinkLabelState> state(new (std::nothrow) LinkLabelState);
  if (!state) return 0;

  if (fontDescription) {
    state->ownedFont.reset(CreateFontIndirectA(fontDescription));
    state->font = state->ownedFont.get();
  } else {
    state->font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  }
  if (!state->font) return 0;

  state->pen.reset(CreatePen(PS_SOLID, 1, colour));
  if (!state->pen) return 0;

  state->colour = colour;
  state->cursor = cursor;
  state->callback = callback;
  state->callbackData = callbackData;
  state->control = control;
  state->underline = underline;

  // The record goes in first, so the new procedure never runs without it.
  const LONG_PTR previousUserData =
      SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.get()));
  const LONG_PTR previous =
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkLabelWndProc));
  if (!previous) {
    SetWindowLongPtrA(control, GWLP_USERDATA, previousUserData);
    return 0;
  }
  state->previousWndProc = reinterpret_cast<WNDPROC>(previous);

  // A static control passes mouse messages through to its dialog unless it notifies.
  SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
  state.release();
  return 1;
}

LRESULT CALLBACK LinkLabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LinkLabelState* state = StateOf(window);
  if (!state) return DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_DESTROY:
      return Detach(window, state, wParam, lParam);
    case WM_SETTEXT: {
      const LRESULT result =
          CallWindowProcA(state->previousWndProc, window, message, wParam, lParam);
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
      return result;
    }
    case WM_PAINT:
      Paint(window, *state);
      return 0;
    case WM_SETCURSOR:
      if (state->cursor) SetCursor(state->cursor);
      return 0;
    default:
      break;
  }
  if (state->callback) {
    // No exception may unwind into the window system.
    try {
      state->callback(window, message, wParam, lParam, state->callbackData);
    } catch (...) {
    }
  }
  return CallWindowProcA(state->previousWndProc, window, message, wParam, lParam);
}

}  // namespace kestrin
