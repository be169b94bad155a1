// The stand-in's line protocol carries labels as hex, so any byte (and UTF-16) travels.
#pragma once

#include <string>

namespace standin {

inline std::string HexEncode(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

inline bool HexDecode(const std::string& hex, std::string* bytes) {
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  bytes->clear();
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) return false;
    *bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
  }
  return hex.size() % 2 == 0;
}

}  // namespace standin
