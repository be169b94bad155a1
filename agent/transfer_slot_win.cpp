#include "transfer_slot_win.h"

#include <algorithm>
#include <cstring>

#include "lumiq_win.h"
#include "user_access_win.h"
#include "win_handle_win.h"

namespace kestrin {
namespace {

// Per process; used by one thread only (the program's window thread, or the shell's
// desktop thread), so it needs no lock.
struct TransferSlot {
  UniqueHandle mappingHandle;
  MappedView mappingView;
  size_t extent = 0;
};
TransferSlot slot;       // PrepareMemory's buffer
TransferSlot namesSlot;  // the agent's names buffer beside its capture

void Release(TransferSlot& s) {
  s.mappingView.reset();
  s.mappingHandle.reset();
  s.extent = 0;
}

bool Prepare(TransferSlot& s, uint32_t size, const char* name, const void* data, uint32_t length) {
  // The previous buffer goes first, also when the rest fails.
  Release(s);
  bool existed = false;
  {  // the descriptor is freed here, not after the last error below is set
    UserAccess access;
    s.mappingHandle.reset(
        CreateFileMappingA(INVALID_HANDLE_VALUE, access.get(), PAGE_READWRITE, 0, size, name));
    existed = GetLastError() == ERROR_ALREADY_EXISTS;
  }
  if (!s.mappingHandle) return false;
  s.mappingView.reset(MapViewOfFile(s.mappingHandle.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!s.mappingView) {
    Release(s);
    return false;
  }
  // A name still held open elsewhere hands back the existing object with its own size,
  // which may be smaller than `size`, or only reserved: never touch more than the
  // committed, writable part of what the system mapped.
  s.extent = std::min<size_t>(size, ViewExtent(s.mappingView.get(), ViewAccess::kWrite));
  if (data && length) {
    const size_t bytes = std::min(size, length);
    if (bytes > s.extent) {
      Release(s);
      // Tells the caller that waiting for the other holder to let go may help.
      if (existed) SetLastError(ERROR_ALREADY_EXISTS);
      return false;
    }
    std::memcpy(s.mappingView.get(), data, bytes);
  }
  return true;
}

}  // namespace

uint8_t* TransferSlotView() { return static_cast<uint8_t*>(slot.mappingView.get()); }
size_t TransferSlotExtent() { return slot.extent; }
void ReleaseTransferSlot() { Release(slot); }

uint8_t* PrepareNamesSlot(uint32_t size, const char* name) {
  if (!Prepare(namesSlot, size, name, nullptr, 0) || namesSlot.extent < size) {
    Release(namesSlot);
    return nullptr;
  }
  return static_cast<uint8_t*>(namesSlot.mappingView.get());
}
void ReleaseNamesSlot() { Release(namesSlot); }

}  // namespace kestrin

using namespace kestrin;

int __stdcall PrepareMemory(uint32_t size, const char* name, const void* data, uint32_t length) {
  return Prepare(slot, size, name, data, length) ? 1 : 0;
}

void __stdcall ReleaseMemory() { ReleaseTransferSlot(); }
