// The blob reader as the agent's apply and the program's capture use it, then the names block reader on the bytes
// after the blob, over arbitrary bytes standing for a transfer buffer pair or a snapshot's tail.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t length = UsableLengthAt(data, size);
  if (length == 0) return 0;
  // Exact-size copies, so that any read past either is caught.
  const std::vector<uint8_t> blob(data, data + length), block(data + length, data + size);
  const uint32_t records = UsableRecordCount(blob.data(), length);
  if (kIconLayoutHeaderSize + uint64_t{records} * kIconRecordSize > length) std::abort();
  for (uint32_t i = 0; i < records; ++i)
    if (std::strlen(ReadIconRecord(blob.data(), i).label) >= kIconLabelSize) std::abort();
  if (IsWellFormedIconLayout(blob.data(), length) && records != LoadU32(blob.data() + 4)) std::abort();
  if (!IconNamesMatch(block.data(), block.size(), blob.data(), length)) return 0;
  // A trusted block has one entry per record of the blob's count, each of 259 units at most.
  IconNameCursor cursor(block.data());
  char16_t name[kMaxIconNameUnits + 1];
  for (uint32_t i = 0, count = LoadU32(blob.data() + 4); i < count; ++i)
    if (cursor.Next(name) > kMaxIconNameUnits) std::abort();
  return 0;
}
