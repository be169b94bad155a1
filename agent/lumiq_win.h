// Exports of Lumiq.dll, linked by the program at load time. __stdcall on x86; the .def
// file keeps the names undecorated on both architectures.
#pragma once

#include <cstdint>

#ifdef LUMIQ_BUILDING_LIBRARY
#define LUMIQ_API
#else
#define LUMIQ_API __declspec(dllimport)
#endif

extern "C" {
// Replaces this process's transfer buffer with a new named one of `size` bytes holding
// min(size, length) bytes of `data`. 1 when the buffer exists and holds them, else 0; 0 with
// the last error ERROR_ALREADY_EXISTS when another process holds the name with less room.
LUMIQ_API int __stdcall PrepareMemory(uint32_t size, const char* name, const void* data,
                                      uint32_t length);
// Lets go of this process's transfer buffer, so that the name is free for others.
LUMIQ_API void __stdcall ReleaseMemory();
// Hooks `threadId` (the desktop list view's thread) and wakes it; 0 removes the hook.
LUMIQ_API int __stdcall SetExplorerHook(uint32_t threadId);
}
