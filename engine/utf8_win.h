// Text crosses into the wide API as UTF-8 on our side, so that no character the system's
// code page lacks is lost on the way.
#pragma once

#include <windows.h>

#include <string>

namespace kestrin {

inline std::wstring Widen(const std::string& utf8) {
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(units > 0 ? units : 0, L'\0');
  if (units > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return wide;
}

inline std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
  const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0)
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes,
                        nullptr, nullptr);
  return text;
}

}  // namespace kestrin
