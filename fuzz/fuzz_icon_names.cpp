// The names block reader, over arbitrary bytes standing for a blob followed by the block
// (as a transfer buffer pair or a snapshot's tail holds them).
#include <cstdlib>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t blobLength = UsableLengthAt(data, size);
  if (blobLength == 0) return 0;
  // Exact-size copies, so that any read past either is caught.
  const std::vector<uint8_t> blob(data, data + blobLength), block(data + blobLength, data + size);
  if (!IconNamesMatch(block.data(), block.size(), blob.data(), blobLength)) return 0;
  // A trusted block has one entry per record of the blob's count, each of 259 units at most.
  IconNameCursor cursor(block.data());
  char16_t name[kMaxIconNameUnits + 1];
  for (uint32_t i = 0, count = LoadU32(blob.data() + 4); i < count; ++i)
    if (cursor.Next(name) > kMaxIconNameUnits) std::abort();
  return 0;
}
