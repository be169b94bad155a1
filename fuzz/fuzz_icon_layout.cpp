// The blob reader as the agent's apply and the program's capture use it, over arbitrary
// bytes standing for a transfer buffer's mapped view.
#include <cstdlib>
#include <cstring>

#include "icon_layout.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t length = UsableLengthAt(data, size);
  if (length == 0) return 0;
  // An exact-size private copy, so that any read past the blob is caught.
  auto* copy = static_cast<uint8_t*>(std::malloc(length));
  if (!copy) return 0;
  std::memcpy(copy, data, length);
  const uint32_t records = UsableRecordCount(copy, length);
  if (uint64_t{kIconLayoutHeaderSize} + uint64_t{records} * kIconRecordSize > length) std::abort();
  for (uint32_t i = 0; i < records; ++i) {
    const IconRecordView record = ReadIconRecord(copy, i);
    if (std::strlen(record.label) >= kIconLabelSize) std::abort();
  }
  if (IsWellFormedIconLayout(copy, length) && records != uint32_t(LoadU32(copy + 4))) std::abort();
  std::free(copy);
  return 0;
}
