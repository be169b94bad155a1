// Capture and apply through the agent on a stand-in desktop of 1000 icons, against the
// floor: the same list-view calls made directly on the list view's thread in the stand-in.
// Prints medians of several runs and the ratios; it measures, it does not judge.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "agent_client_win.h"
#include "agent_protocol.h"
#include "bench_timing_win.h"
#include "icon_layout.h"
#include "lumiq_win.h"
#include "standin_client_win.h"
#include "transfer_buffer_win.h"

using namespace kestrin;

namespace {

constexpr int kIcons = 1000;
constexpr int kRuns = 9;

int Fail(const std::string& what) {
  std::fprintf(stderr, "lumiq_bench: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main() {
  std::string error;
  auto desktop = StandinDesktop::Start(&error);
  if (!desktop) return Fail("stand-in desktop: " + error);
  for (int i = 0; i < kIcons; ++i) {
    if (!desktop->AddIcon("Icon number " + std::to_string(i), 10 + 70 * (i % 25),
                          10 + 70 * (i / 25)))
      return Fail("adding icons");
  }
  // Connected as the program connects; the commands then sent raw, so that only the agent's
  // work and the transfer are measured.
  AgentClient client;
  if (!ConnectAgent(&client).ok()) return Fail("connecting to the agent");
  auto send = [&client](uintptr_t command) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(client.agentWindow, AGENT_MSG, command,
                               reinterpret_cast<LPARAM>(client.desktopListView), SMTO_NORMAL,
                               client.commandTimeoutMs, &result) &&
           result != 0;  // a capture answers its number
  };

  std::vector<double> capture, apply, floorCapture, floorApply;
  OwnedIconLayout layout;
  for (int run = 0; run < kRuns; ++run) {
    double start = NowMicroseconds();
    if (!send(AGENT_CMD_CAPTURE)) return Fail("capture command");
    if (ReadTransferBuffer(kCaptureBufferName, &layout) != TransferReadResult::kOk)
      return Fail("reading the capture");
    capture.push_back(NowMicroseconds() - start);
    if (UsableRecordCount(layout.bytes.get(), layout.length) != kIcons)
      return Fail("capture holds the wrong number of icons");

    start = NowMicroseconds();
    if (!PrepareMemory(layout.length + kTransferSlack, kApplyBufferName, layout.bytes.get(),
                       layout.length))
      return Fail("PrepareMemory");
    if (!send(AGENT_CMD_APPLY)) return Fail("apply command");
    apply.push_back(NowMicroseconds() - start);

    // The stand-in's own floor for the same work: one reply line, "us MICROSECONDS".
    double us = 0;
    for (auto [verb, times] : {std::make_pair("floor-capture", &floorCapture),
                               std::make_pair("floor-apply", &floorApply)}) {
      const std::vector<std::string> reply = desktop->Exchange(verb);
      if (reply.size() != 1 || std::sscanf(reply[0].c_str(), "us %lf", &us) != 1) return Fail(verb);
      times->push_back(us);
    }
  }

  const double c = Median(capture), a = Median(apply);
  const double fc = Median(floorCapture), fa = Median(floorApply);
  std::printf("%d icons, median of %d runs (%s)\n", kIcons, kRuns,
              sizeof(void*) == 8 ? "x64" : "x86");
  std::printf("capture: %10.0f us  floor %10.0f us  ratio %.2f (target 1.5)\n", c, fc, c / fc);
  std::printf("apply:   %10.0f us  floor %10.0f us  ratio %.2f (target 1.1)\n", a, fa, a / fa);
  DisconnectAgent(&client);
  return 0;
}
