// Lumiq driven across processes as the program drives it, against a stand-in desktop per
// test; a user's day of runs shares one. Results are checked by asking the stand-in, not
// by reading back through the agent.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent_link_win.h"
#include "agent_protocol.h"
#include "icon_layout.h"
#include "lumiq_win.h"
#include "standin_client_win.h"
#include "win_handle_win.h"

using namespace kestrin;

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
std::string LabelAt(const std::vector<uint8_t>& blob, size_t record) {
  const char* label = reinterpret_cast<const char*>(blob.data() + 8 + 268 * record + 8);
  return std::string(label, strnlen(label, 260));
}

class AgentTest : public ::testing::Test {
 protected:
  // Starts a stand-in holding `icons` and connects an agent to it.
  void Open(const std::vector<TestIcon>& icons, StandinOptions options = {}) {
    std::string error;
    desktop_ = StandinDesktop::Start(options, &error);
    ASSERT_TRUE(desktop_) << "starting the stand-in desktop: " << error;
    for (const TestIcon& icon : icons)
      ASSERT_TRUE(desktop_->AddIcon(icon.label, icon.x, icon.y)) << "adding " << icon.label;
    ASSERT_TRUE(link_.Connect(desktop_->listView(), &error)) << "connecting: " << error;
  }

  std::vector<StandinIcon> Icons() {
    std::vector<StandinIcon> icons;
    EXPECT_TRUE(desktop_->Icons(&icons)) << "asking the stand-in for its icons";
    return icons;
  }

  void ExpectNoFaults() {
    EXPECT_EQ(0, desktop_->Faults()) << "memory faults inside the stand-in (the shell), or -1: it no longer answers";
  }

  void TearDown() override {
    if (desktop_) {
      link_.Close();
      EXPECT_EQ(nullptr, FindWindowA(nullptr, kAgentWindowTitle))
          << "agent window still there after WM_CLOSE";
    }
  }

  std::unique_ptr<StandinDesktop> desktop_;
  AgentLink link_;
};

