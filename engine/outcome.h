// What an engine operation reports, and the one table of the texts a user is shown for it:
// in the window's message boxes and on the command line alike. Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrin {

// The step that failed.
enum class Step : uint8_t {
  kDone,
  kConnectAgent,
  kCaptureIcons,
  kApplyIcons,
  kTooManyIcons,  // `code`: how many the layout holds
  kReadGamma,
  kSetGamma,
  kReadMode,
  kRefuseMode,  // a record the system would misread, or that its test refuses
  kApplyMode,   // `code`: the change's result
  kDefaultMode,
  kFindSnapshot,  // no snapshot, or no path for one: the window says nothing
  kOpenSnapshot,
  kReadSnapshot,
  kSaveSnapshot,
  kListFolder,
  kDeleteFile,     // `subject`: the file
  kStartProgram,   // `subject`: the program as named
  kFollowProgram,  // `subject`: the program as named
};

struct Outcome {
  Step failed = Step::kDone;
  uint32_t code = 0;  // the system's error code, 0 when it reported none
  std::string subject;
  bool ok() const { return failed == Step::kDone; }
};

inline Outcome Failed(Step step, uint32_t code = 0, std::string subject = std::string()) {
  return Outcome{step, code, std::move(subject)};
}

// Where an operation that goes on after a failure reports it, at once.
using Report = std::function<void(const Outcome&)>;

enum class BoxIcon : uint8_t { kPlain, kExclamation, kStop };

struct OutcomeText {
  std::string text;
  bool systemText = false;  // " : " and the system's text for `code` follow, when it has one
  BoxIcon icon = BoxIcon::kPlain;
};

// What the user is told of a failure; an empty text for kDone.
OutcomeText Describe(const Outcome& outcome);

}  // namespace kestrin
