#include "gamma_win.h"

#include "message_box_win.h"
#include "win_handle_win.h"

namespace kestrin {

namespace {

constexpr char kSetFailed[] = "Unable to set gamma adjustment";
constexpr char kReadFailed[] = "Unable to retrieve gamma adjustment";

// Runs `request` on the first monitor of the screen; its result stays 0 without one.
int RunOnFirstMonitor(GammaRequest* request) {
  ScreenDC screen;
  // Without the screen's context the enumeration would hand the callback none either.
  if (!screen.get()) return 0;
  EnumDisplayMonitors(screen.get(), nullptr, GammaMonitorProc, reinterpret_cast<LPARAM>(request));
  return request->result;
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

int ReadScreenRamp(GammaRamp* ramp) {
  GammaRequest request;
  request.readMode = 1;
  request.ramp = ramp;
  return RunOnFirstMonitor(&request);
}

int SetScreenRamp(GammaRamp* ramp) {
  GammaRequest request;
  request.ramp = ramp;
  return RunOnFirstMonitor(&request);
}

int BuildAndSetGamma(double red, double green, double blue) {
  GammaRamp ramp;
  BuildGammaRamp(red, green, blue, ramp);
  GammaRequest request;
  request.readMode = 0;
  request.ramp = &ramp;
  return RunOnFirstMonitor(&request);
}

int ApplyGamma(HWND owner, const GammaTriple& triple) {
  if (BuildAndSetGamma(triple.red, triple.green, triple.blue) == 0) {
    ShowMessage(owner, kSetFailed, kBoxExclamation);
    return 0;
  }
  return 1;
}

int ReadGamma(HWND owner, GammaTriple* out) {
  GammaTriple triple;  // 1.0, 1.0, 1.0 unless the read succeeds
  GammaRamp ramp{};
  GammaRequest request;
  request.readMode = 1;
  request.ramp = &ramp;
  const int read = RunOnFirstMonitor(&request);
  if (read != 0) {
    triple.red = EstimateGammaExponent(ramp.data(), kRedChannel);
    triple.green = EstimateGammaExponent(ramp.data(), kGreenChannel);
    triple.blue = EstimateGammaExponent(ramp.data(), kBlueChannel);
  }
  if (out) *out = triple;
  if (read == 0) {
    ShowMessage(owner, kReadFailed, kBoxExclamation);
    return 0;
  }
  return 1;
}

void UndoGamma(HWND owner, const StartupState& startup) {
  const GammaTriple& triple = startup.startupGamma;
  if (BuildAndSetGamma(triple.red, triple.green, triple.blue) == 0)
    ShowMessage(owner, kSetFailed, kBoxExclamation);
}

}  // namespace kestrin
