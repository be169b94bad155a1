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

// The agent's second buffer, for the names beside a capture: a new named buffer of `size`
// bytes, all of them writable, or null (and none) when that cannot be had.
uint8_t* PrepareNamesSlot(uint32_t size, const char* name);
void ReleaseNamesSlot();

}  // namespace kestrin
