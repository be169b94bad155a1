// Reading and writing the snapshot file beside the program: display mode, icon layout,
// gamma and the icons' UTF-16 names (snapshot_format.h has its bytes).
#pragma once

#include <windows.h>

#include <string>

#include "gamma_math.h"
#include "gamma_triple.h"
#include "outcome.h"
#include "transfer_buffer_win.h"

namespace kestrin {

// What a snapshot holds.
struct Snapshot {
  DEVMODEA mode = {};
  OwnedIconLayout icons;  // owns length + 2 bytes
  SYSTEMTIME saveTime = {};
  GammaTriple gamma;
  bool hasRamp = false;  // the exact ramp was saved beside the exponents
  GammaRamp ramp{};
};

// Reads the whole snapshot (FindSnapshotFile's) into *loaded. On failure *loaded's icons are
// empty and the rest is untouched: kFindSnapshot (there is none, or no path for one),
// kOpenSnapshot or kReadSnapshot.
Outcome LoadSnapshot(Snapshot* loaded);
// The same for the file at `path` (a watcher's record), without the temporary file's stand-in.
Outcome LoadSnapshotAt(const std::string& path, Snapshot* loaded);

// Writes the three parts, and the exact ramp when there is one, to a temporary file beside the
// snapshot and puts it in the snapshot's place only once complete; kSaveSnapshot when it cannot.
// Once the new file is complete, a snapshot is always left under its own name, the old or the new
// one; on a failure no temporary file is left, unless it is the only copy left.
Outcome WriteSnapshotFile(const DEVMODEA& mode, const OwnedIconLayout& icons,
                          const GammaTriple& gamma, const GammaRamp* ramp = nullptr);
Outcome WriteSnapshotFileAt(const std::string& path, const DEVMODEA& mode,
                            const OwnedIconLayout& icons, const GammaTriple& gamma,
                            const GammaRamp* ramp);

// The calls a save makes to put the complete new snapshot in place. Tests replace them to
// fail as the system can; the program never changes them.
struct SnapshotPlacementCalls {
  BOOL(WINAPI* replaceFile)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) = ReplaceFileW;
  BOOL(WINAPI* moveFile)(LPCWSTR, LPCWSTR, DWORD) = MoveFileExW;
};
extern SnapshotPlacementCalls snapshotPlacementCalls;

}  // namespace kestrin
