#include "system_text_win.h"

#include "utf8_win.h"

namespace kestrin {

bool SystemErrorText(DWORD error, std::string* text) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer),
      0, nullptr);
  if (length == 0 || !buffer) return false;
  text->assign(buffer, length);
  LocalFree(buffer);
  return true;
}

std::string WithSystemErrorText(const std::string& message, DWORD error) {
  std::string text;
  return SystemErrorText(error, &text) ? message + " : " + text : message;
}

std::string OutcomeMessage(const Outcome& outcome) {
  const OutcomeText described = Describe(outcome);
  // Subjects (a file, a program) are UTF-8; the system's text is already ANSI.
  const std::string text = AnsiText(described.text);
  return described.systemText && outcome.code ? WithSystemErrorText(text, outcome.code) : text;
}

}  // namespace kestrin
