#include "display_mode_win.h"

#include "display_mode.h"

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

Outcome ReadDisplayMode(DEVMODEA* record) {
  return ReadCurrentDisplayMode(record) ? Outcome() : Failed(Step::kReadMode, GetLastError());
}

Outcome ApplyDisplayMode(DEVMODEA* record, ModeLasting lasting) {
  if (!record) return Failed(Step::kRefuseMode);
  record->dmFields = MODE_APPLY_FIELDS;
  // The system reads dmSize + dmDriverExtra bytes: a record of any other shape (a damaged
  // snapshot) would be read past its end, so it is refused like a mode the test refuses.
  if (record->dmSize != sizeof(DEVMODEA) || record->dmDriverExtra != 0 ||
      ChangeDisplaySettingsA(record, CDS_TEST) != DISP_CHANGE_SUCCESSFUL)
    return Failed(Step::kRefuseMode);
  const LONG result =
      ChangeDisplaySettingsA(record, ModeApplyFlags(lasting.temporary, lasting.allUsers));
  return result == DISP_CHANGE_SUCCESSFUL ? Outcome()
                                          : Failed(Step::kApplyMode, static_cast<uint32_t>(result));
}

Outcome RestoreDefaultDisplayMode() {
  return ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL ? Outcome()
                                                                      : Failed(Step::kDefaultMode);
}

}  // namespace kestrin
