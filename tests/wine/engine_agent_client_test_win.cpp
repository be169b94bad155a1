// The agent client against stand-in desktops: connection, capture, apply, disconnection,
// and the ways a desktop can be missing, closed, hung, surviving or of the wrong kind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "agent_client_win.h"
#include "agent_link_win.h"
#include "agent_protocol.h"
#include "engine_test_support_win.h"
#include "icon_layout.h"
#include "lumiq_win.h"
#include "standin_client_win.h"

using namespace kestrin;

namespace {

std::unique_ptr<StandinDesktop> StartDesktop(const std::vector<TestIcon>& icons,
                                             StandinOptions options = {}) {
  std::string error;
  auto desktop = StandinDesktop::Start(options, &error);
  EXPECT_TRUE(desktop) << "starting the stand-in desktop: " << error;
  if (!desktop) return nullptr;
  for (const TestIcon& icon : icons)
    EXPECT_TRUE(desktop->AddIcon(icon.label, icon.x, icon.y)) << "adding " << icon.label;
  return desktop;
}

void ExpectBoxes(MessageBoxWatcher& watcher, HWND owner, const std::vector<std::string>& texts) {
  const std::vector<ShownMessage> shown = watcher.Take();
  ASSERT_EQ(texts.size(), shown.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(texts[i], shown[i].text);
    EXPECT_EQ(BoxIcon::kStop, shown[i].icon) << texts[i];
    EXPECT_EQ(owner, shown[i].owner) << texts[i];
    EXPECT_EQ(TestProgramTitle(), shown[i].caption);
  }
}

class AgentClientTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DisconnectAgent(&client_);
    SetExplorerHook(0);
  }
  EngineTestDialog dialog_;
  AgentClient client_;
};

TEST_F(AgentClientTest, ConnectCaptureApplyDisconnect) {
  auto desktop = StartDesktop({{"Recycle Bin", 20, 30}, {"Notes", 300, 40}});
  ASSERT_TRUE(desktop);
  MessageBoxWatcher watcher;
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  EXPECT_EQ(desktop->listView(), client_.desktopListView);

  OwnedIconLayout captured;
  ASSERT_EQ(544u, CaptureIconLayout(dialog_.hwnd(), &client_, &captured));
  ASSERT_EQ(544u, captured.length);
  EXPECT_EQ(0, std::memcmp(MakeBlob({{"Recycle Bin", 20, 30}, {"Notes", 300, 40}}).data(),
                           captured.bytes.get(), 544))
      << "the stand-in's icons, texts and positions";

  ASSERT_TRUE(desktop->MoveIcon(0, 500, 500));
  EXPECT_EQ(1, ApplyIconLayout(dialog_.hwnd(), &client_, captured));
  std::vector<StandinIcon> icons;
  ASSERT_TRUE(desktop->Icons(&icons));
  EXPECT_EQ(20, icons[0].x);
  EXPECT_EQ(30, icons[0].y);

  HWND agent = client_.agentWindow;
  EXPECT_NE(0, DisconnectAgent(&client_)) << "the hook is removed";
  EXPECT_FALSE(IsWindow(agent));
  EXPECT_EQ(0, DisconnectAgent(&client_)) << "again: no WM_CLOSE, no hook left";
  EXPECT_TRUE(watcher.Take().empty());
  EXPECT_EQ(0, desktop->Faults()) << "memory faults inside the stand-in (the shell)";
}

TEST_F(AgentClientTest, EmptyDesktopCapturesEightBytes) {
  auto desktop = StartDesktop({});
  ASSERT_TRUE(desktop);
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  OwnedIconLayout captured;
  EXPECT_EQ(8u, CaptureIconLayout(dialog_.hwnd(), &client_, &captured));
  EXPECT_EQ(1, ApplyIconLayout(dialog_.hwnd(), &client_, captured));
}

TEST_F(AgentClientTest, NoDesktopShowsBothStartUpMessagesAndHooksNothing) {
  ASSERT_EQ(nullptr, FindWindowA("Progman", nullptr)) << "a stand-in from another test lives";
  MessageBoxWatcher watcher;
  EXPECT_EQ(0, ConnectAgent(dialog_.hwnd(), &client_, false));
  EXPECT_EQ(0, ConnectAgent(dialog_.hwnd(), &client_, true));
  OwnedIconLayout startup;
  EXPECT_EQ(0u, CaptureIconLayout(dialog_.hwnd(), &client_, &startup));
  EXPECT_EQ(nullptr, startup.bytes.get()) << "the start-up layout stays null";
  ExpectBoxes(watcher, dialog_.hwnd(),
              {"Unable to access desktop", "Unable to retrieve icons position"});
  EXPECT_EQ(0, SetExplorerHook(0)) << "no hook was installed";
}