// Bounded wait for a window to go.
bool GoneWithin(HWND window, DWORD ms) {
  for (const ULONGLONG end = GetTickCount64() + ms; IsWindow(window);) {
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
  return true;
}

// The program run again and again on one desktop, whose shell keeps the library loaded:
// runs that end normally, one that is killed, a close from elsewhere, a close that comes
// while the shell hangs. Every run gets a living agent at once.
TEST_F(AgentTest, EveryRunOnOneDesktopGetsAnAgent) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Alpha", 10, 20}, {"Beta", 90, 20}}));
  const HWND listView = desktop_->listView();
  auto run = [&](AgentLink* link, const char* which) {
    std::string why;
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(link->Connect(listView, &why)) << which << ": " << why;
    EXPECT_LT(GetTickCount64() - start, 5000u) << which << ": woken at once, not after a time-out";
    std::vector<uint8_t> blob;
    uint64_t size = 0;
    ASSERT_TRUE(link->Capture(&blob, &size, &why)) << which << ": " << why;
    EXPECT_EQ("Beta", LabelAt(blob, 1)) << which;
  };
  link_.Close();
  AgentLink second;
  run(&second, "a second run");
  second.Close();

  // Killed: its hook goes with it, its agent window stays and serves the next run.
  AgentLink killed;
  run(&killed, "a run that is then killed");
  const HWND survivor = killed.agent();
  killed.Abandon();
  ASSERT_NE(0, SetExplorerHook(0));
  AgentLink afterKilled;
  run(&afterKilled, "the run after a killed one");
  EXPECT_EQ(survivor, afterKilled.agent()) << "the surviving agent answers";

  // A close posted by someone else: the next connection makes a new agent.
  PostMessageA(survivor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(GoneWithin(survivor, 5000)) << "a stray close still closes";
  afterKilled.Close();
  AgentLink afterStray;
  run(&afterStray, "the run after a stray close");

  // A close that times out while the shell hangs; the program unhooks meanwhile.
  const HWND late = afterStray.agent();
  ASSERT_TRUE(desktop_->Hang(2000));
  DWORD_PTR ignored = 0;
  EXPECT_EQ(0, SendMessageTimeoutA(late, WM_CLOSE, 0, 0, SMTO_NORMAL, 300, &ignored)) << "the shell hangs";
  afterStray.Abandon();
  ASSERT_NE(0, SetExplorerHook(0));
  // Wine gap: a message whose send timed out is never delivered there, so the agent
  // lives on as after a killed run; the next run is served either way.
  if (!RunningUnderWine()) {
    EXPECT_TRUE(GoneWithin(late, 10000)) << "the close is carried out once the shell answers";
  }
  AgentLink afterLate;
  run(&afterLate, "the run after a close that timed out");
  afterLate.Close();
  ExpectNoFaults();
}

// A text request may run a modal loop inside the shell (a slow folder); a second command
// that arrives meanwhile is refused at once, and a close waits until the first has ended.
TEST_F(AgentTest, CommandsDuringACommandAreRefusedAndACloseWaitsForItsEnd) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Slow", 10, 20}, {"Folder", 90, 20}}));
  ASSERT_TRUE(desktop_->PumpDuringNextTextRequest(3000));
  const HWND agent = link_.agent();
  const LPARAM listView = reinterpret_cast<LPARAM>(desktop_->listView());
  DWORD_PTR firstResult = 0;
  LRESULT firstAnswered = 0;
  std::thread first([&] {
    firstAnswered = SendMessageTimeoutA(agent, AGENT_MSG, AGENT_CMD_CAPTURE, listView, SMTO_NORMAL, 15000, &firstResult);
  });
  ASSERT_TRUE(desktop_->WaitUntilPumping(10000)) << "the first capture never reached the stand-in's modal loop";

  for (uintptr_t command : {AGENT_CMD_CAPTURE, AGENT_CMD_APPLY}) {
    DWORD_PTR result = 99;
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(SendMessageTimeoutA(agent, AGENT_MSG, command, listView, SMTO_NORMAL, 2000, &result))
        << "command " << command << " is answered during the first";
    EXPECT_LT(GetTickCount64() - start, 1000u) << "command " << command << " is refused at once";
    EXPECT_EQ(0u, result) << "command " << command << " is refused";
  }
  DWORD_PTR ignored = 0;
  EXPECT_TRUE(SendMessageTimeoutA(agent, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, &ignored));
  EXPECT_TRUE(IsWindow(agent)) << "the close waits for the running command";
  first.join();
  EXPECT_NE(0, firstAnswered);
  EXPECT_EQ(1u, firstResult) << "the first capture completes";
  const std::vector<uint8_t> blob = NamedBufferBytes(kCaptureBufferName, 8 + 2 * 268);
  ASSERT_EQ(8u + 2 * 268, blob.size());
  EXPECT_EQ("Slow", LabelAt(blob, 0));
  EXPECT_EQ("Folder", LabelAt(blob, 1));
  EXPECT_TRUE(GoneWithin(agent, 5000)) << "the close is carried out after the command";
  ExpectNoFaults();
}

