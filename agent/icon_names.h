// The icons' names in UTF-16, beside an icon layout blob: the blob's 8-bit labels lose
// every character outside the system's code page (emoji, other scripts), and an icon so
// named can neither be recorded nor found again by them. Portable: no <windows.h>.
//
// Names block, little-endian, packed:
//   "KUN1" | u32 blockLength | u32 count | u32 crc | count x (u16 units | units x u16)
// One entry per record of the blob, in the same order; 0 units when the name is unknown,
// at most 259. crc is the CRC-32 (IEEE) of the blob's totalLength bytes followed by the
// entries: it ties the names to that one blob and catches damage, so a block is either
// trusted whole or ignored whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrin {

constexpr char kIconNamesMagic[4] = {'K', 'U', 'N', '1'};
// The header's u32 words after the magic: the block's length, the count, the crc.
constexpr size_t kIconNamesLengthOffset = sizeof kIconNamesMagic;
constexpr size_t kIconNamesCountOffset = kIconNamesLengthOffset + sizeof(uint32_t);
constexpr size_t kIconNamesCrcOffset = kIconNamesCountOffset + sizeof(uint32_t);
constexpr uint32_t kIconNamesHeaderSize = kIconNamesCrcOffset + sizeof(uint32_t);  // 16
// An entry's unit count and each of its units are u16.
constexpr size_t kIconNameUnitSize = sizeof(uint16_t);
constexpr uint32_t kMaxIconNameUnits = 259;
// The largest entry: its unit count and 259 units.
constexpr uint32_t kMaxIconNameEntrySize = kIconNameUnitSize * (1 + kMaxIconNameUnits);

// Names buffers beside the two transfer buffers, in the same directions.
constexpr char kCaptureNamesBufferName[] = "Lumiq_1shared_names";  // shell to program
constexpr char kApplyNamesBufferName[] = "Lumiq_2shared_names";    // program to shell

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Room for the block of `count` names at their longest; 0 when it would not fit in 32 bits.
uint32_t MaxIconNamesSize(int64_t count);

// Appends one entry at `at` from `units` UTF-16 code units (cut to 259); returns its size.
size_t WriteIconName(uint8_t* at, const char16_t* name, size_t units);

// Completes the header of a block whose entries (`count` of them) end at `entriesEnd` bytes
// from `block`, for the blob of `blobLength` bytes. Returns the block's length.
uint32_t FinishIconNames(uint8_t* block, size_t entriesEnd, uint32_t count, const uint8_t* blob,
                         uint32_t blobLength);

// The block's own length word, if the first `size` bytes hold a header that says it ends
// within them; 0 otherwise. For readers deciding how much to copy.
uint32_t IconNamesLengthAt(const uint8_t* block, size_t size);

// True when the block is whole and belongs to `blob`: magic, length, one entry per record
// of the blob (its count), each at most 259 units, nothing after the last, and the crc.
bool IconNamesMatch(const uint8_t* block, size_t size, const uint8_t* blob, uint32_t blobLength);

// Walks the entries of a block that IconNamesMatch accepted.
class IconNameCursor {
 public:
  explicit IconNameCursor(const uint8_t* block)
      : at_(block ? block + kIconNamesHeaderSize : nullptr) {}
  // The next name into `out` (room for 260 units, terminated); its length in units.
  size_t Next(char16_t* out);

 private:
  const uint8_t* at_;
};

}  // namespace kestrin
