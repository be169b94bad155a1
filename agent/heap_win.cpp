// The library's allocation operators, on the process heap. Lumiq runs inside the shell:
// with these, the C++ runtime's own operator new, and the exception and threading
// support it brings (winpthreads adds a TLS callback that runs on every thread of the
// shell), stay out of the library. Nothing here throws: a failed allocation is null.
#include <windows.h>

#include <cstddef>
#include <new>

void* operator new(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