// Buffers made first by someone else with memory only reserved, not committed: touching
// them would fault inside the shell, so the commands fail cleanly instead.
TEST_F(AgentTest, BuffersOthersMadeWithReservedMemoryFailCleanly) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Keep", 30, 40}}));
  const LPARAM listView = reinterpret_cast<LPARAM>(desktop_->listView());
  DWORD_PTR result = 99;
  {
    UniqueHandle reserved(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0,
                                             1 << 20, kCaptureBufferName));
    ASSERT_TRUE(reserved);
    ASSERT_TRUE(link_.Send(AGENT_CMD_CAPTURE, listView, &result));
    EXPECT_EQ(0u, result) << "a capture into reserved memory is refused";
    // Windows faults on the first write (the fault counter sees it); Wine (gap) lets the
    // write through, so there the test commits the page itself and looks.
    MappedView view(MapViewOfFile(reserved.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view && VirtualAlloc(view.get(), 4096, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ(0u, *static_cast<const uint32_t*>(view.get())) << "nothing was written into the reserved memory";
  }
  UniqueHandle apply(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, 1 << 20,
                                        kApplyBufferName));
  ASSERT_TRUE(apply);
  MappedView view(MapViewOfFile(apply.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_TRUE(view);
  // One committed page holding a blob whose length word reaches past it.
  ASSERT_TRUE(VirtualAlloc(view.get(), 4096, MEM_COMMIT, PAGE_READWRITE));
  std::vector<uint8_t> blob = MakeBlob({{"Keep", 500, 500}});
  const uint32_t claimed = 8 + 50 * 268;
  std::memcpy(blob.data(), &claimed, 4);
  std::memcpy(view.get(), blob.data(), blob.size());
  ASSERT_TRUE(link_.Send(AGENT_CMD_APPLY, listView, &result));
  EXPECT_EQ(0u, result) << "an apply reaching into reserved memory is refused";
  EXPECT_EQ(30, Icons()[0].x);
  ExpectNoFaults();
}

TEST_F(AgentTest, EmptyDesktopCapturesTheEightByteBlobInAnEighteenByteBuffer) {
  ASSERT_NO_FATAL_FAILURE(Open({}));
  std::vector<uint8_t> blob;
  uint64_t size = 0;
  std::string why;
  ASSERT_TRUE(link_.Capture(&blob, &size, &why)) << why;
  EXPECT_EQ((std::vector<uint8_t>{8, 0, 0, 0, 0, 0, 0, 0}), blob);
  EXPECT_EQ(ExpectedBufferSize(18), size);

  // Applying it moves nothing and leaves the style alone.
  unsigned before = 0, after = 0;
  ASSERT_TRUE(desktop_->ListViewStyle(&before));
  ASSERT_TRUE(link_.Apply(blob));
  ASSERT_TRUE(desktop_->ListViewStyle(&after));
  EXPECT_EQ(before, after);
}

TEST_F(AgentTest, CaptureRecordsEveryIconInItemOrder) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Recycle Bin", 20, 30}, {"Notes.txt", 300, 140}}));
  std::vector<uint8_t> blob;
  uint64_t size = 0;
  std::string why;
  ASSERT_TRUE(link_.Capture(&blob, &size, &why)) << why;
  ASSERT_EQ(544u, blob.size());
  EXPECT_EQ(544u, U32At(blob, 0));
  EXPECT_EQ(2u, U32At(blob, 4));
  EXPECT_EQ(ExpectedBufferSize(554), size);

  const std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(2u, icons.size());
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(icons[i].x, int32_t(U32At(blob, 8 + 268 * i))) << "x of record " << i;
    EXPECT_EQ(icons[i].y, int32_t(U32At(blob, 12 + 268 * i))) << "y of record " << i;
    EXPECT_EQ(icons[i].label, LabelAt(blob, i)) << "label of record " << i;
    // The bytes after the terminator are zero.
    const uint8_t* label = blob.data() + 8 + 268 * i + 8;
    for (size_t k = icons[i].label.size(); k < 260; ++k) ASSERT_EQ(0, label[k]) << k;
  }
  EXPECT_EQ('N', blob[276 + 8]) << "second record starts at offset 276";
  ExpectNoFaults();
}

TEST_F(AgentTest, LongLabelsAreCutTo259AndTerminated) {
  const std::string exact(259, 'L'), longer(300, 'M');
  ASSERT_NO_FATAL_FAILURE(Open({{exact, 10, 10}, {longer, 100, 10}}));
  std::vector<uint8_t> blob;
  uint64_t size = 0;
  std::string why;
  ASSERT_TRUE(link_.Capture(&blob, &size, &why)) << why;
  ASSERT_EQ(8u + 2 * 268, blob.size());
  EXPECT_EQ(exact, LabelAt(blob, 0));
  EXPECT_EQ(0, blob[8 + 8 + 259]) << "259 characters end with the terminator in the last byte";
  EXPECT_EQ(std::string(259, 'M'), LabelAt(blob, 1));
  EXPECT_EQ(0, blob[8 + 268 + 8 + 259]) << "a longer text arrives cut and terminated";

  // Applying an unterminated 260-byte label matches the 259-character text it starts with.
  ASSERT_TRUE(link_.Apply(MakeBlob({{std::string(260, 'L'), 500, 400}})));
  const std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(2u, icons.size());
  EXPECT_EQ(500, icons[0].x);
  EXPECT_EQ(400, icons[0].y);
  EXPECT_EQ(100, icons[1].x) << "the other icon keeps its place";
  ExpectNoFaults();
}

