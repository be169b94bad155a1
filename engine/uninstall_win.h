// "/Uninstall": the removal of every snapshot beside the program.
#pragma once

#include <windows.h>

namespace kestrin {

// Deletes every snapshot file in the program's directory, and any save's temporary file
// beside them, by full path; nothing else. A file that will not go is shown ("Unable to
// delete <full path> : <system's text>") and the others still go.
void DeleteAllSnapshots(HWND window);

}  // namespace kestrin
