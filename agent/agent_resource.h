// The agent window's dialog id and title, read by Lumiq's resource script and, through
// agent_protocol.h, by the C++. Plain macros, because the resource compiler reads this file
// too. Portable: no <windows.h>.
#ifndef KESTRIN_AGENT_RESOURCE_H
#define KESTRIN_AGENT_RESOURCE_H

#define LUMIQ_AGENT_DIALOG_ID 9
#define LUMIQ_AGENT_WINDOW_TITLE "Kestrin 1.0 Brixholm"

#endif  // KESTRIN_AGENT_RESOURCE_H
