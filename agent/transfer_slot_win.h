// This process's transfer buffer: the mapping made by its last PrepareMemory call, kept
// open so that the other process can read it after the call returns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrin {

// The current view and how many bytes of it may be written; null and 0 when empty.
uint8_t* TransferSlotView();
size_t TransferSlotExtent();
void ReleaseTransferSlot();

}  // namespace kestrin
