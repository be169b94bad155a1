// The options file beside the program (Kestrin.ini): the three "Restore Saved" check boxes.
#pragma once

#include <windows.h>

namespace kestrin {

// The three "Restore ... when" check boxes from section "OPTIONS" of the options file
// (checked when missing), and back.
void ReadOptions(HWND window);
void WriteOptions(HWND window);

}  // namespace kestrin
