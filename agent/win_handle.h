// Owners for the few kinds of Win32 handle the agent and its tests hold.
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
struct HookTraits {
  static bool IsValid(HHOOK h) { return h != nullptr; }
  static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using MappedView = UniqueResource<void*, MappedViewTraits>;
using UniqueHook = UniqueResource<HHOOK, HookTraits>;

// Bytes the system lets us address from `view` on: the mapped region's real extent, which
// for an object created earlier by someone else may be smaller than what we asked for.
inline size_t ViewExtent(const void* view) {
  MEMORY_BASIC_INFORMATION info;
  if (!view || VirtualQuery(view, &info, sizeof info) != sizeof info) return 0;
  const auto offset = static_cast<size_t>(static_cast<const char*>(view) -
                                          static_cast<const char*>(info.BaseAddress));
  return info.RegionSize > offset ? info.RegionSize - offset : 0;
}

}  // namespace kestrin
