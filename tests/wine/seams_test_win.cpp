// What no user can reach from the window: the shell-side agent handed damaged, reserved, squatted or busy shared
// buffers; a hung shell; the snapshot's placement failing as the system can. The engine runs in this process, its
// messages caught by the sink instead of boxes.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <thread>

#include "agent_client_win.h"
#include "agent_protocol.h"
#include "icon_layout.h"
#include "kestrin_driver_win.h"
#include "lumiq_win.h"
#include "snapshot_file_win.h"
#include "snapshot_paths_win.h"
#include "standin_client_win.h"
#include "system_text_win.h"
#include "wine_gap.h"

using namespace kestrin;
using namespace kestrin::test;

namespace {

// What a face would tell the user, collected.
using Texts = std::vector<std::string>;
Texts g_messages;
Texts Messages() { return std::move(g_messages); }
bool Noted(const Outcome& outcome) {
  if (!outcome.ok()) g_messages.push_back(OutcomeMessage(outcome));
  return outcome.ok();
}
uint32_t Captured(AgentClient* client, OwnedIconLayout* out) {
  return Noted(CaptureIconLayout(client, out)) ? out->length : 0;
}
int Applied(AgentClient* client, const OwnedIconLayout& layout) { return Noted(ApplyIconLayout(client, layout)); }

OwnedIconLayout Owned(const std::string& blob) {  // as a capture hands it over: spare zero bytes after it
  OwnedIconLayout layout;
  layout.bytes.reset(new uint8_t[blob.size() + kReceiveSlack]());
  std::memcpy(layout.bytes.get(), blob.data(), blob.size());
  layout.length = static_cast<uint32_t>(blob.size());
  return layout;
}

// Whether anyone still holds the named buffer open.
bool Held(const char* name) { return static_cast<bool>(UniqueHandle(OpenFileMappingA(FILE_MAP_READ, FALSE, name))); }

std::string With(std::string blob, size_t at, uint32_t word) {
  std::memcpy(&blob[at], &word, 4);
  return blob;
}

class Seams : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(desktop_ = StandinDesktop::Start(&error)) << error;
    ASSERT_TRUE(desktop_->AddIcon("Target", 10, 10) && desktop_->AddIcon("Other", 110, 10) &&
                desktop_->AddIcon(std::string(300, 'M'), 210, 10));
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(Noted(ConnectAgent(&client_)));
    EXPECT_LT(GetTickCount64() - start, kAgentWakeUpTimeoutMs) << "woken at once, not after the time-out";
    ASSERT_EQ(GetWindowThreadProcessId(desktop_->listView(), nullptr),
              GetWindowThreadProcessId(client_.agentWindow, nullptr));
  }
  void TearDown() override {
    EXPECT_NE(0, DisconnectAgent(&client_)) << "the hook it recorded is removed";
    EXPECT_EQ(nullptr, FindWindowA(nullptr, kAgentWindowTitle));
    EXPECT_EQ(Texts(), Messages());
  }
  // The command as the agent answers it: 1 carried out, 0 refused.
  DWORD_PTR Send(uintptr_t command, LPARAM window = 0) {
    DWORD_PTR result = 99;
    if (!window) window = reinterpret_cast<LPARAM>(desktop_->listView());
    EXPECT_TRUE(SendMessageTimeoutA(client_.agentWindow, AGENT_MSG, command, window, SMTO_NORMAL, 15000, &result));
    return result;
  }
  DWORD_PTR Apply(const std::string& bytes) {
    EXPECT_TRUE(PrepareMemory(static_cast<uint32_t>(bytes.size()) + kTransferSlack, kApplyBufferName, bytes.data(),
                              static_cast<uint32_t>(bytes.size())));
    return Send(AGENT_CMD_APPLY);
  }

  std::unique_ptr<StandinDesktop> desktop_;
  AgentClient client_;
};

