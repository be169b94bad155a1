#include "restore_win.h"

#include "agent_client_win.h"
#include "display_mode_win.h"
#include "gamma_win.h"
#include "main_window_win.h"
#include "resource_ids.h"
#include "snapshot_file_win.h"

namespace kestrin {

bool Load(HWND window, LoadedSnapshot* loaded) {
  return LoadSnapshot(window, &loaded->mode, &loaded->icons, &loaded->saveTime, &loaded->gamma) !=
         0;
}

void RestoreParts(HWND window, AgentClient* agent, bool gamma, bool mode, bool icons) {
  LoadedSnapshot loaded;
  if (!Load(window, &loaded)) return;
  if (mode) {
    ApplyDisplayMode(window, &loaded.mode);
    Sleep(MODE_SETTLE_MS);
  }
  if (icons) ApplyIconLayout(window, agent, loaded.icons);
  // Last: most drivers reset the ramp on a mode change.
  if (gamma) ApplyGamma(window, loaded.gamma);
}

void RestoreAsTicked(HWND window, AgentClient* agent) {
  auto ticked = [window](int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; };
  RestoreParts(window, agent, ticked(IDC_RESTORE_GAMMA_CHECK), ticked(IDC_RESTORE_MODE_CHECK),
               ticked(IDC_RESTORE_ICONS_CHECK));
}

}  // namespace kestrin
