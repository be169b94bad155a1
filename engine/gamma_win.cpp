#include "gamma_win.h"

#include "win_handle_win.h"

namespace kestrin {

namespace {

// Runs `request` on the first monitor of the screen; its result stays 0 without one.
int RunOnFirstMonitor(GammaRequest* request) {
  ScreenDC screen;
  // Without the screen's context the enumeration would hand the callback none either.
  if (!screen.get()) return 0;
  EnumDisplayMonitors(screen.get(), nullptr, GammaMonitorProc, reinterpret_cast<LPARAM>(request));
  return request->result;
}

bool ReadScreenRamp(GammaRamp* ramp) {
  GammaRequest request;
  request.readMode = 1;
  request.ramp = ramp;
  return RunOnFirstMonitor(&request) != 0;
}

bool SetScreenRamp(GammaRamp* ramp) {
  GammaRequest request;
  request.ramp = ramp;
  return RunOnFirstMonitor(&request) != 0;
}

}  // namespace

BOOL CALLBACK GammaMonitorProc(HMONITOR, HDC context, LPRECT, LPARAM data) noexcept {
  auto* request = reinterpret_cast<GammaRequest*>(data);
  if (!request || !request->ramp) return FALSE;
  void* ramp = request->ramp->data();
  request->result =
      request->readMode ? GetDeviceGammaRamp(context, ramp) : SetDeviceGammaRamp(context, ramp);
  return FALSE;
}

Outcome ReadRamp(GammaRamp* ramp) {
  return ReadScreenRamp(ramp) ? Outcome() : Failed(Step::kReadGamma);
}

Outcome SetGamma(const GammaTriple& triple) {
  GammaRamp ramp;
  BuildGammaRamp(triple.red, triple.green, triple.blue, ramp);
  return SetScreenRamp(&ramp) ? Outcome() : Failed(Step::kSetGamma);
}

Outcome ReadGamma(GammaTriple* out, GammaRamp* exact) {
  GammaTriple triple;  // 1.0, 1.0, 1.0 unless the read succeeds
  GammaRamp ramp{};
  const bool read = ReadScreenRamp(&ramp);
  if (read) triple = EstimateGammaTriple(ramp);
  if (out) *out = triple;
  if (read && exact) *exact = ramp;
  return read ? Outcome() : Failed(Step::kReadGamma);
}

GammaTriple EstimateGammaTriple(const GammaRamp& ramp) {
  return {EstimateGammaExponent(ramp.data(), kRedChannel),
          EstimateGammaExponent(ramp.data(), kGreenChannel),
          EstimateGammaExponent(ramp.data(), kBlueChannel)};
}

Outcome SetRampOrGamma(const GammaRamp* ramp, const GammaTriple* fallback) {
  GammaRamp copy = ramp ? *ramp : GammaRamp{};  // the platform's call takes it unconst
  if (ramp && SetScreenRamp(&copy)) return Outcome();
  if (fallback) return SetGamma(*fallback);
  return ramp ? SetGamma(EstimateGammaTriple(*ramp)) : Outcome();
}

}  // namespace kestrin
