#include "display_mode.h"

namespace kestrin {

std::string ModeApplyMessage(int32_t result) {
  switch (result) {
    case kModeResultSuccessful:
      return std::string();
    case kModeResultRestart:
      return "Unable to apply : The computer must be restarted in order for the graphics mode to "
             "work.";
    case kModeResultNotUpdated:
      return "Unable to apply : Unable to write settings to the registry.";
    default:
      return "Unable to apply.";
  }
}

std::string ModeSizeText(uint32_t width, uint32_t height) {
  return ModeNumberText(width) + " x " + ModeNumberText(height);
}

std::string ModeNumberText(uint32_t value) { return std::to_string(value); }

}  // namespace kestrin
