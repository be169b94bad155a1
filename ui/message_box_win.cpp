#include "message_box_win.h"

#include "system_text_win.h"

namespace kestrin {

std::string ApplicationTitle() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : MAX_PATH);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

int ShowMessage(HWND owner, const std::string& text, UINT type) {
  // A plain box of the Win32 API shows no icon; the program's plain boxes carry the
  // exclamation icon.
  const UINT style = (type == kBoxPlain ? MB_ICONEXCLAMATION : type) | MB_OK;
  return MessageBoxA(owner, text.c_str(), ApplicationTitle().c_str(), style);
}

bool ShowOutcome(HWND owner, const Outcome& outcome) {
  if (outcome.ok()) return true;
  const BoxIcon icon = Describe(outcome).icon;
  ShowMessage(owner, OutcomeMessage(outcome),
              icon == BoxIcon::kStop          ? kBoxStop
              : icon == BoxIcon::kExclamation ? kBoxExclamation
                                              : kBoxPlain);
  return false;
}

}  // namespace kestrin
