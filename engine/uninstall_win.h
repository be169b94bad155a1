// "/Uninstall": the removal of every snapshot beside the program.
#pragma once

#include "outcome.h"

namespace kestrin {

// Deletes every snapshot file in the program's directory, and any save's temporary file
// beside them, by full path; nothing else. A file that will not go is reported (kDeleteFile)
// and the others still go.
void DeleteAllSnapshots(const Report& report);

}  // namespace kestrin