TEST_F(AgentClientTest, FindsTheDesktopUnderWorkerW) {
  StandinOptions options;
  options.underWorkerW = true;
  auto desktop = StartDesktop({{"Under WorkerW", 1, 2}}, options);
  ASSERT_TRUE(desktop);
  EXPECT_EQ(desktop->listView(), FindDesktopListView());
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  OwnedIconLayout captured;
  EXPECT_EQ(8u + 268, CaptureIconLayout(dialog_.hwnd(), &client_, &captured));
}

TEST_F(AgentClientTest, HungShellTimesOutWithoutReadingAStaleCapture) {
  auto desktop = StartDesktop({{"A", 1, 2}, {"B", 80, 2}});
  ASSERT_TRUE(desktop);
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  OwnedIconLayout first;
  ASSERT_EQ(544u, CaptureIconLayout(dialog_.hwnd(), &client_, &first));

  client_.commandTimeoutMs = 1000;
  ASSERT_TRUE(desktop->Hang(10000));
  MessageBoxWatcher watcher;
  OwnedIconLayout stale;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0u, CaptureIconLayout(dialog_.hwnd(), &client_, &stale))
      << "the previous capture is still in the buffer but must not be taken";
  EXPECT_EQ(nullptr, stale.bytes.get());
  EXPECT_EQ(0, ApplyIconLayout(dialog_.hwnd(), &client_, first));
  // Message boxes included, well before the hang ends: neither command waited it out.
  EXPECT_LT(GetTickCount64() - start, 7000u) << "each command gave up after its time limit";
  ExpectBoxes(watcher, dialog_.hwnd(),
              {"Unable to retrieve icons position", "Unable to set icons position"});
}

// The run after a killed one is served at once by the agent that survived it; commands
// the agent refuses (it is busy with one that runs a modal loop in the shell) are
// reported, and the refused capture is not read.
TEST_F(AgentClientTest, AgentAnswersAreActedOn) {
  auto desktop = StartDesktop({{"A", 1, 2}});
  ASSERT_TRUE(desktop);
  {
    AgentClient killed;
    ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &killed, true));
    ASSERT_NE(0, SetExplorerHook(0)) << "its hook goes with it; its agent stays";
  }
  const ULONGLONG start = GetTickCount64();
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  EXPECT_LT(GetTickCount64() - start, kAgentWakeUpTimeoutMs) << "woken at once";
  OwnedIconLayout captured;
  ASSERT_EQ(8u + 268, CaptureIconLayout(dialog_.hwnd(), &client_, &captured));

  ASSERT_TRUE(desktop->PumpDuringNextTextRequest(4000));
  std::thread busy([agent = client_.agentWindow, listView = client_.desktopListView] {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(agent, AGENT_MSG, AGENT_CMD_CAPTURE, reinterpret_cast<LPARAM>(listView), SMTO_NORMAL,
                        15000, &ignored);
  });
  ASSERT_TRUE(desktop->WaitUntilPumping(10000)) << "the busy capture never reached the stand-in's modal loop";
  MessageBoxWatcher watcher;
  OwnedIconLayout refused;
  EXPECT_EQ(0u, CaptureIconLayout(dialog_.hwnd(), &client_, &refused));
  EXPECT_EQ(nullptr, refused.bytes.get()) << "the previous capture, still in the buffer, is not taken";
  EXPECT_EQ(0, ApplyIconLayout(dialog_.hwnd(), &client_, captured));
  busy.join();
  ExpectBoxes(watcher, dialog_.hwnd(), {"Unable to retrieve icons position", "Unable to set icons position"});
  EXPECT_EQ(0, desktop->Faults()) << "memory faults inside the stand-in (the shell)";
}