// The agent's capture and apply at the limits of what a record, and a desktop, can hold.
TEST_F(Seams, RecordsAtTheirLimits) {
  OwnedIconLayout captured;
  ASSERT_EQ(8 + 3 * kIconRecordSize, Captured(&client_, &captured));
  const uint8_t* longRecord = captured.bytes.get() + 8 + 2 * kIconRecordSize;
  EXPECT_EQ(std::string(259, 'M') + '\0', std::string(reinterpret_cast<const char*>(longRecord) + 8, 260))
      << "a longer label arrives cut to 259 and terminated";
  EXPECT_EQ(210u, LoadU32(longRecord));
  // A release names its capture: an older one's leaves a newer capture, not yet read, in place.
  EXPECT_FALSE(Held(kCaptureBufferName)) << "the capture read is let go";
  const DWORD_PTR older = Send(AGENT_CMD_CAPTURE), newer = Send(AGENT_CMD_CAPTURE);
  EXPECT_EQ(0u, Send(AGENT_CMD_RELEASE, static_cast<LPARAM>(older)));
  EXPECT_TRUE(Held(kCaptureBufferName)) << "a newer capture was let go";
  EXPECT_EQ(1u, Send(AGENT_CMD_RELEASE, static_cast<LPARAM>(newer)));
  EXPECT_FALSE(Held(kCaptureBufferName));

  // Case-insensitive first match; coordinates cut to 16 bits; unknown labels skipped.
  EXPECT_EQ(1u, Apply(IconBlob({{"nobody", 1, 1}, {"target", 70000, -70000}, {"TARGET", 70000, -70000}})));
  EXPECT_EQ(0x1170, desktop_->Icons().at(0).x);
  EXPECT_EQ(int16_t(0xEE90), desktop_->Icons().at(0).y);
  // Auto-arrange is taken off for the apply, its three passes, and put back.
  desktop_->SetAutoArrange(true);
  const LONG before = desktop_->state().moves;
  EXPECT_EQ(1u, Apply(IconBlob({{"Other", 10, 10}, {"Target", 110, 10}})));
  EXPECT_EQ(before + 6, desktop_->state().moves);
  EXPECT_EQ(0, desktop_->state().movesWhileArranged) << "no move while the list view auto-arranges";
  EXPECT_TRUE(GetWindowLongPtrA(desktop_->listView(), GWL_STYLE) & LVS_AUTOARRANGE);
  desktop_->SetAutoArrange(false);
  EXPECT_EQ(1u, Apply(IconBlob({{"Target", 10, 10}, {"Other", 110, 10}})));
  EXPECT_FALSE(GetWindowLongPtrA(desktop_->listView(), GWL_STYLE) & LVS_AUTOARRANGE) << "auto-arrange not added";
  // Another process that loads the library and ends leaves this one's hook, which the teardown removes.
  std::string output;
  EXPECT_EQ(2, RunAndRead(ExecutableDirectory() + "Kestrin.exe", "/Frobnicate", &output)) << output;
  // A desktop of as many icons as the bound allows is captured whole; one more is refused.
  ASSERT_TRUE(desktop_->Command("addmany " + std::to_string(kMaxIconRecords - 3)));
  EXPECT_EQ(8 + kMaxIconRecords * kIconRecordSize, Captured(&client_, &captured));
  ASSERT_TRUE(desktop_->Command("addmany 1"));
  EXPECT_EQ(0u, Captured(&client_, &captured));
  EXPECT_EQ(Texts({"Unable to retrieve icons position"}), Messages());
}

