#include "window_engine_win.h"

#include "display_mode.h"
#include "message_box_win.h"
#include "resource_ids.h"
#include "text_rules.h"

namespace kestrin {
namespace {

bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

struct PartBox {
  int id;
  bool RestoreParts::*part;
};
constexpr PartBox kPartBoxes[] = {{IDC_RESTORE_ICONS_CHECK, &RestoreParts::icons},
                                  {IDC_RESTORE_MODE_CHECK, &RestoreParts::mode},
                                  {IDC_RESTORE_GAMMA_CHECK, &RestoreParts::gamma}};

}  // namespace

Report BoxesFor(HWND window) {
  return [window](const Outcome& outcome) { ShowOutcome(window, outcome); };
}

ModeLasting LastingChosen(HWND window) {
  return {IsChecked(window, IDC_APPLY_TEMPORARILY), IsChecked(window, IDC_ALL_USERS)};
}

RestoreParts PartsChecked(HWND window) {
  RestoreParts parts;
  for (const PartBox& box : kPartBoxes) parts.*box.part = IsChecked(window, box.id);
  return parts;
}

void CheckParts(HWND window, const RestoreParts& parts) {
  for (const PartBox& box : kPartBoxes)
    CheckDlgButton(window, box.id, parts.*box.part ? BST_CHECKED : BST_UNCHECKED);
}

void ShowCurrentDisplayMode(HWND window) {
  DEVMODEA mode;
  if (!ShowOutcome(window, ReadDisplayMode(&mode))) return;
  SetDlgItemTextA(window, IDC_CURRENT_SIZE,
                  ModeSizeText(mode.dmPelsWidth, mode.dmPelsHeight).c_str());
  SetDlgItemTextA(window, IDC_CURRENT_BITS, ModeNumberText(mode.dmBitsPerPel).c_str());
  SetDlgItemTextA(window, IDC_CURRENT_FREQUENCY, ModeNumberText(mode.dmDisplayFrequency).c_str());
}

bool LoadSavedSnapshot(HWND window, Snapshot* loaded) {
  const Outcome outcome = LoadSnapshot(loaded);
  if (outcome.failed == Step::kFindSnapshot) return false;  // its buttons stay disabled
  if (!ShowOutcome(window, outcome)) return false;
  for (int id :
       {IDC_RESTORE_SAVED, IDC_APPLY_SAVED_MODE, IDC_APPLY_SAVED_ICONS, IDC_APPLY_SAVED_GAMMA})
    EnableWindow(GetDlgItem(window, id), TRUE);
  return true;
}

void ShowSavedSettings(HWND window) {
  Snapshot saved;
  if (!LoadSavedSnapshot(window, &saved)) return;
  const DEVMODEA& mode = saved.mode;
  SetDlgItemTextA(window, IDC_SAVED_SIZE,
                  ModeSizeText(mode.dmPelsWidth, mode.dmPelsHeight).c_str());
  SetDlgItemTextA(window, IDC_SAVED_BITS, ModeNumberText(mode.dmBitsPerPel).c_str());
  SetDlgItemTextA(window, IDC_SAVED_FREQUENCY, ModeNumberText(mode.dmDisplayFrequency).c_str());
  const SYSTEMTIME& time = saved.saveTime;
  const CalendarTime at{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
  SetDlgItemTextA(window, IDC_SAVE_TIME, SaveTimeText(at).c_str());
}

}  // namespace kestrin