// An icon command whose agent is gone connects again: after a session end that was
// allowed and then cancelled, and after the shell restarted with a new list view. With no
// desktop at all it reports as always; an oversized layout is refused before all that.
TEST_F(AgentClientTest, IconCommandsReconnectAfterACancelledLogoffAndARestartedShell) {
  auto desktop = StartDesktop({{"A", 1, 2}, {"B", 80, 2}});
  ASSERT_TRUE(desktop);
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  OwnedIconLayout saved;
  ASSERT_EQ(544u, CaptureIconLayout(dialog_.hwnd(), &client_, &saved));
  MessageBoxWatcher watcher;
  ASSERT_TRUE(AgentSessionEnding(&client_, TRUE)) << "the session may end; another program then cancels it";
  OwnedIconLayout again;
  EXPECT_EQ(544u, CaptureIconLayout(dialog_.hwnd(), &client_, &again)) << "after the cancelled logoff";

  desktop.reset();
  desktop = StartDesktop({{"A", 300, 300}, {"B", 400, 300}});
  ASSERT_TRUE(desktop);
  EXPECT_EQ(1, ApplyIconLayout(dialog_.hwnd(), &client_, saved)) << "on the restarted shell";
  std::vector<StandinIcon> icons;
  ASSERT_TRUE(desktop->Icons(&icons));
  EXPECT_EQ(1, icons[0].x);
  EXPECT_EQ(80, icons[1].x);
  EXPECT_TRUE(watcher.Take().empty()) << "no message while reconnecting";

  std::vector<TestIcon> many(kMaxIconRecords + 1, TestIcon{"Same", 1, 1});
  OwnedIconLayout oversized;
  const std::vector<uint8_t> blob = MakeBlob(many);
  oversized.bytes.reset(new uint8_t[blob.size() + kReceiveSlack]);
  std::memcpy(oversized.bytes.get(), blob.data(), blob.size());
  oversized.length = static_cast<uint32_t>(blob.size());
  EXPECT_EQ(0, ApplyIconLayout(dialog_.hwnd(), &client_, oversized));
  desktop.reset();
  OwnedIconLayout none;
  EXPECT_EQ(0u, CaptureIconLayout(dialog_.hwnd(), &client_, &none)) << "no desktop at all";
  const std::vector<ShownMessage> shown = watcher.Take();
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ("Unable to set icons position: the layout holds 10001 icons, more than the 10000 Kestrin restores",
            shown[0].text);
  EXPECT_EQ("Unable to retrieve icons position", shown[1].text) << "reported as always, once";
}

TEST_F(AgentClientTest, ShellOfTheOtherArchitectureIsRefusedWithoutAHook) {
  // scripts/test says so when this machine's kernel refuses 32-bit programs.
  if (const char* why = std::getenv("KESTRIN_NO_32BIT"); why && sizeof(void*) == 8)
    GTEST_SKIP() << "needs the x86 stand-in desktop, but " << why;
  StandinOptions options;
  options.executable = sizeof(void*) == 8 ? "..\\..\\x86\\bin\\standin.exe"
                                          : "..\\..\\x64\\bin\\standin.exe";
  auto desktop = StartDesktop({{"A", 1, 2}}, options);
  ASSERT_TRUE(desktop) << "scripts/test builds both architectures before the Wine tiers";
  MessageBoxWatcher watcher;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, ConnectAgent(dialog_.hwnd(), &client_, true));
  EXPECT_LT(GetTickCount64() - start, kAgentWakeUpTimeoutMs - 1000) << "no wait for a wake-up";
  ExpectBoxes(watcher, dialog_.hwnd(), {"Unable to access desktop"});
  EXPECT_EQ(0, SetExplorerHook(0)) << "no hook was installed";
  EXPECT_EQ(0, desktop->Faults()) << "memory faults inside the stand-in (the shell)";
}

TEST_F(AgentClientTest, SessionEndReleasesTheAgentOnlyWhenAllowed) {
  auto desktop = StartDesktop({{"A", 1, 2}});
  ASSERT_TRUE(desktop);
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client_, true));
  EXPECT_FALSE(AgentSessionEnding(&client_, FALSE));
  EXPECT_TRUE(IsWindow(client_.agentWindow)) << "a refused session end keeps the agent";
  EXPECT_TRUE(AgentSessionEnding(&client_, TRUE));
  EXPECT_FALSE(IsWindow(client_.agentWindow));
  EXPECT_EQ(0, SetExplorerHook(0)) << "hook already removed";
}

}  // namespace
