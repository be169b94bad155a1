// The snapshot decoder over arbitrary files, each in libFuzzer's buffer of its exact size: a read past it is caught.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "snapshot_format.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedSnapshot decoded;
  if (DecodeSnapshot(data, size, &decoded) != SnapshotError::kNone) return 0;
  const uint32_t length = decoded.iconsLength;
  if (decoded.icons[length] | decoded.icons[length + 1]) std::abort();  // the receive buffer's two zero bytes
  // What was accepted encodes back to the same record and blob, the gamma components the file held in full, the names
  // block taken and a ramp block if one was; the encoder refuses any blob the decoder should have refused.
  std::vector<uint8_t> again;
  if (!EncodeSnapshot(decoded.displayRecord, decoded.icons.get(), length, decoded.gamma, &again, decoded.names.get(),
                      decoded.namesLength, decoded.hasRamp ? &decoded.ramp : nullptr))
    std::abort();
  const size_t rampAt = kDisplayRecordSize + length + kGammaTripleSize + decoded.namesLength;
  if (again.size() != rampAt + (decoded.hasRamp ? kGammaRampBlockSize : 0)) std::abort();
  const size_t tail = std::min<size_t>(size - kDisplayRecordSize - length, 24);
  if (std::memcmp(again.data(), data, kDisplayRecordSize + length + tail / 8 * 8 + decoded.namesLength)) std::abort();
  return 0;
}
