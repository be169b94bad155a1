// The snapshot file's bytes: display record (156) | icon layout blob (L) | gamma triple (24)
// | the icons' UTF-16 names block (optional, icon_names.h), little-endian, without
// padding. Readers that know only the first three parts ignore the names block.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gamma_triple.h"

namespace kestrin {

constexpr size_t kDisplayRecordSize = 156;
constexpr size_t kDisplayRecordSizeOffset = 36;   // u16 dmSize, must be 156
constexpr size_t kDisplayRecordExtraOffset = 38;  // u16 dmDriverExtra, must be 0

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
};

// The file's bytes for a record, a blob of `iconsLength` bytes, a triple and, when `names`
// is a block that belongs to the blob, that block. False, and *bytes empty, when the
// decoder would refuse the result or memory runs out, so a save never writes a snapshot
// that cannot be loaded.
bool EncodeSnapshot(const uint8_t* displayRecord, const uint8_t* icons, uint32_t iconsLength,
                    const GammaTriple& gamma, std::vector<uint8_t>* bytes,
                    const uint8_t* names = nullptr, uint32_t namesLength = 0);

// Splits a whole file's bytes. A file that ends right after the blob, or inside the triple,
// keeps 1.0 in every component it does not hold in full. After the triple, a names block
// that belongs to the blob is taken; anything else there (older files hold nothing, a
// damaged block, another blob's) is ignored. On an error *out is left as it was.
SnapshotError DecodeSnapshot(const uint8_t* data, size_t size, DecodedSnapshot* out);

}  // namespace kestrin
