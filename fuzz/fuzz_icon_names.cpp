// The names block reader, over arbitrary bytes standing for a blob followed by the block
// (as a transfer buffer pair or a snapshot's tail holds them).
#include <cstdlib>
#include <cstring>

#include "icon_layout.h"
#include "icon_names.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t blobLength = UsableLengthAt(data, size);
  if (blobLength == 0) return 0;
  const size_t rest = size - blobLength;
  // Exact-size copies, so that any read past either is caught.
  auto* blob = static_cast<uint8_t*>(std::malloc(blobLength));
  auto* block = static_cast<uint8_t*>(std::malloc(rest ? rest : 1));
  if (!blob || !block) std::abort();
  std::memcpy(blob, data, blobLength);
  std::memcpy(block, data + blobLength, rest);
  if (IconNamesMatch(block, rest, blob, blobLength)) {
    // A trusted block has one entry per record of the blob's count, each of 259 units at most.
    IconNameCursor cursor(block);
    char16_t name[kMaxIconNameUnits + 1];
    for (uint32_t i = 0, count = LoadU32(blob + 4); i < count; ++i)
      if (cursor.Next(name) > kMaxIconNameUnits) std::abort();
  }
  std::free(blob);
  std::free(block);
  return 0;
}
