// The snapshot file (display mode, icon layout, gamma) and the options file beside the
// program, the "Saved" panel, and the removal of every snapshot for "/Uninstall".
#pragma once

#include <windows.h>

#include <string>

#include "engine_state_win.h"
#include "gamma_triple.h"
#include "transfer_buffer_win.h"

namespace kestrin {

// <program directory>\<computer>_desktop_<user>.sav. False, with the thread's last error
// set, when a name or the module path can't be read or the path would not fit 260
// characters.
bool SnapshotPath(std::string* path);

// The program's long path with its last "." and what follows replaced by ".ini". False,
// with the last error set, when the module path can't be read or the result would not fit.
bool OptionsPath(std::string* path);

// Reads the whole snapshot. 1: the outputs are filled, *icons owns L + 2 bytes, and
// "Restore Saved" and the three "Apply Saved" buttons are enabled. 0: *icons is empty, the other outputs
// are untouched, and any failure other than a missing file has been shown.
int LoadSnapshot(HWND window, DEVMODEA* mode, OwnedIconLayout* icons, SYSTEMTIME* saveTime,
                 GammaTriple* gamma);

// Writes the three parts to a temporary file beside the snapshot and puts it in the
// snapshot's place only once complete. 1, or 0 after "Unable to save information". Once
// the new file is complete, a snapshot is always left under its own name, the old or the
// new one; on 0 no temporary file is left, unless it is the only copy left.
int WriteSnapshotFile(HWND window, const DEVMODEA& mode, const OwnedIconLayout& icons,
                      const GammaTriple& gamma);

// The calls a save makes to put the complete new snapshot in place. Tests replace them to
// fail as the system can; the program never changes them.
struct SnapshotPlacementCalls {
  BOOL(WINAPI* replaceFile)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) = ReplaceFileA;
  BOOL(WINAPI* moveFile)(LPCSTR, LPCSTR, DWORD) = MoveFileExA;
};
extern SnapshotPlacementCalls snapshotPlacementCalls;

// "Save Current": current display mode, icon layout and gamma into the snapshot, then the
// "Saved" panel refreshed from the new file.
void SaveSnapshot(HWND window, AgentClient* client);

// Fills the "Saved" panel (IDC_SAVED_SIZE, _BITS, _FREQUENCY, IDC_SAVE_TIME) from the snapshot; keeps it on failure.
void ShowSavedSettings(HWND window);

// The three "Restore ... when" check boxes from section "OPTIONS" of the options file (checked when
// missing), and back.
void ReadOptions(HWND window);
void WriteOptions(HWND window);

// Deletes every snapshot file in the program's directory, by full path; nothing else.
void DeleteAllSnapshots();

}  // namespace kestrin
