#include "transfer_slot_win.h"

#include <algorithm>
#include <cstring>

#include "lumiq.h"
#include "win_handle.h"

namespace kestrin {
namespace {

// Per process; used by one thread only (the program's window thread, or the shell's
// desktop thread), so it needs no lock.
struct TransferSlot {
  UniqueHandle mappingHandle;
  MappedView mappingView;
  size_t extent = 0;
};
TransferSlot slot;

}  // namespace

uint8_t* TransferSlotView() { return static_cast<uint8_t*>(slot.mappingView.get()); }
size_t TransferSlotExtent() { return slot.extent; }

void ReleaseTransferSlot() {
  slot.mappingView.reset();
  slot.mappingHandle.reset();
  slot.extent = 0;
}

}  // namespace kestrin

using namespace kestrin;

int __stdcall PrepareMemory(uint32_t size, const char* name, const void* data,
                            uint32_t length) {
  // The previous buffer goes first, also when the rest fails.
  ReleaseTransferSlot();

  slot.mappingHandle.reset(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name));
  if (!slot.mappingHandle) return 0;
  slot.mappingView.reset(MapViewOfFile(slot.mappingHandle.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!slot.mappingView) {
    ReleaseTransferSlot();
    return 0;
  }
  // A name still held open elsewhere hands back the existing object with its own size,
  // which may be smaller than `size`: never write past what the system mapped.
  slot.extent = std::min<size_t>(size, ViewExtent(slot.mappingView.get(), ViewAccess::kWrite));

  if (data && length) {
    const size_t bytes = std::min(size, length);
    if (bytes > slot.extent) {
      ReleaseTransferSlot();
      return 0;
    }
    std::memcpy(slot.mappingView.get(), data, bytes);
  }
  return 1;
}
