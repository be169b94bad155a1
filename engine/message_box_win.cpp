#include "message_box_win.h"

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

namespace {
MessageSink messageSink = nullptr;
}  // namespace

void SetMessageSink(MessageSink sink) { messageSink = sink; }

int ShowMessage(HWND owner, const std::string& text, UINT type) {
  if (messageSink) {
    messageSink(text);
    return IDOK;
  }
  // A plain box of the Win32 API shows no icon; the program's plain boxes carry the
  // exclamation icon.
  const UINT style = (type == kBoxPlain ? MB_ICONEXCLAMATION : type) | MB_OK;
  return MessageBoxA(owner, text.c_str(), ApplicationTitle().c_str(), style);
}

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

void ShowFailure(HWND owner, const std::string& message, DWORD error) {
  ShowMessage(owner, error ? WithSystemErrorText(message, error) : message, kBoxPlain);
}

}  // namespace kestrin
