#include "save_restore_win.h"

#include "agent_client_win.h"
#include "gamma_win.h"
#include "snapshot_file_win.h"

namespace kestrin {

bool SaveScreen(AgentClient* agent, const Report& report) {
  DEVMODEA mode;
  OwnedIconLayout icons;
  for (const Outcome& step : {ReadDisplayMode(&mode), CaptureIconLayout(agent, &icons)}) {
    if (!step.ok()) return report(step), false;
  }
  // The exact ramp beside its exponents, so that a calibrated curve comes back whole. A failed
  // read saves 1.0, 1.0, 1.0 and no ramp.
  GammaRamp ramp{};
  GammaTriple gamma;
  const Outcome read = ReadGamma(&gamma, &ramp);
  if (!read.ok()) report(read);
  const Outcome written = WriteSnapshotFile(mode, icons, gamma, read.ok() ? &ramp : nullptr);
  if (!written.ok()) report(written);
  return written.ok();
}

ScreenTarget SnapshotTarget(const Snapshot& snapshot) {
  return {&snapshot.mode, &snapshot.icons, snapshot.hasRamp ? &snapshot.ramp : nullptr,
          &snapshot.gamma};
}

void RestoreScreen(const ScreenTarget& target, const RestoreSteps& steps, AgentClient* agent,
                   const Report& report, const std::function<void()>& modeChanged) {
  auto check = [&report](const Outcome& outcome) {
    if (!outcome.ok()) report(outcome);
    return outcome.ok();
  };
  if (steps.parts.mode && target.mode) {
    DEVMODEA record = *target.mode;
    if (check(ApplyDisplayMode(&record, steps.lasting)) && modeChanged) modeChanged();
  }
  if (steps.parts.mode && steps.settle) Sleep(MODE_SETTLE_MS);
  if (steps.parts.icons) {
    // No layout to put back (none was captured) is told as any apply that cannot be done.
    check(target.icons && target.icons->bytes ? ApplyIconLayout(agent, *target.icons)
                                              : Failed(Step::kApplyIcons));
  }
  // Last: most drivers reset the ramp on a mode change.
  if (steps.parts.gamma && (target.ramp || target.gamma))
    check(SetRampOrGamma(target.ramp, target.gamma));
}

}  // namespace kestrin
