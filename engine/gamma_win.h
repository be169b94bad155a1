// The screen's gamma ramp: set from three exponents, read back as three exponents.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gamma_math.h"
#include "gamma_triple.h"
#include "outcome.h"

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

// The screen's ramp as it is, entry for entry; kReadGamma when it cannot be read.
Outcome ReadRamp(GammaRamp* ramp);

// Sets the ramp the three exponents build; kSetGamma when the platform refuses it (the
// screen then keeps the one it had).
Outcome SetGamma(const GammaTriple& triple);

// Reads the screen's ramp and estimates its exponents into *out, and gives the ramp itself to
// *exact when asked; 1.0, 1.0, 1.0 (and *exact untouched) and kReadGamma when the read fails.
Outcome ReadGamma(GammaTriple* out, GammaRamp* exact = nullptr);

// The exponents that describe `ramp`, each rounded to one decimal.
GammaTriple EstimateGammaTriple(const GammaRamp& ramp);

// Sets the exact `ramp` where the platform takes it; a platform that refuses a ramp read back
// from the device (Wine checks its shape) gets the one `fallback` builds, or without one the
// one built from the ramp's estimated exponents.
Outcome SetRampOrGamma(const GammaRamp* ramp, const GammaTriple* fallback);

}  // namespace kestrin
