// The screen's gamma ramp: set from three exponents, read back as three exponents.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine_state_win.h"
#include "gamma_math.h"
#include "gamma_triple.h"

namespace kestrin {

// Handed to GammaMonitorProc through the enumeration's user value.
struct GammaRequest {
  int32_t result = 0;    // the device call's result; stays 0 when no monitor came
  int32_t readMode = 0;  // non-zero: read into `ramp`; 0: set `ramp`
  GammaRamp* ramp = nullptr;
};

// Handles the first monitor only (returns FALSE to end the enumeration), on the device
// context the enumeration hands over. `data` points to a GammaRequest.
BOOL CALLBACK GammaMonitorProc(HMONITOR monitor, HDC context, LPRECT rect, LPARAM data) noexcept;

// The screen's ramp as it is, read and set entry for entry; non-zero on success.
int ReadScreenRamp(GammaRamp* ramp);
int SetScreenRamp(GammaRamp* ramp);

// Builds the ramp for the three exponents and sets it on the screen; non-zero on success.
// The platform may refuse a ramp (0); the screen then keeps the one it had.
int BuildAndSetGamma(double red, double green, double blue);

// Sets `triple`; on failure shows "Unable to set gamma adjustment" owned by `owner`.
int ApplyGamma(HWND owner, const GammaTriple& triple);

// Reads the screen's ramp and estimates its exponents into *out (1.0, 1.0, 1.0 when the read
// fails, with "Unable to retrieve gamma adjustment" owned by `owner`). 1 or 0.
int ReadGamma(HWND owner, GammaTriple* out);

// The Gamma "Undo" command: sets the start-up triple, or shows "Unable to set gamma
// adjustment".
void UndoGamma(HWND owner, const StartupState& startup);

}  // namespace kestrin
