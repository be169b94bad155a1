// The snapshot file's bytes: display record (156) | icon layout blob (L) | gamma triple (24)
// | the icons' UTF-16 names block (optional, icon_names.h) | the exact gamma ramp block
// (optional), little-endian, without padding. Readers that know only the first three parts
// ignore what follows them; readers of the names block take it by its own length word and
// ignore what follows it. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gamma_math.h"
#include "gamma_triple.h"

namespace kestrin {

constexpr size_t kDisplayRecordSize = 156;
constexpr size_t kDisplayRecordSizeOffset = 36;   // u16 dmSize, must be 156
constexpr size_t kDisplayRecordExtraOffset = 38;  // u16 dmDriverExtra, must be 0

// The exact ramp, as the exponents alone cannot rebuild a calibrated curve:
//   "KRP1" | u32 blockLength (1552) | u32 reserved (0) | u32 crc | 768 x u16 (GammaRamp's order)
// crc is the CRC-32 (IEEE) of the triple's 24 bytes as stored followed by the 1536 ramp bytes:
// it ties the ramp to the exponents saved with it and catches damage, so a block is either
// trusted whole or ignored whole.
constexpr char kGammaRampMagic[4] = {'K', 'R', 'P', '1'};
constexpr size_t kGammaRampLengthOffset = sizeof kGammaRampMagic;
constexpr size_t kGammaRampReservedOffset = kGammaRampLengthOffset + sizeof(uint32_t);
constexpr size_t kGammaRampCrcOffset = kGammaRampReservedOffset + sizeof(uint32_t);
constexpr size_t kGammaRampHeaderSize = kGammaRampCrcOffset + sizeof(uint32_t);   // 16
constexpr size_t kGammaRampBytes = kGammaRampEntries * sizeof(uint16_t);          // 1536
constexpr uint32_t kGammaRampBlockSize = kGammaRampHeaderSize + kGammaRampBytes;  // 1552

enum class SnapshotError {
  kNone,
  kShortDisplayRecord,   // the file ends inside the display record
  kBadDisplayRecord,     // dmSize not 156 or dmDriverExtra not 0
  kBadIconLayoutLength,  // below 8, not 8 + 268 x count, or too near 2^32
  kIconLayoutBeyondEnd,  // the blob's length reaches past the end of the file
  kOutOfMemory,
};

struct DecodedSnapshot {
  uint8_t displayRecord[kDisplayRecordSize] = {};
  std::unique_ptr<uint8_t[]> icons;  // iconsLength + 2 bytes, the last two zero
  uint32_t iconsLength = 0;
  GammaTriple gamma;
  std::unique_ptr<uint8_t[]> names;  // the names block when the file holds one for this blob
  uint32_t namesLength = 0;
  bool hasRamp = false;  // ramp holds the file's exact ramp
  GammaRamp ramp = {};
};

// The file's bytes for a record, a blob of `iconsLength` bytes and a triple, then `names` when
// it is a block that belongs to the blob, then the block of `ramp` when one is given. False,
// and *bytes empty, when the decoder would refuse the result or memory runs out, so a save
// never writes a snapshot that cannot be loaded.
bool EncodeSnapshot(const uint8_t* displayRecord, const uint8_t* icons, uint32_t iconsLength,
                    const GammaTriple& gamma, std::vector<uint8_t>* bytes,
                    const uint8_t* names = nullptr, uint32_t namesLength = 0,
                    const GammaRamp* ramp = nullptr);

// Splits a whole file's bytes. A file that ends right after the blob, or inside the triple,
// keeps 1.0 in every component it does not hold in full. After the triple, a names block
// that belongs to the blob is taken; anything else there (older files hold nothing, a
// damaged block, another blob's) is ignored. A ramp block is taken when it is whole and its
// crc matches, after any names block (by that block's length word, taken or not) or else
// right after the triple; anything else there is ignored. On an error *out is left as it was.
SnapshotError DecodeSnapshot(const uint8_t* data, size_t size, DecodedSnapshot* out);

}  // namespace kestrin
