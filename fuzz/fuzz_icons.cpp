// The agent's blob reader, then the names block reader on the bytes after the blob, over arbitrary transfer buffers.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t length = UsableLengthAt(data, size);
  const std::vector<uint8_t> blob(data, data + length);  // exact size: a read past the length is caught
  const uint32_t records = UsableRecordCount(blob.data(), length);
  for (uint32_t i = 0; i < records; ++i)
    if (std::strlen(ReadIconRecord(blob.data(), i).label) >= kIconLabelSize) std::abort();
  if (!IconNamesMatch(data + length, size - length, blob.data(), length)) return 0;
  IconNameCursor cursor(data + length);  // a trusted block: an entry per record of the blob's count, 259 units at most
  char16_t name[kMaxIconNameUnits + 1];
  for (uint32_t i = 0, count = LoadU32(blob.data() + 4); i < count; ++i)
    if (cursor.Next(name) > kMaxIconNameUnits) std::abort();
  return 0;
}
