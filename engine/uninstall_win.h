// "/Uninstall": the removal of every snapshot beside the program.
#pragma once

namespace kestrin {

// Deletes every snapshot file in the program's directory, by full path; nothing else.
void DeleteAllSnapshots();

}  // namespace kestrin