// Apply buffers whose words lie, and buffers someone else made first: refused or clipped to what lies inside, never a
// read or write outside them. Then shells that stall.
TEST_F(Seams, SharedBuffersThatLieAndShellsThatStall) {
  // The reader's arithmetic is proved natively; here, that the agent gives it the buffer's real extent.
  Apply(With(IconBlob({{"Target", 500, 500}}), 0, 70000));
  EXPECT_EQ(10, desktop_->Icons().at(0).x) << "a length past the buffer's extent must be refused";
  // Longer than the bound on icons allows, and really that long: refused before it is copied, whatever its count says.
  EXPECT_EQ(
      0u, Apply(With(IconBlob(std::vector<StandinIcon>(kMaxIconRecords + 1, StandinIcon{"Target", 500, 500})), 4, 1)));
  EXPECT_EQ(10, desktop_->Icons().at(0).x);
  Apply(With(IconBlob({{"Target", 20, 30}, {"Other", 600, 600}}), 0, 8 + kIconRecordSize + 100));
  EXPECT_TRUE(desktop_->Icons().at(0).x == 20 && desktop_->Icons().at(1).x == 110) << "no record past the length word";

  // A capture buffer squatted by an older, smaller object: the stale capture in it must
  // not pass for this one. Reserved, uncommitted memory: refused without a write.
  {
    kestrin::UniqueHandle squatter(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, kCaptureBufferName));
    kestrin::MappedView view(MapViewOfFile(squatter.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(desktop_->AddIcon("Icon " + std::to_string(i), 10 * i, 300));
    std::memcpy(view.get(), "\x20\x02\0\0\2\0\0\0", 8);  // an old two-icon capture
    Send(AGENT_CMD_CAPTURE);
    EXPECT_EQ(0u, LoadU32(static_cast<const uint8_t*>(view.get())))
        << "the stale capture was left to pass for a new one";
  }
  for (const char* name : {kCaptureBufferName, kApplyBufferName}) {
    kestrin::UniqueHandle reserved(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, 1 << 20, name));
    kestrin::MappedView view(MapViewOfFile(reserved.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view && VirtualAlloc(view.get(), 4096, MEM_COMMIT, PAGE_READWRITE));
    const std::string reaching = With(IconBlob({{"Target", 500, 500}}), 0, 8 + 50 * kIconRecordSize);  // past the page
    std::memcpy(view.get(), reaching.data(), reaching.size());
    EXPECT_EQ(0u, Send(name == kCaptureBufferName ? AGENT_CMD_CAPTURE : AGENT_CMD_APPLY)) << name;
  }
  EXPECT_EQ(20, desktop_->Icons().at(0).x);

  // An apply holds its buffer no longer than the apply: a later, larger one (the command line beside a window) finds
  // the name free, or waits, bounded, for an older holder to let it go.
  ASSERT_EQ(1, Applied(&client_, Owned(IconBlob({{"Target", 20, 30}}))));
  EXPECT_FALSE(Held(kApplyBufferName)) << "still held";
  kestrin::UniqueHandle older(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, kApplyBufferName));
  const OwnedIconLayout larger = Owned(IconBlob(std::vector<StandinIcon>(20, StandinIcon{"Other", 40, 50})));
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, Applied(&client_, larger));
  EXPECT_LT(GetTickCount64() - start, 4000u) << "the wait for the older holder is bounded";
  EXPECT_EQ(Texts({"Unable to set icons position"}), Messages());
  std::thread letGo([&] {
    Sleep(500);
    older.reset();
  });
  EXPECT_EQ(1, Applied(&client_, larger));
  letGo.join();

  // A slow shell folder runs a modal loop inside a capture: commands meanwhile are refused at once and a close waits;
  // a hung shell is given up on; a refused or timed-out capture is never read from the buffer.
  OwnedIconLayout saved;
  ASSERT_NE(0u, Captured(&client_, &saved));
  ASSERT_TRUE(desktop_->Command("pump 3000"));
  DWORD_PTR firstResult = 0;
  std::thread first([&] { firstResult = Send(AGENT_CMD_CAPTURE); });
  for (int i = 0; i < 500 && !desktop_->state().pumping; ++i) Sleep(20);
  EXPECT_TRUE(desktop_->state().pumping) << "the capture never reached the slow folder";
  const ULONGLONG busy = GetTickCount64();
  OwnedIconLayout refused, stale;
  EXPECT_TRUE(!Captured(&client_, &refused) && !refused.bytes) << "the previous capture, in the buffer, is not taken";
  EXPECT_EQ(0, Applied(&client_, saved));
  EXPECT_LT(GetTickCount64() - busy, 1500u) << "refused at once";
  DWORD_PTR ignored = 0;
  const HWND agent = client_.agentWindow;
  EXPECT_TRUE(SendMessageTimeoutA(agent, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, &ignored));
  EXPECT_TRUE(IsWindow(agent)) << "the close waits for the running command";
  WINE_GAP(true,
           "Wine never unloads a hook library: the library's hold, given back only inside the hook, is not observable");
  first.join();
  EXPECT_NE(0u, firstResult) << "the first capture completes";
  for (int i = 0; i < 250 && IsWindow(agent); ++i) Sleep(20);
  EXPECT_FALSE(IsWindow(agent)) << "the close is carried out after it";
  EXPECT_EQ(Texts({"Unable to retrieve icons position", "Unable to set icons position"}), Messages());
  ASSERT_NE(0u, Captured(&client_, &saved)) << "connects again";

  client_.commandTimeoutMs = 1000;
  ASSERT_TRUE(desktop_->Command("hang 4000"));
  const ULONGLONG hung = GetTickCount64();
  EXPECT_TRUE(!Captured(&client_, &stale) && !stale.bytes) << "nothing is read after a time-out";
  EXPECT_EQ(0, Applied(&client_, saved));
  EXPECT_LT(GetTickCount64() - hung, 3500u) << "each command gave up after its time limit";
  EXPECT_EQ(Texts({"Unable to retrieve icons position", "Unable to set icons position"}), Messages());
  while (GetTickCount64() - hung < 4500) Sleep(100);  // the shell answers again
  client_.commandTimeoutMs = 30000;

  // A layout beyond the bound is refused before the shell is asked to search for it.
  EXPECT_EQ(
      0, Applied(&client_, Owned(IconBlob(std::vector<StandinIcon>(kMaxIconRecords + 1, StandinIcon{"Same", 1, 1})))));
  EXPECT_EQ(Texts({"Unable to set icons position: the layout holds 10001 icons, more than the 10000 Kestrin restores"}),
            Messages());
  EXPECT_FALSE(AgentSessionEnding(&client_, FALSE));
  EXPECT_TRUE(IsWindow(client_.agentWindow)) << "a refused session end keeps the agent";
  EXPECT_EQ(0, desktop_->state().faults) << "memory faults inside the shell";
  desktop_->ProvokeFault();
  EXPECT_EQ(1, desktop_->state().faults) << "the fault counter counts";
}

