#include "snapshot_format.h"

#include <cstring>
#include <new>

#include "icon_layout.h"
#include "icon_names.h"

namespace kestrin {

namespace {

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void StoreU16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

uint64_t LoadU64(const uint8_t* p) {
  return uint64_t{LoadU32(p)} | uint64_t{LoadU32(p + sizeof(uint32_t))} << 32;
}

void StoreDouble(uint8_t* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  StoreU32(p, static_cast<uint32_t>(bits));
  StoreU32(p + sizeof(uint32_t), static_cast<uint32_t>(bits >> 32));
}

double LoadDouble(const uint8_t* p) {
  const uint64_t bits = LoadU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The platform reads dmSize + dmDriverExtra bytes from a record: anything but 156 + 0 would
// send it past the stored bytes.
bool IsAcceptedDisplayRecord(const uint8_t* record) {
  return LoadU16(record + kDisplayRecordSizeOffset) == kDisplayRecordSize &&
         LoadU16(record + kDisplayRecordExtraOffset) == 0;
}

// Checks a blob at the start of `available` bytes: its length word is 8 + 268 x its count
// and fits both the bytes and a receive buffer of length + 2.
SnapshotError CheckIconLayout(const uint8_t* blob, size_t available) {
  if (available < kIconLayoutHeaderSize) return SnapshotError::kBadIconLayoutLength;
  IconLayoutHeader header;
  ReadIconLayoutHeader(blob, available, &header);
  if (header.totalLength < kIconLayoutHeaderSize || header.totalLength > kMaxIconLayoutLength)
    return SnapshotError::kBadIconLayoutLength;
  if (header.totalLength > available) return SnapshotError::kIconLayoutBeyondEnd;
  if (header.count < 0 || uint64_t{header.totalLength} !=
                              kIconLayoutHeaderSize + uint64_t(header.count) * kIconRecordSize)
    return SnapshotError::kBadIconLayoutLength;
  return SnapshotError::kNone;
}

uint32_t GammaRampCrc(const uint8_t* triple, const uint8_t* entries) {
  return Crc32(entries, kGammaRampBytes, Crc32(triple, kGammaTripleSize));
}

void WriteGammaRampBlock(uint8_t* block, const uint8_t* triple, const GammaRamp& ramp) {
  std::memcpy(block, kGammaRampMagic, sizeof kGammaRampMagic);
  StoreU32(block + kGammaRampLengthOffset, kGammaRampBlockSize);
  StoreU32(block + kGammaRampReservedOffset, 0);
  uint8_t* entries = block + kGammaRampHeaderSize;
  for (size_t i = 0; i < kGammaRampEntries; ++i) StoreU16(entries + i * sizeof(uint16_t), ramp[i]);
  StoreU32(block + kGammaRampCrcOffset, GammaRampCrc(triple, entries));
}

// True when the first `size` bytes at `block` hold a whole ramp block made with `triple`.
bool IsGammaRampBlockFor(const uint8_t* block, size_t size, const uint8_t* triple) {
  return size >= kGammaRampBlockSize &&
         std::memcmp(block, kGammaRampMagic, sizeof kGammaRampMagic) == 0 &&
         LoadU32(block + kGammaRampLengthOffset) == kGammaRampBlockSize &&
         LoadU32(block + kGammaRampReservedOffset) == 0 &&
         LoadU32(block + kGammaRampCrcOffset) == GammaRampCrc(triple, block + kGammaRampHeaderSize);
}

}  // namespace

bool EncodeSnapshot(const uint8_t* displayRecord, const uint8_t* icons, uint32_t iconsLength,
                    const GammaTriple& gamma, std::vector<uint8_t>* bytes, const uint8_t* names,
                    uint32_t namesLength, const GammaRamp* ramp) {
  bytes->clear();
  if (!displayRecord || !icons || !IsAcceptedDisplayRecord(displayRecord) ||
      CheckIconLayout(icons, iconsLength) != SnapshotError::kNone || LoadU32(icons) != iconsLength)
    return false;
  const bool withNames = names && IconNamesMatch(names, namesLength, icons, iconsLength);
  const uint64_t total = uint64_t{kDisplayRecordSize} + iconsLength + kGammaTripleSize +
                         (withNames ? namesLength : 0) + (ramp ? kGammaRampBlockSize : 0);
  if (total > SIZE_MAX) return false;
  try {
    bytes->resize(static_cast<size_t>(total));
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint8_t* out = bytes->data();
  std::memcpy(out, displayRecord, kDisplayRecordSize);
  std::memcpy(out + kDisplayRecordSize, icons, iconsLength);
  uint8_t* triple = out + kDisplayRecordSize + iconsLength;
  const double components[kGammaComponents] = {gamma.red, gamma.green, gamma.blue};
  for (size_t i = 0; i < kGammaComponents; ++i)
    StoreDouble(triple + i * kGammaComponentSize, components[i]);
  if (withNames) std::memcpy(triple + kGammaTripleSize, names, namesLength);
  if (ramp)
    WriteGammaRampBlock(triple + kGammaTripleSize + (withNames ? namesLength : 0), triple, *ramp);
  return true;
}

SnapshotError DecodeSnapshot(const uint8_t* data, size_t size, DecodedSnapshot* out) {
  if (!data || size < kDisplayRecordSize) return SnapshotError::kShortDisplayRecord;
  if (!IsAcceptedDisplayRecord(data)) return SnapshotError::kBadDisplayRecord;
  const uint8_t* blob = data + kDisplayRecordSize;
  const size_t afterRecord = size - kDisplayRecordSize;
  const SnapshotError blobError = CheckIconLayout(blob, afterRecord);
  if (blobError != SnapshotError::kNone) return blobError;

  const uint32_t length = LoadU32(blob);
  std::unique_ptr<uint8_t[]> icons(new (std::nothrow) uint8_t[size_t{length} + kReceiveSlack]());
  if (!icons) return SnapshotError::kOutOfMemory;
  std::memcpy(icons.get(), blob, length);

  // Only components present in full are taken; the rest stay 1.0.
  GammaTriple gamma;
  double* components[kGammaComponents] = {&gamma.red, &gamma.green, &gamma.blue};
  const uint8_t* triple = blob + length;
  const size_t tripleBytes = afterRecord - length;
  for (size_t i = 0; i < kGammaComponents && (i + 1) * kGammaComponentSize <= tripleBytes; ++i)
    *components[i] = LoadDouble(triple + i * kGammaComponentSize);

  std::unique_ptr<uint8_t[]> names;
  uint32_t namesLength = 0;
  const uint8_t* rampBlock = nullptr;
  if (tripleBytes > kGammaTripleSize) {
    const uint8_t* block = triple + kGammaTripleSize;
    const size_t blockBytes = tripleBytes - kGammaTripleSize;
    if (IconNamesMatch(block, blockBytes, icons.get(), length)) {
      namesLength = IconNamesLengthAt(block, blockBytes);
      names.reset(new (std::nothrow) uint8_t[namesLength]);
      if (!names) return SnapshotError::kOutOfMemory;
      std::memcpy(names.get(), block, namesLength);
    }
    // A names block that is not taken still tells where it ends: the ramp's own crc decides.
    const size_t skip = IconNamesLengthAt(block, blockBytes);
    if (IsGammaRampBlockFor(block + skip, blockBytes - skip, triple)) rampBlock = block + skip;
  }

  std::memcpy(out->displayRecord, data, kDisplayRecordSize);
  out->icons = std::move(icons);
  out->iconsLength = length;
  out->gamma = gamma;
  out->names = std::move(names);
  out->namesLength = namesLength;
  out->hasRamp = rampBlock != nullptr;
  for (size_t i = 0; rampBlock && i < kGammaRampEntries; ++i)
    out->ramp[i] = LoadU16(rampBlock + kGammaRampHeaderSize + i * sizeof(uint16_t));
  return SnapshotError::kNone;
}

}  // namespace kestrin
