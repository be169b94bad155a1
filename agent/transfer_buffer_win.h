// Reading a transfer buffer: open it by name, copy the blob out, close it at once.
// Shared by the agent (apply) and the program (capture); needs no call into Lumiq.dll.
#pragma once

#include <cstdint>
#include <memory>

namespace kestrin {

// A private copy of a blob: `length` bytes followed by 2 spare bytes; and, when known and
// needed, the icons' UTF-16 names block that belongs to it (icon_names.h).
struct OwnedIconLayout {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t length = 0;
  std::unique_ptr<uint8_t[]> names;
  uint32_t namesLength = 0;
};

enum class TransferReadResult { kOk, kNotFound, kNotMapped, kBadLength, kOutOfMemory };

// Copies the blob at the start of the named buffer. The length word must describe at least
// a header, at most kMaxIconRecords records, and lie within the mapped view, so a damaged or
// hostile buffer is refused rather than read past. Leaves nothing open or allocated on failure.
TransferReadResult ReadTransferBuffer(const char* name, OwnedIconLayout* out);

// Copies the names block in the named buffer into `layout` when it belongs to the layout's
// blob; otherwise (no such buffer, a damaged block, another blob's) leaves it without
// names. Leaves nothing open.
void ReadNamesBuffer(const char* name, OwnedIconLayout* layout);

}  // namespace kestrin
