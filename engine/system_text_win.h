// The system's own text for an error code, and the whole message a user is shown for an
// engine outcome, in the ANSI code page as the message boxes and the command line show it.
#pragma once

#include <windows.h>

#include <string>

#include "outcome.h"

namespace kestrin {

// The system's message text for `error` (neutral language, inserts ignored), exactly as
// the system gives it, line break included; false and *text unchanged when it has none.
bool SystemErrorText(DWORD error, std::string* text);

// `message`, then " : " and the system's text for `error` when there is one.
std::string WithSystemErrorText(const std::string& message, DWORD error);

// Describe(outcome)'s text, with the system's text where it takes one and `code` is set.
std::string OutcomeMessage(const Outcome& outcome);

}  // namespace kestrin
