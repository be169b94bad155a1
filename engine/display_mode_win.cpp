#include "display_mode_win.h"

#include "display_mode.h"
#include "message_box_win.h"
#include "resource_ids.h"

namespace kestrin {

static_assert(MODE_APPLY_FIELDS == (DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT |
                                    DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY),
              "apply fields");
static_assert(kModeFlagsUpdateRegistry == CDS_UPDATEREGISTRY && kModeFlagsGlobal == CDS_GLOBAL,
              "apply flags");
static_assert(kModeResultSuccessful == DISP_CHANGE_SUCCESSFUL &&
                  kModeResultRestart == DISP_CHANGE_RESTART &&
                  kModeResultNotUpdated == DISP_CHANGE_NOTUPDATED,
              "apply results");

namespace {

constexpr char kInvalidMode[] = "Unable to apply : Invalid graphics mode!";

bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

}  // namespace

bool ReadCurrentDisplayMode(DEVMODEA* record) {
  if (!record) return false;
  *record = DEVMODEA{};
  record->dmSize = sizeof(DEVMODEA);
  record->dmDriverExtra = 0;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, record)) return false;
  // Some systems (Wine among them) report the older 124-byte form in dmSize although the
  // record is whole; keep the 156-byte form so a stored record loads and applies alike.
  record->dmSize = sizeof(DEVMODEA);
  record->dmDriverExtra = 0;
  return true;
}

void CaptureStartupDisplayMode(StartupState* state) {
  if (!state) return;
  state->startupModeValid = ReadCurrentDisplayMode(&state->startupMode) ? 1 : 0;
}

void ShowCurrentDisplayMode(HWND window) {
  DEVMODEA mode;
  if (!ReadCurrentDisplayMode(&mode)) {
    const DWORD error = GetLastError();
    ShowMessage(window, WithSystemErrorText("Unable to retrieve display settings", error),
                kBoxPlain);
    return;
  }
  SetDlgItemTextA(window, IDC_CURRENT_SIZE,
                  ModeSizeText(mode.dmPelsWidth, mode.dmPelsHeight).c_str());
  SetDlgItemTextA(window, IDC_CURRENT_BITS, ModeNumberText(mode.dmBitsPerPel).c_str());
  SetDlgItemTextA(window, IDC_CURRENT_FREQUENCY, ModeNumberText(mode.dmDisplayFrequency).c_str());
}

void ApplyDisplayMode(HWND window, DEVMODEA* record) {
  if (!record) return;
  record->dmFields = MODE_APPLY_FIELDS;
  // The system reads dmSize + dmDriverExtra bytes: a record of any other shape (a damaged
  // snapshot) would be read past its end, so it is refused like a mode the test refuses.
  if (record->dmSize != sizeof(DEVMODEA) || record->dmDriverExtra != 0 ||
      ChangeDisplaySettingsA(record, CDS_TEST) != DISP_CHANGE_SUCCESSFUL) {
    ShowMessage(window, kInvalidMode, kBoxPlain);
    return;
  }
  const DWORD flags =
      ModeApplyFlags(IsChecked(window, IDC_APPLY_TEMPORARILY), IsChecked(window, IDC_ALL_USERS));
  const LONG result = ChangeDisplaySettingsA(record, flags);
  if (result == DISP_CHANGE_SUCCESSFUL)
    ShowCurrentDisplayMode(window);
  else
    ShowMessage(window, ModeApplyMessage(static_cast<int32_t>(result)), kBoxPlain);
}

void RestoreDefaultDisplayMode(HWND window) {
  if (ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL)
    ShowCurrentDisplayMode(window);
  else
    ShowMessage(window, "Unable to retrieve default", kBoxPlain);
}

void UndoDisplayMode(HWND window, StartupState* state) {
  if (state && state->startupModeValid) ApplyDisplayMode(window, &state->startupMode);
}

}  // namespace kestrin