TEST_F(AgentTest, ApplyPutsMovedIconsBackAndSkipsUnknownLabels) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Alpha", 10, 20}, {"Beta", 110, 20}, {"Gamma", 210, 20}}));
  std::vector<uint8_t> saved;
  uint64_t size = 0;
  std::string why;
  ASSERT_TRUE(link_.Capture(&saved, &size, &why)) << why;
  ASSERT_TRUE(desktop_->MoveIcon(0, 400, 300));
  ASSERT_TRUE(desktop_->MoveIcon(2, 50, 350));

  ASSERT_TRUE(link_.Apply(saved));
  std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(3u, icons.size());
  EXPECT_EQ(10, icons[0].x);
  EXPECT_EQ(20, icons[0].y);
  EXPECT_EQ(210, icons[2].x);
  EXPECT_EQ(20, icons[2].y);

  // Records whose labels match nothing are skipped; the others still apply.
  ASSERT_TRUE(link_.Apply(MakeBlob({{"Nobody", 1, 1}, {"beta", 60, 70}})));
  icons = Icons();
  EXPECT_EQ(60, icons[1].x) << "case-different label still matches";
  EXPECT_EQ(70, icons[1].y);
  EXPECT_EQ(10, icons[0].x);
  ExpectNoFaults();
}

TEST_F(AgentTest, EqualLabelsAllMoveTheFirstSuchIcon) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Report", 10, 10}, {"report", 110, 10}, {"REPORT", 210, 10}}));
  ASSERT_TRUE(link_.Apply(MakeBlob({{"report", 300, 300}, {"Report", 320, 330}})));
  const std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(3u, icons.size());
  EXPECT_EQ(320, icons[0].x) << "the first icon ends where the last record puts it";
  EXPECT_EQ(330, icons[0].y);
  EXPECT_EQ(110, icons[1].x);
  EXPECT_EQ(210, icons[2].x);
}

TEST_F(AgentTest, CoordinatesReachTheListViewCutToSixteenBits) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Far", 10, 10}}));
  ASSERT_TRUE(link_.Apply(MakeBlob({{"Far", 70000, -70000}})));
  const std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(1u, icons.size());
  // 70000 = 0x11170 -> 0x1170; -70000 -> 0xEE90, which the list view reads as signed.
  EXPECT_EQ(0x1170, icons[0].x);
  EXPECT_EQ(int16_t(0xEE90), icons[0].y);
}

TEST_F(AgentTest, AutoArrangeIsTakenOffForTheApplyAndPutBack) {
  ASSERT_NO_FATAL_FAILURE(Open({{"One", 10, 10}, {"Two", 110, 10}}));
  ASSERT_TRUE(desktop_->SetAutoArrange(true));
  long movesBefore = 0, arranged = 0;
  ASSERT_TRUE(desktop_->MoveCounts(&movesBefore, &arranged));
  ASSERT_TRUE(link_.Apply(MakeBlob({{"Two", 10, 10}, {"One", 110, 10}})));
  long moves = 0;
  ASSERT_TRUE(desktop_->MoveCounts(&moves, &arranged));
  EXPECT_EQ(movesBefore + 6, moves) << "two records, three passes";
  EXPECT_EQ(0, arranged) << "no move while the list view auto-arranges";
  unsigned style = 0;
  ASSERT_TRUE(desktop_->ListViewStyle(&style));
  EXPECT_TRUE(style & LVS_AUTOARRANGE) << "auto-arrange restored";

  ASSERT_TRUE(desktop_->SetAutoArrange(false));
  ASSERT_TRUE(link_.Apply(MakeBlob({{"One", 300, 200}})));
  ASSERT_TRUE(desktop_->ListViewStyle(&style));
  EXPECT_FALSE(style & LVS_AUTOARRANGE) << "auto-arrange not added";
  const std::vector<StandinIcon> icons = Icons();
  EXPECT_EQ(300, icons[0].x);
  EXPECT_EQ(200, icons[0].y);
}

