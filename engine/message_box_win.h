// Messages to the user: modal boxes owned by the main window, captioned with the program
// file's name, and the system's own text for a failed call.
#pragma once

#include <windows.h>

#include <string>

namespace kestrin {

// Box types as the program passes them.
constexpr UINT kBoxPlain = 0;                         // the exclamation icon is added
constexpr UINT kBoxExclamation = MB_ICONEXCLAMATION;  // 48
constexpr UINT kBoxStop = MB_ICONHAND;                // 16

// The program file's name without its extension, e.g. "Kestrin".
std::string ApplicationTitle();

// Shows `text` in a modal box with an OK button, owned by `owner`; or, while a sink is set
// (the command-line modes, which show no boxes), hands the text to the sink instead.
int ShowMessage(HWND owner, const std::string& text, UINT type);
using MessageSink = void (*)(const std::string& text);
void SetMessageSink(MessageSink sink);

// The system's message text for `error` (neutral language, inserts ignored), exactly as
// the system gives it, line break included; false and *text unchanged when it has none.
bool SystemErrorText(DWORD error, std::string* text);

// `message`, then " : " and the system's text for `error` when there is one.
std::string WithSystemErrorText(const std::string& message, DWORD error);

// Shows `message` in a plain box, then " : " and the system's text for `error` unless
// error is 0 (a failure the system did not report, such as a damaged file).
void ShowFailure(HWND owner, const std::string& message, DWORD error);

}  // namespace kestrin