// Once the new snapshot is complete, a snapshot is always left under its own name, whatever the calls that put it in
// place fail with: ReplaceFile's error (having removed the old one or not), then MoveFileEx's.
struct PlacementFailure {
  DWORD replaceError;
  bool replaceRemovesOld;
  DWORD moveError;
  bool saved;
  static inline const PlacementFailure* now;
  static BOOL WINAPI Replace(LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
    return (now->replaceRemovesOld && DeleteFileW(replaced)), SetLastError(now->replaceError), FALSE;
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    return now->moveError ? (SetLastError(now->moveError), FALSE) : MoveFileExW(from, to, flags);
  }
};

TEST(SnapshotPlacement, FailuresLeaveASnapshotUnderItsName) {
  std::string path, bytes;
  ASSERT_TRUE(SnapshotPath(&path));
  snapshotPlacementCalls = {PlacementFailure::Replace, PlacementFailure::Move};
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  for (const PlacementFailure& c : {PlacementFailure{ERROR_UNABLE_TO_REMOVE_REPLACED, false, 0, true},
                                    PlacementFailure{ERROR_FILE_NOT_FOUND, true, 0, true},
                                    PlacementFailure{ERROR_UNABLE_TO_MOVE_REPLACEMENT, true, ERROR_ACCESS_DENIED, true},
                                    PlacementFailure{ERROR_SHARING_VIOLATION, false, ERROR_SHARING_VIOLATION, false}}) {
    ASSERT_TRUE(WriteFileBytes(path, "old"));
    PlacementFailure::now = &c;
    EXPECT_EQ(c.saved, Noted(WriteSnapshotFile(mode, Owned(IconBlob({})), GammaTriple{}))) << c.replaceError;
    EXPECT_TRUE(ReadFileBytes(path, &bytes) && bytes.size() == (c.saved ? sizeof mode + 8 + 24 : 3u))
        << "the new snapshot, or the old one: " << c.replaceError;
    EXPECT_FALSE(FileExists(path.substr(0, path.size() - 4) + ".tmp")) << c.replaceError;
  }
  snapshotPlacementCalls = SnapshotPlacementCalls();
  DeleteFileA(path.c_str());
  EXPECT_EQ(Texts({"Unable to save information : " + SystemText(ERROR_SHARING_VIOLATION)}), Messages());
}

}  // namespace
