// Lumiq's exports and resources inside one process: the transfer buffer slot and its
// reader, the hook record, and the agent's dialog template.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "agent_link_win.h"
#include "agent_protocol.h"
#include "icon_layout.h"
#include "lumiq_win.h"
#include "transfer_buffer_win.h"
#include "win_handle_win.h"

using namespace kestrin;

namespace {

#define TEST_BUFFER "Lumiq_test_buffer"

TEST(PrepareMemory, CopiesAtMostSizeBytesAndKeepsTheBufferOpen) {
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_EQ(1, PrepareMemory(20, TEST_BUFFER, data.data(), 9));
  EXPECT_EQ(ExpectedBufferSize(20), NamedBufferSize(TEST_BUFFER)) << "the object is exactly the size asked for";
  std::vector<uint8_t> bytes = NamedBufferBytes(TEST_BUFFER, 20);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0}),
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + 11));

  ASSERT_EQ(1, PrepareMemory(4, TEST_BUFFER "2", data.data(), 9)) << "length larger than size";
  bytes = NamedBufferBytes(TEST_BUFFER "2", 8);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}), bytes) << "only size bytes copied";
  EXPECT_FALSE(NamedBufferExists(TEST_BUFFER)) << "the second call released the first buffer";

  ASSERT_EQ(1, PrepareMemory(16, TEST_BUFFER, nullptr, 9)) << "no data";
  EXPECT_EQ(std::vector<uint8_t>(16, 0), NamedBufferBytes(TEST_BUFFER, 16));
  ASSERT_EQ(1, PrepareMemory(16, TEST_BUFFER "3", data.data(), 0)) << "length 0";
  EXPECT_EQ(std::vector<uint8_t>(16, 0), NamedBufferBytes(TEST_BUFFER "3", 16));
}

TEST(PrepareMemory, FailureLeavesTheSlotEmpty) {
  ASSERT_EQ(1, PrepareMemory(16, TEST_BUFFER, nullptr, 0));
  EXPECT_EQ(0, PrepareMemory(0, TEST_BUFFER "4", nullptr, 0)) << "a zero-sized buffer cannot exist";
  EXPECT_FALSE(NamedBufferExists(TEST_BUFFER)) << "previous buffer released also on failure";
  EXPECT_FALSE(NamedBufferExists(TEST_BUFFER "4"));
}

TEST(PrepareMemory, NeverCopiesPastAnOlderSmallerObjectOfTheSameName) {
  UniqueHandle older(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100,
                                        TEST_BUFFER "5"));
  ASSERT_TRUE(older);
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const uint32_t big = 3 * system.dwPageSize;
  std::vector<uint8_t> data(big, 0xAB);
  EXPECT_EQ(0, PrepareMemory(big, TEST_BUFFER "5", data.data(), big))
      << "data larger than the existing object is refused, not written past its pages";
  const std::vector<uint8_t> small(50, 0xCD);
  EXPECT_EQ(1, PrepareMemory(big, TEST_BUFFER "5", small.data(), 50)) << "what fits is copied";
  EXPECT_EQ(small, NamedBufferBytes(TEST_BUFFER "5", 50));
}

TEST(TransferBufferReader, CopiesExactlyTheBlobAndRefusesBadLengths) {
  std::vector<uint8_t> blob = MakeBlob({{"One", 1, 2}, {"Two", 3, 4}});
  ASSERT_EQ(1, PrepareMemory(4096, kApplyBufferName, blob.data(), 544));
  OwnedIconLayout copy;
  ASSERT_EQ(TransferReadResult::kOk, ReadTransferBuffer(kApplyBufferName, &copy));
  ASSERT_EQ(544u, copy.length);
  EXPECT_EQ(0, std::memcmp(blob.data(), copy.bytes.get(), 544));

  struct { uint32_t length; const char* what; } bad[] = {
      {0xFFFFFFFFu, "L + 2 wraps"}, {0xFFFFFFF8u, "L + 10 wraps"}, {1u << 20, "beyond the view"},
      {7u, "shorter than a header"},
  };
  for (const auto& c : bad) {
    std::memcpy(blob.data(), &c.length, 4);
    ASSERT_EQ(1, PrepareMemory(600, kApplyBufferName, blob.data(), 544));
    OwnedIconLayout refused;
    EXPECT_EQ(TransferReadResult::kBadLength, ReadTransferBuffer(kApplyBufferName, &refused))
        << c.what;
    EXPECT_EQ(nullptr, refused.bytes.get()) << c.what;
  }
  OwnedIconLayout none;
  EXPECT_EQ(TransferReadResult::kNotFound, ReadTransferBuffer("Lumiq_no_such_buffer", &none));
}

TEST(SetExplorerHook, RemovingWithoutAHookReturnsZero) {
  EXPECT_EQ(0, SetExplorerHook(0));
  EXPECT_EQ(0, SetExplorerHook(0));
}

TEST(SetExplorerHook, RefusedHookReturnsZero) {
  // No thread has this id: the system refuses the hook.
  EXPECT_EQ(0, SetExplorerHook(0xFFFFFFF0u));
  EXPECT_EQ(0, SetExplorerHook(0)) << "a refused hook leaves nothing to remove";
}

// The agent's dialog template, read from the loaded library and parsed by hand.
TEST(AgentTemplate, IsTheHiddenCaptionOnlyDialog) {
  HMODULE lumiq = GetModuleHandleA("Lumiq.dll");
  ASSERT_TRUE(lumiq);
  HRSRC found = FindResourceA(lumiq, MAKEINTRESOURCEA(IDD_AGENT), MAKEINTRESOURCEA(5));
  ASSERT_TRUE(found) << "dialog resource 9";
  const auto* t = static_cast<const uint8_t*>(LockResource(LoadResource(lumiq, found)));
  const DWORD size = SizeofResource(lumiq, found);
  ASSERT_TRUE(t);
  ASSERT_GE(size, 26u);
  auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, t + at, 2); return v; };
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, t + at, 4); return v; };
  EXPECT_EQ(1, u16(0)) << "extended template version";
  EXPECT_EQ(0xFFFF, u16(2)) << "extended template signature";
  EXPECT_EQ(0u, u32(8)) << "no extended style";
  EXPECT_EQ(uint32_t(WS_CAPTION | DS_SETFONT), u32(12)) << "style: caption and font only";
  EXPECT_EQ(0, u16(16)) << "no controls";
  EXPECT_EQ(0, u16(18));
  EXPECT_EQ(0, u16(20));
  EXPECT_EQ(186, u16(22));
  EXPECT_EQ(46, u16(24));
  size_t at = 26;
  auto text = [&]() {
    std::string s;
    while (at + 1 < size && u16(at)) s += static_cast<char>(u16(at)), at += 2;
    at += 2;
    return s;
  };
  EXPECT_EQ(0, u16(at)) << "no menu";
  at += 2;
  EXPECT_EQ(0, u16(at)) << "standard dialog class";
  at += 2;
  EXPECT_EQ(kAgentWindowTitle, text());
  ASSERT_LE(at + 6, size);
  EXPECT_EQ(8, u16(at)) << "point size";
  EXPECT_EQ(400, u16(at + 2)) << "weight";
  EXPECT_EQ(0, t[at + 4]) << "not italic";
  EXPECT_EQ(1, t[at + 5]) << "character set";
  at += 6;
  EXPECT_EQ("MS Shell Dlg", text());
}

}  // namespace
