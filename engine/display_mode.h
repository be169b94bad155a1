// Display-mode decisions that need no window system: the fields an apply takes from a
// record, the flags the apply controls give, and the texts shown for a result.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <string>

namespace kestrin {

// DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS |
// DM_DISPLAYFREQUENCY: written into a record's dmFields before every apply.
constexpr uint32_t MODE_APPLY_FIELDS = 0x7C0020;

// ChangeDisplaySettings values, repeated here so the choices below stay portable.
constexpr uint32_t kModeFlagsDynamic = 0;         // not saved
constexpr uint32_t kModeFlagsUpdateRegistry = 1;  // CDS_UPDATEREGISTRY
constexpr uint32_t kModeFlagsGlobal = 8;          // CDS_GLOBAL
constexpr int32_t kModeResultSuccessful = 0;      // DISP_CHANGE_SUCCESSFUL
constexpr int32_t kModeResultRestart = 1;         // DISP_CHANGE_RESTART
constexpr int32_t kModeResultNotUpdated = -3;     // DISP_CHANGE_NOTUPDATED

// Flags for the change, from the "Apply temporarily" radio button and the "Affect all users" check
// box as they stand now. Any apply that is not temporary is saved: "Apply and save as default"
// never decides.
constexpr uint32_t ModeApplyFlags(bool applyTemporarily, bool allUsers) {
  return applyTemporarily ? kModeFlagsDynamic
                          : kModeFlagsUpdateRegistry | (allUsers ? kModeFlagsGlobal : 0);
}

// The message for a ChangeDisplaySettings result; empty for success.
std::string ModeApplyMessage(int32_t result);

// Current panel texts: "%u x %u" and "%u".
std::string ModeSizeText(uint32_t width, uint32_t height);
std::string ModeNumberText(uint32_t value);

}  // namespace kestrin
