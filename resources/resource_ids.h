// Resource ids shared by the resource script and the program's windows. Plain macros,
// because the resource compiler reads this file too. Portable: no <windows.h>.
#ifndef KESTRIN_RESOURCE_IDS_H
#define KESTRIN_RESOURCE_IDS_H

#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDI_APP 128

// About box controls (the main window's ids are in engine/control_ids.h).
#define IDC_ABOUT_VERSION 1033      // "Kestrin Version ...", bold
#define IDC_ABOUT_DESCRIPTION 1034
#define IDC_ABOUT_COPYRIGHT 1035
#define IDC_ABOUT_LINK 1037         // the web address, made a link label

// The About box texts of our own choosing; the copyright line is also in the version resource.
#define KESTRIN_COPYRIGHT "Copyright (C) 2026 Kestrin developers"
// The About box's link opens this file beside the program; the release archives carry it.
#define KESTRIN_README_NAME "README-Windows.txt"

#endif  // KESTRIN_RESOURCE_IDS_H
