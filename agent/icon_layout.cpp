#include "icon_layout.h"

#include <cstring>

namespace kestrin {

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void StoreU32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t CaptureBufferSize(int64_t itemCount) {
  if (itemCount < 0) return 0;
  const uint64_t size =
      uint64_t{kIconLayoutHeaderSize} + uint64_t(itemCount) * kIconRecordSize + kTransferSlack;
  return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

bool ReadIconLayoutHeader(const uint8_t* data, size_t size, IconLayoutHeader* header) {
  if (size < kIconLayoutHeaderSize) return false;
  header->totalLength = LoadU32(data);
  header->count = static_cast<int32_t>(LoadU32(data + kIconLayoutCountOffset));
  return true;
}

void WriteIconLayoutHeader(uint8_t* data, uint32_t count) {
  StoreU32(data, kIconLayoutHeaderSize + count * kIconRecordSize);
  StoreU32(data + kIconLayoutCountOffset, count);
}

bool IsUsableLength(uint32_t totalLength, size_t extent) {
  return totalLength >= kIconLayoutHeaderSize && totalLength <= kMaxIconLayoutLength &&
         totalLength <= extent;
}

uint32_t UsableLengthAt(const uint8_t* view, size_t extent) {
  if (extent < sizeof(uint32_t)) return 0;
  const uint32_t length = LoadU32(view);
  return IsUsableLength(length, extent) ? length : 0;
}

uint32_t UsableRecordCount(const uint8_t* data, size_t size) {
  IconLayoutHeader header;
  if (!ReadIconLayoutHeader(data, size, &header) || header.count <= 0) return 0;
  const size_t bytes = header.totalLength < size ? header.totalLength : size;
  if (bytes < kIconLayoutHeaderSize) return 0;
  const size_t fit = (bytes - kIconLayoutHeaderSize) / kIconRecordSize;
  return static_cast<uint32_t>(uint64_t(header.count) < fit ? uint64_t(header.count) : fit);
}

IconRecordView ReadIconRecord(const uint8_t* data, uint32_t index) {
  const uint8_t* record = data + kIconLayoutHeaderSize + size_t{index} * kIconRecordSize;
  IconRecordView view;
  view.x = static_cast<int32_t>(LoadU32(record));
  view.y = static_cast<int32_t>(LoadU32(record + kIconRecordYOffset));
  std::memcpy(view.label, record + kIconRecordLabelOffset, kIconLabelSize);
  view.label[kIconLabelSize - 1] = '\0';
  return view;
}

void WriteIconRecord(uint8_t* data, uint32_t index, int32_t x, int32_t y, const char* label) {
  uint8_t* record = data + kIconLayoutHeaderSize + size_t{index} * kIconRecordSize;
  StoreU32(record, static_cast<uint32_t>(x));
  StoreU32(record + kIconRecordYOffset, static_cast<uint32_t>(y));
  std::memcpy(record + kIconRecordLabelOffset, label, kIconLabelSize);
  record[kIconRecordLabelOffset + kIconLabelSize - 1] = 0;
}

uint32_t PackIconPosition(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(x) & 0xFFFFu) | (static_cast<uint32_t>(y) & 0xFFFFu) << 16;
}

}  // namespace kestrin
