#include "transfer_buffer_win.h"

#include <cstring>
#include <new>

#include "icon_layout.h"
#include "icon_names.h"
#include "win_handle_win.h"

namespace kestrin {

namespace {

// The length of what lies at the start of `extent` readable bytes, or 0 when it is not whole
// there.
using LengthAt = uint32_t (*)(const uint8_t* view, size_t extent);

// Copies what lies at the start of the named buffer, as long as `lengthAt` measures it within
// the mapping's committed, readable bytes and at most `limit` long, into a new block with
// `slack` spare bytes after it. Leaves nothing open, and the outputs untouched, on failure.
TransferReadResult CopyNamedBuffer(const char* name, LengthAt lengthAt, uint32_t limit,
                                   uint32_t slack, std::unique_ptr<uint8_t[]>* copy,
                                   uint32_t* length) {
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
  if (!mapping) return TransferReadResult::kNotFound;
  MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return TransferReadResult::kNotMapped;

  const auto* bytes = static_cast<const uint8_t*>(view.get());
  const uint32_t measured = lengthAt(bytes, ViewExtent(view.get(), ViewAccess::kRead));
  // Longer than the bound on icons allows: refused before anything is allocated or copied.
  if (measured == 0 || measured > limit) return TransferReadResult::kBadLength;

  // A tag of our own: the runtime's std::nothrow object would pull its threading
  // support into the library.
  const std::nothrow_t noThrow{};
  std::unique_ptr<uint8_t[]> block(new (noThrow) uint8_t[size_t{measured} + slack]);
  if (!block) return TransferReadResult::kOutOfMemory;
  std::memcpy(block.get(), bytes, measured);
  *copy = std::move(block);
  *length = measured;
  return TransferReadResult::kOk;
}

}  // namespace

TransferReadResult ReadTransferBuffer(const char* name, OwnedIconLayout* out) {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t length = 0;
  const TransferReadResult result = CopyNamedBuffer(
      name, UsableLengthAt, kIconLayoutHeaderSize + kMaxIconRecords * kIconRecordSize,
      kReceiveSlack, &bytes, &length);
  if (result != TransferReadResult::kOk) return result;
  out->bytes = std::move(bytes);
  out->length = length;
  out->names.reset();
  out->namesLength = 0;
  return TransferReadResult::kOk;
}

void ReadNamesBuffer(const char* name, OwnedIconLayout* layout) {
  layout->names.reset();
  layout->namesLength = 0;
  if (!layout->bytes) return;
  std::unique_ptr<uint8_t[]> names;
  uint32_t length = 0;
  if (CopyNamedBuffer(name, IconNamesLengthAt, MaxIconNamesSize(kMaxIconRecords), 0, &names,
                      &length) != TransferReadResult::kOk)
    return;
  // Checked on the private copy: the other process may change the buffer meanwhile.
  if (!IconNamesMatch(names.get(), length, layout->bytes.get(), layout->length)) return;
  layout->names = std::move(names);
  layout->namesLength = length;
}

}  // namespace kestrin
