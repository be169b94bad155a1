#include "utf8_win.h"

#include <climits>

namespace kestrin {

std::wstring WideText(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(
      static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
  if (!wide.empty())
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], static_cast<int>(wide.size()));
  return wide;
}

bool Utf8Text(const wchar_t* text, size_t length, std::string* utf8) {
  if (length > INT_MAX / 4) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  if (length == 0) {
    utf8->clear();
    return true;
  }
  const int size = static_cast<int>(length);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string result(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, size, &result[0], bytes, nullptr,
                      nullptr);
  *utf8 = std::move(result);
  return true;
}

std::string AnsiText(const std::string& utf8) {
  const std::wstring wide = WideText(utf8);
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  std::string ansi(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0,
                                                           nullptr, nullptr)),
                   '\0');
  if (!ansi.empty())
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &ansi[0], static_cast<int>(ansi.size()),
                        nullptr, nullptr);
  return ansi;
}

}  // namespace kestrin
