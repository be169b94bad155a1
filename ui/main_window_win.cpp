#include "main_window_win.h"

#include <commctrl.h>

#include "about_box_win.h"
#include "agent_client_win.h"
#include "gamma_win.h"
#include "message_box_win.h"
#include "resource_ids.h"
#include "save_restore_win.h"
#include "single_instance_win.h"
#include "window_engine_win.h"

namespace kestrin {
namespace {

constexpr COLORREF kValueColour = 0x00C80000;
constexpr COLORREF kTimeColour = 0x00808080;
constexpr int kFoldMargin = 13;  // pixels below Exit at 96 DPI

struct ToolTip {
  int id;
  const char* text;
};
const ToolTip kToolTips[] = {
    {IDC_SAVE_CURRENT,
     "Save current screen resolution, desktop icons position and gamma adjustment."},
    {IDC_RESTORE_SAVED,
     "Restore saved screen resolution, desktop icons position and gamma adjustment."},
    {IDC_UNDO_ALL,
     "Back to screen resolution, desktop icons position and gamma adjustment as it was "
     "when this program started."},
    {IDC_FOLD, "Hide or show advanced program options."},
    {IDCANCEL, "Exit this program."},
    {IDC_APPLY_SAVED_MODE, "Return to saved screen resolution."},
    {IDC_UNDO_MODE, "Back to screen resolution as it was when the program started."},
    {IDC_RESTORE_DEFAULT_MODE, "Return to the default mode after a dynamic mode change."},
    {IDC_APPLY_SAVED_ICONS, "Return to saved desktop icons position."},
    {IDC_UNDO_ICONS,
     "Restore desktop icons to the positions as they were when the program started."},
    {IDC_APP_ICON, "Show About box for this program."},
    {IDC_APPLY_TEMPORARILY,
     "The graphics mode for the current screen will not be saved. After restart the "
     "computer will return to the old mode."},
    {IDC_APPLY_AND_SAVE,
     "The graphics mode for the current screen will be changed and saved (updated in the "
     "system registry). The mode information is stored in the USER profile."},
    {IDC_ALL_USERS,
     "The settings will be saved in the global settings area so that they will affect "
     "all users on the machine."},
    {IDC_RESTORE_ICONS_CHECK,
     "When \"Restore Saved\" button is pressed and this box is checked, icons position "
     "will be restored."},
    {IDC_RESTORE_MODE_CHECK,
     "When \"Restore Saved\" button is pressed and this box is checked, screen resolution "
     "will be restored."},
    {IDC_RESTORE_GAMMA_CHECK,
     "When \"Restore Saved\" button is pressed and this box is checked, gamma adjustment "
     "will be restored."},
    {IDC_APPLY_SAVED_GAMMA, "Return to saved gamma adjustment value."},
    {IDC_UNDO_GAMMA, "Back to gamma adjustment value as it was when the program started."},
};

struct ControlText {
  int id;
  const char* text;
};
// Written over the template's texts, in this order.
const ControlText kControlTexts[] = {
    {IDC_SAVE_CURRENT, "Save Current"},
    {IDC_RESTORE_SAVED, "Restore Saved"},
    {IDC_UNDO_ALL, "Undo"},
    {IDC_FOLD, "More >>"},
    {IDCANCEL, "Exit"},
    {IDC_APPLY_SAVED_MODE, "Apply Saved"},
    {IDC_UNDO_MODE, "Undo"},
    {IDC_RESTORE_DEFAULT_MODE, "Try to restore system default"},
    {IDC_APPLY_SAVED_ICONS, "Apply Saved"},
    {IDC_UNDO_ICONS, "Undo"},
    {IDC_APPLY_TEMPORARILY, "Apply temporarily"},
    {IDC_APPLY_AND_SAVE, "Apply and save as default"},
    {IDC_ALL_USERS, "Affects all users on the machine"},
    {IDC_RESOLUTION_GROUP, "Resolution"},
    {IDC_ICONS_GROUP, "Icons"},
    {IDC_CURRENT_SIZE_LABEL, "Screen resolution:"},
    {IDC_CURRENT_BITS_LABEL, "Color resolution:"},
    {IDC_CURRENT_BITS_UNIT, "bits"},
    {IDC_CURRENT_FREQUENCY_LABEL, "Frequency:"},
    {IDC_SAVED_SIZE_LABEL, "Screen resolution:"},
    {IDC_SAVED_BITS_LABEL, "Color resolution:"},
    {IDC_SAVED_BITS_UNIT, "bits"},
    {IDC_SAVED_FREQUENCY_LABEL, "Frequency:"},
    {IDC_SAVED_FREQUENCY_UNIT, "Hz"},
    {IDC_SAVED_GROUP, " Saved "},
    {IDC_CURRENT_GROUP, " Current "},
    {IDC_SAVE_TIME_LABEL, "Save time:"},
    {IDC_GAMMA_GROUP, "Gamma"},
    {IDC_RESTORE_ICONS_CHECK, "Restore icons when \"Restore Saved\" button pressed"},
    {IDC_RESTORE_MODE_CHECK, "Restore resolution when \"Restore Saved\" button pressed"},
    {IDC_RESTORE_GAMMA_CHECK, "Restore gamma when \"Restore Saved\" button pressed"},
    {IDC_APPLY_SAVED_GAMMA, "Apply Saved"},
    {IDC_UNDO_GAMMA, "Undo"},
};

const int kHeadingControls[] = {IDC_SAVE_CURRENT, IDC_RESTORE_SAVED,    IDC_UNDO_ALL,
                                IDC_ICONS_GROUP,  IDC_RESOLUTION_GROUP, IDC_GAMMA_GROUP};

// The wait cursor for the life of the object; the previous one comes back after.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace

const CommandEntry<MainWindow> MainWindow::kCommands[15] = {
    {IDC_SAVE_CURRENT, &MainWindow::OnSaveCurrent},
    {IDC_RESTORE_SAVED, &MainWindow::OnRestoreSaved},
    {IDC_UNDO_ALL, &MainWindow::OnUndoAll},
    {IDC_FOLD, &MainWindow::OnFold},
    {IDCANCEL, &MainWindow::OnCancel},
    {IDC_APP_ICON, &MainWindow::OnAppIcon},
    {IDC_APPLY_SAVED_ICONS, &MainWindow::OnApplySavedIcons},
    {IDC_UNDO_ICONS, &MainWindow::OnUndoIcons},
    {IDC_APPLY_SAVED_GAMMA, &MainWindow::OnApplySavedGamma},
    {IDC_UNDO_GAMMA, &MainWindow::OnUndoGamma},
    {IDC_APPLY_SAVED_MODE, &MainWindow::OnApplySavedMode},
    {IDC_UNDO_MODE, &MainWindow::OnUndoMode},
    {IDC_RESTORE_DEFAULT_MODE, &MainWindow::OnRestoreDefaultMode},
    {IDC_VIEW_CURRENT, &MainWindow::OnViewCurrent},
    {IDC_VIEW_SAVED, &MainWindow::OnViewSaved},
};

MainWindow::MainWindow(HWND parent) : Dialog(IDD_MAIN, parent) {
  appIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
}

BOOL MainWindow::OnInitDialog() {
  HWND window = hwnd();
  MarkMainWindow(window);
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, SYSCMD_ABOUT, "&About Kestrin...");
  }
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));

  CaptureStartupDisplayMode(&startup);
  ShowCurrentDisplayMode(window);
  ShowSavedSettings(window);
  CheckDlgButton(window, IDC_APPLY_AND_SAVE, BST_CHECKED);

  GetWindowRect(window, &fullRect);
  foldedRect = fullRect;
  RECT exitRect;
  GetWindowRect(GetDlgItem(window, IDCANCEL), &exitRect);
  // Dialog units scale with the DPI; this pixel margin must too (identical at 96 DPI).
  int dpi = 96;
  if (const ScreenDC screen(window); screen.get()) dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  foldedRect.bottom = exitRect.bottom + MulDiv(kFoldMargin, dpi, 96);
  isUnfolded = 1;

  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    // Centred in the work area; one too small for the whole window keeps at least its
    // title bar (and left edge) on screen.
    const RECT& work = monitor.rcWork;
    const int width = fullRect.right - fullRect.left, height = fullRect.bottom - fullRect.top;
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(window, nullptr, left < work.left ? work.left : left,
                 top < work.top ? work.top : top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  OnFold();

  LOGFONTA font = {};
  const auto dialogFont =
      reinterpret_cast<HFONT>(SendDlgItemMessageA(window, IDC_SAVE_CURRENT, WM_GETFONT, 0, 0));
  if (dialogFont && GetObjectA(dialogFont, sizeof font, &font) == sizeof font) {
    font.lfWeight = FW_BOLD;
    headingFont.reset(CreateFontIndirectA(&font));
  }
  for (int id : kHeadingControls)
    SendDlgItemMessageA(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont.get()), TRUE);

  // A second, reported try: the shell may have been busy a moment.
  if (!ConnectAgent(&agent).ok()) ShowOutcome(window, ConnectAgent(&agent));
  ShowOutcome(window, CaptureIconLayout(&agent, &startup.startupIcons));
  ShowOutcome(window, ReadGamma(&startup.startupGamma));

  CreateToolTips();
  SetControlTexts();
  CheckParts(window, ReadOptions());
  return TRUE;
}

