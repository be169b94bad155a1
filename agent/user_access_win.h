// Named objects the user's own processes can open, whatever their integrity level. An
// elevated Kestrin would otherwise create them with its elevated token's default DACL and a
// high label: the (medium) shell could not open its apply buffer, nor a second, non-elevated
// start its single-instance mutex.
#pragma once

#include <windows.h>

#include "win_handle_win.h"

namespace kestrin {

class UserAccess {
 public:
  UserAccess();
  // For the Create* calls: all access for the token's user and SYSTEM, a medium label; null
  // (the system's default) when that descriptor cannot be had.
  SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  UniqueLocal descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace kestrin
