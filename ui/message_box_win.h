// Messages to the user: modal boxes owned by the main window, captioned with the program
// file's name.
#pragma once

#include <windows.h>

#include <string>

#include "outcome.h"

namespace kestrin {

// Box types as the program passes them.
constexpr UINT kBoxPlain = 0;                         // the exclamation icon is added
constexpr UINT kBoxExclamation = MB_ICONEXCLAMATION;  // 48
constexpr UINT kBoxStop = MB_ICONHAND;                // 16

// The program file's name without its extension, e.g. "Kestrin".
std::string ApplicationTitle();

// Shows `text` in a modal box with an OK button, owned by `owner`.
int ShowMessage(HWND owner, const std::string& text, UINT type);

// Shows what went wrong, if anything did; false when it did.
bool ShowOutcome(HWND owner, const Outcome& outcome);

}  // namespace kestrin
