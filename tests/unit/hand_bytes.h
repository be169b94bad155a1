// Format bytes built by hand, independently of the writers under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline void PutLE(std::vector<uint8_t>& b, uint64_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// u32 length | u32 count | per label: i32 x = 10 i | i32 y = -20 i | char[260] label.
inline std::vector<uint8_t> HandBlob(uint32_t length, uint32_t count, std::vector<std::string> labels = {}) {
  std::vector<uint8_t> b;
  PutLE(b, length), PutLE(b, count);
  for (size_t i = 0; i < labels.size(); ++i) {
    PutLE(b, 10 * i), PutLE(b, uint32_t(-20 * int(i)));
    labels[i].resize(260);
    b.insert(b.end(), labels[i].begin(), labels[i].end());
  }
  return b;
}
