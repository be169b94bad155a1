#include "icon_names.h"

#include <cstring>

#include "icon_layout.h"

namespace kestrin {
namespace {

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// An entry is its unit count, then the units.
constexpr size_t UnitOffset(size_t i) { return kIconNameUnitSize * (1 + i); }
constexpr size_t EntrySize(size_t units) { return UnitOffset(units); }

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t MaxIconNamesSize(int64_t count) {
  if (count < 0) return 0;
  const uint64_t size = kIconNamesHeaderSize + uint64_t(count) * kMaxIconNameEntrySize;
  return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

size_t WriteIconName(uint8_t* at, const char16_t* name, size_t units) {
  if (units > kMaxIconNameUnits) units = kMaxIconNameUnits;
  StoreU16(at, static_cast<uint16_t>(units));
  for (size_t i = 0; i < units; ++i) StoreU16(at + UnitOffset(i), static_cast<uint16_t>(name[i]));
  return EntrySize(units);
}

uint32_t FinishIconNames(uint8_t* block, size_t entriesEnd, uint32_t count, const uint8_t* blob,
                         uint32_t blobLength) {
  std::memcpy(block, kIconNamesMagic, sizeof kIconNamesMagic);
  StoreU32(block + kIconNamesLengthOffset, static_cast<uint32_t>(entriesEnd));
  StoreU32(block + kIconNamesCountOffset, count);
  const uint32_t crc = Crc32(blob, blobLength);
  StoreU32(block + kIconNamesCrcOffset,
           Crc32(block + kIconNamesHeaderSize, entriesEnd - kIconNamesHeaderSize, crc));
  return static_cast<uint32_t>(entriesEnd);
}

uint32_t IconNamesLengthAt(const uint8_t* block, size_t size) {
  if (!block || size < kIconNamesHeaderSize ||
      std::memcmp(block, kIconNamesMagic, sizeof kIconNamesMagic) != 0)
    return 0;
  const uint32_t length = LoadU32(block + kIconNamesLengthOffset);
  return length >= kIconNamesHeaderSize && length <= size ? length : 0;
}

bool IconNamesMatch(const uint8_t* block, size_t size, const uint8_t* blob, uint32_t blobLength) {
  const uint32_t length = IconNamesLengthAt(block, size);
  IconLayoutHeader header;
  if (length == 0 || !blob || !ReadIconLayoutHeader(blob, blobLength, &header) ||
      header.count < 0 ||
      LoadU32(block + kIconNamesCountOffset) != static_cast<uint32_t>(header.count))
    return false;
  // Every entry inside the block, and nothing after the last one.
  size_t at = kIconNamesHeaderSize;
  for (uint32_t i = 0, count = LoadU32(block + kIconNamesCountOffset); i < count; ++i) {
    if (length - at < kIconNameUnitSize) return false;
    const uint16_t units = LoadU16(block + at);
    if (units > kMaxIconNameUnits || (length - at - kIconNameUnitSize) / kIconNameUnitSize < units)
      return false;
    at += EntrySize(units);
  }
  if (at != length) return false;
  const uint32_t crc = Crc32(blob, blobLength);
  return Crc32(block + kIconNamesHeaderSize, length - kIconNamesHeaderSize, crc) ==
         LoadU32(block + kIconNamesCrcOffset);
}

size_t IconNameCursor::Next(char16_t* out) {
  const uint16_t units = LoadU16(at_);
  for (size_t i = 0; i < units; ++i) out[i] = static_cast<char16_t>(LoadU16(at_ + UnitOffset(i)));
  out[units] = 0;
  at_ += EntrySize(units);
  return units;
}

}  // namespace kestrin
