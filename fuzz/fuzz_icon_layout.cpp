// The blob reader as the agent's apply and the program's capture use it, over arbitrary
// bytes standing for a transfer buffer's mapped view.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icon_layout.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t length = UsableLengthAt(data, size);
  if (length == 0) return 0;
  // An exact-size copy, so that any read past the blob is caught.
  const std::vector<uint8_t> blob(data, data + length);
  const uint32_t records = UsableRecordCount(blob.data(), length);
  if (kIconLayoutHeaderSize + uint64_t{records} * kIconRecordSize > length) std::abort();
  for (uint32_t i = 0; i < records; ++i)
    if (std::strlen(ReadIconRecord(blob.data(), i).label) >= kIconLabelSize) std::abort();
  if (IsWellFormedIconLayout(blob.data(), length) && records != LoadU32(blob.data() + 4)) std::abort();
  return 0;
}
