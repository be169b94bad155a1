// Owners for the kinds of Win32 handle the program, the agent and their tests hold, each
// given back on every path. Lumiq.dll includes this too: nothing here throws, and what it
// does not use (the GDI owners) is never instantiated there.
#pragma once

#include <windows.h>

namespace kestrin {

template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(Traits::IsValid(value) ? value : T{}) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }
  T release() {
    T value = value_;
    value_ = T{};
    return value;
  }
  void reset(T value = T{}) {
    if (value_ != T{}) Traits::Close(value_);
    value_ = Traits::IsValid(value) ? value : T{};
  }

 private:
  T value_{};
};

struct KernelHandleTraits {
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct MappedViewTraits {
  static bool IsValid(void* p) { return p != nullptr; }
  static void Close(void* p) { UnmapViewOfFile(p); }
};
struct LocalMemoryTraits {
  static bool IsValid(HLOCAL p) { return p != nullptr; }
  static void Close(HLOCAL p) { LocalFree(p); }
};
struct FindHandleTraits {
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
template <typename T>
struct GdiObjectTraits {
  static bool IsValid(T object) { return object != nullptr; }
  static void Close(T object) { DeleteObject(object); }
};

struct WindowTraits {
  static bool IsValid(HWND w) { return w != nullptr; }
  static void Close(HWND w) { DestroyWindow(w); }
};

template <typename T>
struct ComTraits {
  static bool IsValid(T* p) { return p != nullptr; }
  static void Close(T* p) { p->Release(); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using MappedView = UniqueResource<void*, MappedViewTraits>;
using UniqueLocal = UniqueResource<HLOCAL, LocalMemoryTraits>;
using UniqueFind = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueFont = UniqueResource<HFONT, GdiObjectTraits<HFONT>>;
using UniquePen = UniqueResource<HPEN, GdiObjectTraits<HPEN>>;
using UniqueWindow = UniqueResource<HWND, WindowTraits>;
template <typename T>
using ComRef = UniqueResource<T*, ComTraits<T>>;  // a COM interface pointer

// A device context from GetDC for `window`, or for the whole screen without one.
class ScreenDC {
 public:
  explicit ScreenDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ~ScreenDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

enum class ViewAccess { kRead, kWrite };

// Bytes from `view` on that the system lets us touch with `access`: the committed pages of
// the mapping with that protection, no further. A mapping someone else created first may be
// smaller than what we asked for, or only reserved (touching such a page faults).
inline size_t ViewExtent(const void* view, ViewAccess access) {
  constexpr DWORD kWritable =
      PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  constexpr DWORD kReadable = kWritable | PAGE_READONLY | PAGE_EXECUTE_READ;
  const DWORD wanted = access == ViewAccess::kWrite ? kWritable : kReadable;
  const auto* at = static_cast<const char*>(view);
  MEMORY_BASIC_INFORMATION info;
  if (!view || VirtualQuery(at, &info, sizeof info) != sizeof info) return 0;
  const void* allocation = info.AllocationBase;
  size_t usable = 0;
  // Regions of one view differ only where their state or protection does.
  while (info.AllocationBase == allocation && info.State == MEM_COMMIT && (info.Protect & wanted) &&
         !(info.Protect & (PAGE_GUARD | PAGE_NOACCESS))) {
    const auto* end = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    usable += static_cast<size_t>(end - at);
    at = end;
    if (VirtualQuery(at, &info, sizeof info) != sizeof info) break;
  }
  return usable;
}

}  // namespace kestrin