TEST_F(AgentTest, OtherCommandsAndForeignWindowsChangeNothing) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Stay", 40, 50}}));
  ASSERT_FALSE(NamedBufferExists(kCaptureBufferName));
  ASSERT_TRUE(PrepareMemory(8 + 268 + 10, kApplyBufferName,
                            MakeBlob({{"Stay", 400, 500}}).data(), 8 + 268));
  const LPARAM listView = reinterpret_cast<LPARAM>(desktop_->listView());
  for (uintptr_t command : {uintptr_t{1}, uintptr_t{4}, uintptr_t{0x7FFF}, ~uintptr_t{0}})
    ASSERT_TRUE(link_.Send(command, listView)) << "command " << command;
  EXPECT_FALSE(NamedBufferExists(kCaptureBufferName)) << "no capture made";

  // A list view of another process (ours): pointers would not carry across, so the agent
  // must refuse rather than touch it or the stand-in's icons.
  InitCommonControls();
  HWND foreign = CreateWindowA(WC_LISTVIEWA, "", LVS_ICON | LVS_AUTOARRANGE, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(foreign);
  const LONG_PTR foreignStyle = GetWindowLongPtrA(foreign, GWL_STYLE);
  // Nor a window of the shell's own thread that is not a list view (its DefView), nor
  // something that is no window at all.
  const LPARAM refused[] = {reinterpret_cast<LPARAM>(foreign), reinterpret_cast<LPARAM>(desktop_->defView()), 0x12345};
  for (LPARAM window : refused) {
    for (uintptr_t command : {AGENT_CMD_CAPTURE, AGENT_CMD_APPLY}) {
      DWORD_PTR result = 99;
      ASSERT_TRUE(link_.Send(command, window, &result)) << "command " << command;
      EXPECT_EQ(0u, result) << "command " << command << " on window " << window << " is refused";
    }
  }
  EXPECT_EQ(foreignStyle, GetWindowLongPtrA(foreign, GWL_STYLE));
  DestroyWindow(foreign);
  EXPECT_FALSE(NamedBufferExists(kCaptureBufferName));

  const std::vector<StandinIcon> icons = Icons();
  ASSERT_EQ(1u, icons.size());
  EXPECT_EQ(40, icons[0].x);
  EXPECT_EQ(50, icons[0].y);
  ExpectNoFaults();
}

TEST_F(AgentTest, DamagedApplyBuffersAreRefusedOrClippedWithoutFaults) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Target", 10, 10}, {"Other", 110, 10}}));
  auto apply = [&](const std::vector<uint8_t>& bytes, uint32_t size) {
    ASSERT_TRUE(PrepareMemory(size, kApplyBufferName, bytes.data(),
                              static_cast<uint32_t>(bytes.size())));
    ASSERT_TRUE(link_.Send(AGENT_CMD_APPLY, reinterpret_cast<LPARAM>(desktop_->listView())));
  };
  std::vector<uint8_t> moves = MakeBlob({{"Target", 500, 500}});
  for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFF6u, 0x7FFFFFFFu, 70000u, 7u, 0u}) {
    std::vector<uint8_t> damaged = moves;
    std::memcpy(damaged.data(), &length, 4);
    apply(damaged, static_cast<uint32_t>(damaged.size()) + 10);
    EXPECT_EQ(10, Icons()[0].x) << "length " << length << " must be refused";
  }
  ExpectNoFaults();

  // A count far beyond the data: only the whole record that is there applies.
  std::vector<uint8_t> beyond = moves;
  const uint32_t hugeCount = 0x7FFFFFFF;
  std::memcpy(beyond.data() + 4, &hugeCount, 4);
  apply(beyond, static_cast<uint32_t>(beyond.size()) + 10);
  EXPECT_EQ(500, Icons()[0].x) << "the one record inside the data applies";

  // A length that cuts the second record short: only the first applies.
  std::vector<uint8_t> cut = MakeBlob({{"Target", 20, 30}, {"Other", 600, 600}});
  const uint32_t cutLength = 8 + 268 + 100;
  std::memcpy(cut.data(), &cutLength, 4);
  apply(cut, static_cast<uint32_t>(cut.size()) + 10);
  std::vector<StandinIcon> icons = Icons();
  EXPECT_EQ(20, icons[0].x);
  EXPECT_EQ(110, icons[1].x) << "record beyond totalLength must not be read";

  // A negative count means no records.
  std::vector<uint8_t> negative = MakeBlob({{"Target", 77, 77}});
  const uint32_t minusOne = 0xFFFFFFFF;
  std::memcpy(negative.data() + 4, &minusOne, 4);
  apply(negative, static_cast<uint32_t>(negative.size()) + 10);
  EXPECT_EQ(20, Icons()[0].x);
  ExpectNoFaults();
}

