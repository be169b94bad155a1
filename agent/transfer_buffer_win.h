// Reading a transfer buffer: open it by name, copy the blob out, close it at once.
// Shared by the agent (apply) and the program (capture); needs no call into Lumiq.dll.
#pragma once

#include <cstdint>
#include <memory>

namespace kestrin {

// A private copy of a blob: `length` bytes followed by 2 spare bytes.
struct OwnedIconLayout {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t length = 0;
};

enum class TransferReadResult { kOk, kNotFound, kNotMapped, kBadLength, kOutOfMemory };

// Copies the blob at the start of the named buffer. The length word must describe at least
// a header and lie within the mapped view, so a damaged or hostile buffer is refused
// rather than read past. Leaves nothing open or allocated on failure.
TransferReadResult ReadTransferBuffer(const char* name, OwnedIconLayout* out);

}  // namespace kestrin
