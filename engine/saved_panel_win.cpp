#include "saved_panel_win.h"

#include "agent_client_win.h"
#include "display_mode.h"
#include "display_mode_win.h"
#include "gamma_win.h"
#include "message_box_win.h"
#include "resource_ids.h"
#include "snapshot_file_win.h"
#include "text_rules.h"

namespace kestrin {

void SaveSnapshot(HWND window, AgentClient* client) {
  DEVMODEA mode;
  if (!ReadCurrentDisplayMode(&mode)) {
    ShowFailure(window, "Unable to retrieve display settings", GetLastError());
    return;
  }
  OwnedIconLayout icons;
  if (CaptureIconLayout(window, client, &icons) == 0) return;
  // A failed read has told the user and left 1.0, 1.0, 1.0: the save goes on with those.
  GammaTriple gamma;
  ReadGamma(window, &gamma);
  const int written = WriteSnapshotFile(window, mode, icons, gamma);
  icons = OwnedIconLayout{};
  if (written) ShowSavedSettings(window);
}

void ShowSavedSettings(HWND window) {
  DEVMODEA mode = {};
  OwnedIconLayout icons;
  SYSTEMTIME time = {};
  GammaTriple gamma;
  if (!LoadSnapshot(window, &mode, &icons, &time, &gamma)) return;
  SetDlgItemTextA(window, IDC_SAVED_SIZE,
                  ModeSizeText(mode.dmPelsWidth, mode.dmPelsHeight).c_str());
  SetDlgItemTextA(window, IDC_SAVED_BITS, ModeNumberText(mode.dmBitsPerPel).c_str());
  SetDlgItemTextA(window, IDC_SAVED_FREQUENCY, ModeNumberText(mode.dmDisplayFrequency).c_str());
  const CalendarTime saved{time.wYear, time.wMonth,  time.wDay,
                           time.wHour, time.wMinute, time.wSecond};
  SetDlgItemTextA(window, IDC_SAVE_TIME, SaveTimeText(saved).c_str());
}

}  // namespace kestrin