void MainWindow::CreateToolTips() {
  HWND window = hwnd();
  toolTips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!toolTips) return;  // the window works without them
  SendMessageA(toolTips, TTM_ACTIVATE, TRUE, 0);
  SendMessageA(toolTips, TTM_SETMAXTIPWIDTH, 0, 300);
  SendMessageA(toolTips, TTM_SETTIPBKCOLOR, 0x00FFFFAA, 0);
  // The longest time Windows accepts for a tip to stay up.
  SendMessageA(toolTips, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(32767, 0));
  for (const ToolTip& tip : kToolTips) {
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;  // the control's whole area; no subclassing: we relay
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, tip.id));
    tool.lpszText = const_cast<char*>(tip.text);
    SendMessageA(toolTips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainWindow::SetControlTexts() {
  for (const ControlText& control : kControlTexts)
    SetDlgItemTextA(hwnd(), control.id, control.text);
}

bool MainWindow::PreTranslateMessage(MSG* msg) {
  if (toolTips) SendMessageA(toolTips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  return false;
}

bool MainWindow::OnCommand(int id) { return DispatchCommand(this, kCommands, id); }

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  HWND window = hwnd();
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SYSCMD_ABOUT) return false;
      OnAppIcon();  // the menu's About opens what the icon opens
      *result = TRUE;
      return true;
    case WM_PAINT:
      if (!IsIconic(window)) return false;
      *result = PaintMinimised();
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(appIcon);
      return true;
    case WM_CTLCOLORSTATIC: {
      // The value and save-time fields get their text colour on top of the framework's
      // colours and brush; every other control keeps the framework's answer.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      const bool value = id >= IDC_CURRENT_SIZE && id <= IDC_SAVED_SIZE;
      const bool time = id == IDC_SAVE_TIME_LABEL || id == IDC_SAVE_TIME;
      if (!value && !time) return false;
      const LRESULT brush = DefWindowProcA(window, message, wParam, lParam);
      SetTextColor(reinterpret_cast<HDC>(wParam), value ? kValueColour : kTimeColour);
      *result = static_cast<INT_PTR>(brush);
      return true;
    }
    case WM_QUERYENDSESSION: {
      const BOOL mayEnd = static_cast<BOOL>(DefWindowProcA(window, message, wParam, lParam));
      SetWindowLongPtrA(window, DWLP_MSGRESULT, AgentSessionEnding(&agent, mayEnd));
      *result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

bool MainWindow::PaintMinimised() {
  HWND window = hwnd();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(window, &client);
  DrawIcon(dc, (client.right - client.left - cx + 1) / 2, (client.bottom - client.top - cy + 1) / 2,
           appIcon);
  EndPaint(window, &paint);
  return true;
}

void MainWindow::OnDestroy() {
  UnmarkMainWindow(hwnd());
  DisconnectAgent(&agent);
}

void MainWindow::OnFold() {
  HWND window = hwnd();
  const RECT& target = isUnfolded ? foldedRect : fullRect;
  SetDlgItemTextA(window, IDC_FOLD, isUnfolded ? "More >>" : "Less <<");
  // Controls the fold cuts off are hidden, so that the keyboard cannot reach them; those
  // hidden by the fold, and only those, come back with the unfold.
  if (isUnfolded) {
    RECT now;
    GetWindowRect(window, &now);
    const LONG foldLine = now.top + (foldedRect.bottom - foldedRect.top);
    foldHidden.clear();
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT rect;
      GetWindowRect(child, &rect);
      // Its own visibility: the dialog itself is still hidden while it initialises.
      if (rect.top < foldLine || !(GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE)) continue;
      if (child == GetFocus()) SetFocus(GetDlgItem(window, IDC_FOLD));
      ShowWindow(child, SW_HIDE);
      foldHidden.push_back(child);
    }
  } else {
    for (HWND child : foldHidden) ShowWindow(child, SW_SHOWNA);
    foldHidden.clear();
  }
  SetWindowPos(window, HWND_TOP, 0, 0, target.right - target.left, target.bottom - target.top,
               SWP_NOMOVE);
  isUnfolded = !isUnfolded;
}

void MainWindow::OnSaveCurrent() {
  if (SaveScreen(&agent, BoxesFor(hwnd()))) ShowSavedSettings(hwnd());
}

void MainWindow::Restore(const ScreenTarget& target, const RestoreParts& parts, bool settle) {
  HWND window = hwnd();
  RestoreScreen(target, {parts, LastingChosen(window), settle}, &agent, BoxesFor(window),
                [window] { ShowCurrentDisplayMode(window); });
}

namespace {
constexpr RestoreParts kModeOnly{false, true, false};
constexpr RestoreParts kIconsOnly{true, false, false};
constexpr RestoreParts kGammaOnly{false, false, true};
}  // namespace

void MainWindow::OnRestoreSaved() {
  WaitCursor wait;
  Snapshot saved;
  if (LoadSavedSnapshot(hwnd(), &saved)) Restore(SnapshotTarget(saved), PartsChecked(hwnd()), true);
}

void MainWindow::OnUndoAll() {
  WaitCursor wait;
  Restore({StartupMode(), &startup.startupIcons}, {true, true, false}, true);
}

const DEVMODEA* MainWindow::StartupMode() const {
  return startup.startupModeValid ? &startup.startupMode : nullptr;
}

void MainWindow::OnCancel() {
  WriteOptions(PartsChecked(hwnd()));
  EndDialog(IDCANCEL);
}

void MainWindow::OnAppIcon() {
  AboutBox about(hwnd());
  about.RunModal();
}

void MainWindow::OnApplySavedIcons() {
  Snapshot saved;
  if (LoadSavedSnapshot(hwnd(), &saved)) Restore(SnapshotTarget(saved), kIconsOnly, false);
}

void MainWindow::OnUndoIcons() { Restore({nullptr, &startup.startupIcons}, kIconsOnly, false); }

void MainWindow::OnApplySavedGamma() {
  Snapshot saved;
  if (LoadSavedSnapshot(hwnd(), &saved)) Restore(SnapshotTarget(saved), kGammaOnly, false);
}

void MainWindow::OnUndoGamma() {
  Restore({nullptr, nullptr, nullptr, &startup.startupGamma}, kGammaOnly, false);
}

void MainWindow::OnApplySavedMode() {
  Snapshot saved;
  if (LoadSavedSnapshot(hwnd(), &saved)) Restore(SnapshotTarget(saved), kModeOnly, false);
}

void MainWindow::OnUndoMode() { Restore({StartupMode()}, kModeOnly, false); }

void MainWindow::OnRestoreDefaultMode() {
  if (ShowOutcome(hwnd(), RestoreDefaultDisplayMode())) ShowCurrentDisplayMode(hwnd());
}

void MainWindow::OnViewCurrent() { ShowCurrentDisplayMode(hwnd()); }
void MainWindow::OnViewSaved() { ShowSavedSettings(hwnd()); }

}  // namespace kestrin
