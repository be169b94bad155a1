// Resource ids shared by the resource script and the program's windows. Plain macros,
// because the resource compiler reads this file too. Portable: no <windows.h>.
#ifndef KESTRIN_RESOURCE_IDS_H
#define KESTRIN_RESOURCE_IDS_H

#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDI_APP 128
#define SYSCMD_ABOUT 16  // the window menu's "About Kestrin..."; its low four bits are the system's

// Main window controls. OK (IDOK) is hidden and disabled; Exit is IDCANCEL.
#define IDC_VIEW_CURRENT 1000  // hidden: refreshes the Current panel
#define IDC_VIEW_SAVED 1001    // hidden: refreshes the Saved panel
#define IDC_SAVE_CURRENT 1002
#define IDC_CURRENT_SIZE 1003  // "%u x %u"
#define IDC_CURRENT_BITS 1004
#define IDC_CURRENT_FREQUENCY 1005
#define IDC_SAVED_BITS 1006
#define IDC_SAVED_FREQUENCY 1007
#define IDC_SAVED_SIZE 1008
#define IDC_APPLY_SAVED_MODE 1009
#define IDC_APPLY_TEMPORARILY 1010  // radio
#define IDC_APPLY_AND_SAVE 1011     // radio, never read
#define IDC_ALL_USERS 1012          // check box
#define IDC_RESTORE_DEFAULT_MODE 1013
#define IDC_RESTORE_SAVED 1015
#define IDC_APPLY_SAVED_ICONS 1016
#define IDC_UNDO_ICONS 1017
#define IDC_FOLD 1018  // "More >>" / "<< Less"
#define IDC_UNDO_ALL 1019
#define IDC_UNDO_MODE 1020
#define IDC_RESOLUTION_GROUP 1021
#define IDC_ICONS_GROUP 1022
#define IDC_CURRENT_SIZE_LABEL 1023
#define IDC_CURRENT_BITS_LABEL 1024
#define IDC_CURRENT_BITS_UNIT 1025
#define IDC_CURRENT_FREQUENCY_LABEL 1026
#define IDC_CURRENT_FREQUENCY_UNIT 1027
#define IDC_SAVED_SIZE_LABEL 1028
#define IDC_SAVED_BITS_LABEL 1029
#define IDC_SAVED_BITS_UNIT 1030
#define IDC_SAVED_FREQUENCY_LABEL 1031
#define IDC_SAVED_FREQUENCY_UNIT 1032
#define IDC_APPLY_SAVED_GAMMA 1033
#define IDC_UNDO_GAMMA 1034
#define IDC_APP_ICON 1036  // opens the About box
#define IDC_CURRENT_GROUP 1038
#define IDC_SAVED_GROUP 1039
#define IDC_SAVE_TIME_LABEL 1040
#define IDC_SAVE_TIME 1041
#define IDC_GAMMA_GROUP 1043
#define IDC_RESTORE_ICONS_CHECK 1044  // "Use in genaral restore", one per part
#define IDC_RESTORE_MODE_CHECK 1045
#define IDC_RESTORE_GAMMA_CHECK 1046

// About box controls.
#define IDC_ABOUT_VERSION 1033  // "Kestrin Version ...", bold
#define IDC_ABOUT_DESCRIPTION 1034
#define IDC_ABOUT_COPYRIGHT 1035
#define IDC_ABOUT_LINK 1037  // the web address, made a link label

// The About box texts of our own choosing; the copyright line is also in the version resource.
#define KESTRIN_COPYRIGHT "Copyright (C) 2026 Kestrin developers"
// The About box's link opens this file beside the program; the release archives carry it.
#define KESTRIN_README_NAME "README-Windows.txt"

#endif  // KESTRIN_RESOURCE_IDS_H
