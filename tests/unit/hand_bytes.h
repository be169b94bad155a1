// Format bytes: blobs built by hand, independently of their writers; names blocks by theirs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "icon_names.h"

inline void PutLE(std::vector<uint8_t>& b, uint64_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// An icon layout blob: u32 length | u32 count | per label i32 x = 10 i, i32 y = -20 i, char[260].
inline std::vector<uint8_t> HandBlob(uint32_t length, uint32_t count, std::vector<std::string> labels = {}) {
  std::vector<uint8_t> b;
  PutLE(b, length), PutLE(b, count);
  for (size_t i = 0; i < labels.size(); ++i) {
    PutLE(b, 10 * i), PutLE(b, uint32_t(-20 * int(i))), labels[i].resize(260);
    b.insert(b.end(), labels[i].begin(), labels[i].end());
  }
  return b;
}
// A names block for `blob`, its entries followed by `extra` zero bytes inside the block.
inline std::vector<uint8_t> NamesFor(const std::vector<uint8_t>& blob, const std::vector<std::u16string>& names,
                                     size_t extra = 0) {
  std::vector<uint8_t> block(kestrin::MaxIconNamesSize(names.size()) + extra);
  size_t at = 16;
  for (const std::u16string& name : names) at += kestrin::WriteIconName(block.data() + at, name.data(), name.size());
  const uint32_t count = uint32_t(names.size());
  block.resize(kestrin::FinishIconNames(block.data(), at + extra, count, blob.data(), uint32_t(blob.size())));
  return block;
}