TEST_F(AgentTest, CaptureThatDoesNotFitAnOlderSmallerBufferFails) {
  // 20 icons need 8 + 20 * 268 = 5368 bytes: more than the one page an existing 100-byte
  // object under the capture buffer's name offers.
  std::vector<TestIcon> icons;
  for (int i = 0; i < 20; ++i) icons.push_back({"Icon " + std::to_string(i), 10 + 80 * (i % 8), 10 + 80 * (i / 8)});
  ASSERT_NO_FATAL_FAILURE(Open(icons));
  UniqueHandle squatter(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           100, kCaptureBufferName));
  ASSERT_TRUE(squatter);
  MappedView view(MapViewOfFile(squatter.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_TRUE(view);
  const uint8_t stale[8] = {0x20, 0x02, 0, 0, 2, 0, 0, 0};  // an old two-icon capture
  std::memcpy(view.get(), stale, sizeof stale);

  ASSERT_TRUE(link_.Send(AGENT_CMD_CAPTURE, reinterpret_cast<LPARAM>(desktop_->listView())));
  ExpectNoFaults();
  EXPECT_EQ(0u, U32At(NamedBufferBytes(kCaptureBufferName, 4), 0))
      << "the stale capture must not pass for this one";

  // Once the name is free again, the capture makes a fresh buffer of the right size.
  view.reset();
  squatter.reset();
  std::vector<uint8_t> blob;
  uint64_t size = 0;
  std::string why;
  ASSERT_TRUE(link_.Capture(&blob, &size, &why)) << why;
  EXPECT_EQ(8u + 20 * 268, blob.size());
  EXPECT_EQ(ExpectedBufferSize(8 + 20 * 268 + 10), size);
  EXPECT_EQ("Icon 19", LabelAt(blob, 19));
}

TEST_F(AgentTest, WorksOnADesktopUnderWorkerW) {
  StandinOptions options;
  options.underWorkerW = true;
  ASSERT_NO_FATAL_FAILURE(Open({{"Under WorkerW", 33, 44}}, options));
  ASSERT_TRUE(link_.Apply(MakeBlob({{"Under WorkerW", 55, 66}})));
  EXPECT_EQ(55, Icons()[0].x);
}

TEST_F(AgentTest, CloseRemovesTheAgentWindowAndTheHook) {
  ASSERT_NO_FATAL_FAILURE(Open({{"Any", 1, 2}}));
  HWND agent = link_.agent();
  EXPECT_EQ(GetWindowThreadProcessId(desktop_->listView(), nullptr),
            GetWindowThreadProcessId(agent, nullptr))
      << "agent lives on the list view's thread";
  EXPECT_FALSE(IsWindowVisible(agent)) << "the agent window is never shown";
  EXPECT_NE(0, link_.Close()) << "SetExplorerHook(0) removes the hook it recorded";
  EXPECT_FALSE(IsWindow(agent));
  EXPECT_EQ(nullptr, FindWindowA(nullptr, kAgentWindowTitle));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, SetExplorerHook(0)) << "no hook recorded any more";
}

}  // namespace
