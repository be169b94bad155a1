#include "outcome.h"

#include "display_mode.h"
#include "icon_layout.h"

namespace kestrin {

OutcomeText Describe(const Outcome& outcome) {
  const std::string& subject = outcome.subject;
  switch (outcome.failed) {
    case Step::kDone:
      return {};
    case Step::kConnectAgent:
      return {"Unable to access desktop", false, BoxIcon::kStop};
    case Step::kCaptureIcons:
      return {"Unable to retrieve icons position", false, BoxIcon::kStop};
    case Step::kApplyIcons:
      return {"Unable to set icons position", false, BoxIcon::kStop};
    case Step::kTooManyIcons:
      return {"Unable to set icons position: the layout holds " + std::to_string(outcome.code) +
                  " icons, more than the " + std::to_string(kMaxIconRecords) + " Kestrin restores",
              false, BoxIcon::kStop};
    case Step::kReadGamma:
      return {"Unable to retrieve gamma adjustment", false, BoxIcon::kExclamation};
    case Step::kSetGamma:
      return {"Unable to set gamma adjustment", false, BoxIcon::kExclamation};
    case Step::kReadMode:
      return {"Unable to retrieve display settings", true, BoxIcon::kPlain};
    case Step::kRefuseMode:
      return {"Unable to apply : Invalid graphics mode!", false, BoxIcon::kPlain};
    case Step::kApplyMode:
      return {ModeApplyMessage(static_cast<int32_t>(outcome.code)), false, BoxIcon::kPlain};
    case Step::kDefaultMode:
      return {"Unable to retrieve default", false, BoxIcon::kPlain};
    case Step::kFindSnapshot:
    case Step::kOpenSnapshot:
    case Step::kListFolder:
      return {"Unable to access information", true, BoxIcon::kPlain};
    case Step::kReadSnapshot:
      return {"Unable to read information", true, BoxIcon::kPlain};
    case Step::kSaveSnapshot:
      return {"Unable to save information", true, BoxIcon::kPlain};
    case Step::kDeleteFile:
      return {"Unable to delete " + subject, true, BoxIcon::kPlain};
    case Step::kStartProgram:
      return {"Unable to start " + subject, true, BoxIcon::kPlain};
    case Step::kFollowProgram:
      return {
          "Unable to follow " + subject + ": it was handed to a program that was already running",
          false, BoxIcon::kPlain};
  }
  return {};
}

}  // namespace kestrin
