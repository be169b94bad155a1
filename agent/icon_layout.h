// The icon layout blob: the desktop's icon texts and positions as one self-describing
// block of bytes. Little-endian, packed:
//   u32 totalLength (8 + 268 * count) | i32 count | count x IconRecord
//   IconRecord: i32 x | i32 y | char label[260] (zero-terminated, zero-padded)
// The agent produces and consumes it inside the shell; the program keeps it in memory and
// in its snapshot file unchanged. Portable code: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrin {

// The header: the u32 length word, then the count. A record: x, then y, then the label.
constexpr size_t kIconLayoutCountOffset = sizeof(uint32_t);
constexpr uint32_t kIconLayoutHeaderSize = kIconLayoutCountOffset + sizeof(int32_t);  // 8
constexpr size_t kIconRecordYOffset = sizeof(int32_t);
constexpr size_t kIconRecordLabelOffset = kIconRecordYOffset + sizeof(int32_t);
constexpr uint32_t kIconLabelSize = 260;
constexpr uint32_t kIconRecordSize = kIconRecordLabelOffset + kIconLabelSize;  // 268
// A transfer buffer carries the blob and 10 spare bytes nobody reads.
constexpr uint32_t kTransferSlack = 10;
// A private copy of a blob gets 2 spare bytes beyond its length.
constexpr uint32_t kReceiveSlack = 2;
// Largest length a reader accepts: length + 10 must still fit in 32 bits.
constexpr uint32_t kMaxIconLayoutLength = UINT32_MAX - kTransferSlack;

// The most icons a capture or an apply takes on. Every record of an apply costs three
// searches of the whole list view inside the shell, which cannot answer meanwhile: this
// bound keeps that to seconds, and no real desktop comes near it (the shell's own desktop
// is unusable long before).
constexpr uint32_t kMaxIconRecords = 10000;

constexpr char kCaptureBufferName[] = "Lumiq_1shared_memory";  // shell to program
constexpr char kApplyBufferName[] = "Lumiq_2shared_memory";    // program to shell

struct IconLayoutHeader {
  uint32_t totalLength;
  int32_t count;
};

// Size of the capture buffer for a list view of itemCount items (8 + 268 n + 10), or 0 when
// the count is negative or the size would not fit in 32 bits.
uint32_t CaptureBufferSize(int64_t itemCount);

// Reads the header; false when fewer than 8 bytes are available.
bool ReadIconLayoutHeader(const uint8_t* data, size_t size, IconLayoutHeader* header);
void WriteIconLayoutHeader(uint8_t* data, uint32_t count);

// Checks the length word of a blob that lies at the start of `extent` readable bytes:
// at least the header, no more than the extent, and not so large that length + 10 wraps.
bool IsUsableLength(uint32_t totalLength, size_t extent);
// The length word at the start of `extent` readable bytes if usable, else 0.
uint32_t UsableLengthAt(const uint8_t* view, size_t extent);

// The records of a blob that a reader may use: `count` clipped to the whole records that
// lie inside both `totalLength` and `size`; none when count is 0 or less.
uint32_t UsableRecordCount(const uint8_t* data, size_t size);

// Record `index` of a blob; the caller has checked index < UsableRecordCount.
struct IconRecordView {
  int32_t x;
  int32_t y;
  char label[kIconLabelSize];  // always terminated, even when the stored one is not
};
IconRecordView ReadIconRecord(const uint8_t* data, uint32_t index);

// Writes record `index` from 260 bytes of `label`, forcing the terminator into the last
// one, so a text that fills its buffer without a terminator is still stored terminated.
void WriteIconRecord(uint8_t* data, uint32_t index, int32_t x, int32_t y, const char* label);

// The position argument of a list-view move: x and y cut to their low 16 bits.
uint32_t PackIconPosition(int32_t x, int32_t y);

uint32_t LoadU32(const uint8_t* p);
void StoreU32(uint8_t* p, uint32_t value);

}  // namespace kestrin
