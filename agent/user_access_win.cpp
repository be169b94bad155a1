#include "user_access_win.h"

#include <sddl.h>

namespace kestrin {

UserAccess::UserAccess() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return;
  const UniqueHandle token(opened);
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  char* sid = nullptr;
  if (!GetTokenInformation(token.get(), TokenUser, &info, sizeof info, &size) ||
      !ConvertSidToStringSidA(info.user.User.Sid, &sid))
    return;
  const UniqueLocal sidText(sid);
  // wsprintfA writes 1024 characters at most; a SID's text is under 200.
  char text[1024];
  wsprintfA(text, "D:P(A;;GA;;;%s)(A;;GA;;;SY)S:(ML;;NW;;;ME)", sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return;
  descriptor_.reset(descriptor);
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor;
  attributes_.bInheritHandle = FALSE;
}

}  // namespace kestrin
