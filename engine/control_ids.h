// Numeric ids of the main window's controls that the engine reads and writes.
// Portable: no <windows.h>.
#pragma once

namespace kestrin::ids {

constexpr int kExit = 2;
constexpr int kViewCurrent = 1000;       // hidden: refreshes the Current panel
constexpr int kViewSaved = 1001;         // hidden: refreshes the Saved panel
constexpr int kSaveCurrent = 1002;
constexpr int kCurrentSize = 1003;       // "%u x %u"
constexpr int kCurrentBits = 1004;
constexpr int kCurrentFrequency = 1005;
constexpr int kSavedBits = 1006;
constexpr int kSavedFrequency = 1007;
constexpr int kSavedSize = 1008;
constexpr int kApplySavedMode = 1009;
constexpr int kApplyTemporarily = 1010;  // radio
constexpr int kApplyAndSave = 1011;      // radio, never read
constexpr int kAllUsers = 1012;          // check box
constexpr int kRestoreDefaultMode = 1013;
constexpr int kRestoreSaved = 1015;
constexpr int kApplySavedIcons = 1016;
constexpr int kUndoIcons = 1017;
constexpr int kFold = 1018;
constexpr int kUndoAll = 1019;
constexpr int kUndoMode = 1020;
constexpr int kApplySavedGamma = 1033;
constexpr int kUndoGamma = 1034;
constexpr int kAppIcon = 1036;
constexpr int kSaveTimeLabel = 1040;
constexpr int kSaveTime = 1041;
constexpr int kRestoreIconsCheck = 1044;
constexpr int kRestoreModeCheck = 1045;
constexpr int kRestoreGammaCheck = 1046;

}  // namespace kestrin::ids
