#include "transfer_buffer_win.h"

#include <cstring>
#include <new>

#include "icon_layout.h"
#include "icon_names.h"
#include "win_handle_win.h"

namespace kestrin {

TransferReadResult ReadTransferBuffer(const char* name, OwnedIconLayout* out) {
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
  if (!mapping) return TransferReadResult::kNotFound;
  MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return TransferReadResult::kNotMapped;

  const auto* bytes = static_cast<const uint8_t*>(view.get());
  const uint32_t length = UsableLengthAt(bytes, ViewExtent(view.get(), ViewAccess::kRead));
  if (length == 0) return TransferReadResult::kBadLength;

  // A tag of our own: the runtime's std::nothrow object would pull its threading
  // support into the library.
  const std::nothrow_t noThrow{};
  std::unique_ptr<uint8_t[]> copy(new (noThrow) uint8_t[size_t{length} + kReceiveSlack]);
  if (!copy) return TransferReadResult::kOutOfMemory;
  std::memcpy(copy.get(), bytes, length);
  out->bytes = std::move(copy);
  out->length = length;
  out->names.reset();
  out->namesLength = 0;
  return TransferReadResult::kOk;
}

void ReadNamesBuffer(const char* name, OwnedIconLayout* layout) {
  layout->names.reset();
  layout->namesLength = 0;
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name));
  if (!mapping || !layout->bytes) return;
  MappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return;
  const auto* bytes = static_cast<const uint8_t*>(view.get());
  const uint32_t length = IconNamesLengthAt(bytes, ViewExtent(view.get(), ViewAccess::kRead));
  if (length == 0) return;
  const std::nothrow_t noThrow{};
  std::unique_ptr<uint8_t[]> copy(new (noThrow) uint8_t[length]);
  if (!copy) return;
  std::memcpy(copy.get(), bytes, length);
  // Checked on the private copy: the other process may change the buffer meanwhile.
  if (!IconNamesMatch(copy.get(), length, layout->bytes.get(), layout->length)) return;
  layout->names = std::move(copy);
  layout->namesLength = length;
}

}  // namespace kestrin
