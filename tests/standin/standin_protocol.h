// What standin.exe and its client agree on: the control window's class (its title is the
// stand-in's process id), the reply mapping's name prefix (plus that id) and the one message
// that is not a WM_COPYDATA command.
#pragma once

#include <windows.h>

namespace standin {

constexpr char kControlClass[] = "KestrinStandinControl";
constexpr char kReplyMappingPrefix[] = "KestrinStandin";
constexpr DWORD kReplySize = 1 << 20;
constexpr UINT kProvokeFaultMessage = WM_APP + 2;  // answered by a read of an invalid address

}  // namespace standin
