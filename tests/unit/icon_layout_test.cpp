#include "icon_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "hand_bytes.h"

using namespace kestrin;

namespace {
bool Match(const std::vector<uint8_t>& block, const std::vector<uint8_t>& blob, size_t size = SIZE_MAX) {
  return IconNamesMatch(block.data(), std::min(size, block.size()), blob.data(), uint32_t(blob.size()));
}
}  // namespace

TEST(IconLayout, WriterLaysOutHeaderAndRecordsByteForByte) {
  std::vector<uint8_t> blob(544, 0xCC);
  WriteIconLayoutHeader(blob.data(), 2);
  char label[260] = "Recycle Bin";
  WriteIconRecord(blob.data(), 0, 0, 0, label);
  std::memset(label, 'Z', sizeof label);  // as a list view that fills the buffer leaves it
  WriteIconRecord(blob.data(), 1, 10, -20, label);
  EXPECT_EQ(HandBlob(544, 2, {"Recycle Bin", std::string(259, 'Z')}), blob);
  EXPECT_EQ(0x00140010u, PackIconPosition(16, 20));
  EXPECT_EQ(0xEE901170u, PackIconPosition(70000, -70000)) << "each cut to its low 16 bits";
  EXPECT_EQ(0x80008000u, PackIconPosition(-32768, 32768));
  EXPECT_EQ(554u, CaptureBufferSize(2)) << "the blob and 10 spare bytes";
  EXPECT_EQ(4294967214u, CaptureBufferSize(16025997)) << "the largest that fits in 32 bits";
  for (int64_t none : {int64_t{-1}, int64_t{16025998}}) EXPECT_EQ(0u, CaptureBufferSize(none)) << none;
}

TEST(IconLayout, ReaderTrustsOnlyWhatLiesInsideTheLengthAndTheData) {
  const std::vector<uint8_t> three(3, 0), two = HandBlob(544, 2, {"a", "b"});
  EXPECT_EQ(0u, UsableLengthAt(three.data(), 3)) << "not even a length word";
  EXPECT_EQ(544u, UsableLengthAt(two.data(), 544));
  EXPECT_EQ(0u, UsableLengthAt(two.data(), 543));
  EXPECT_TRUE(IsUsableLength(0xFFFFFFF5u, SIZE_MAX));
  for (uint32_t bad : {0u, 7u, 0xFFFFFFF6u, 0xFFFFFFFFu}) EXPECT_FALSE(IsUsableLength(bad, SIZE_MAX)) << bad;
  EXPECT_EQ(2u, UsableRecordCount(two.data(), 544));
  EXPECT_EQ(1u, UsableRecordCount(two.data(), 543)) << "last record cut short";
  EXPECT_EQ(1u, UsableRecordCount(HandBlob(276, 1000, {"a"}).data(), 276)) << "count beyond the data";
  EXPECT_EQ(1u, UsableRecordCount(HandBlob(276, 2, {"a", "b"}).data(), 544)) << "the length bounds them";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(276, uint32_t(-1), {"a"}).data(), 276)) << "negative count";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(4, 5, {"a"}).data(), 276)) << "length below the header";
  EXPECT_TRUE(IsWellFormedIconLayout(HandBlob(8, 0).data(), 8));
  EXPECT_TRUE(IsWellFormedIconLayout(two.data(), 544));
  EXPECT_FALSE(IsWellFormedIconLayout(two.data(), 543)) << "beyond the data";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(544, 1, {"a", "b"}).data(), 544)) << "length is not count's";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(8, uint32_t(-1)).data(), 8)) << "negative count";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(276, 1, {std::string(260, 'Z')}).data(), 276)) << "unterminated";
  const std::vector<uint8_t> blob = HandBlob(544, 2, {"Recycle Bin", std::string(260, 'Z')});
  const IconRecordView first = ReadIconRecord(blob.data(), 0), second = ReadIconRecord(blob.data(), 1);
  EXPECT_TRUE(first.x == 0 && first.y == 0 && second.x == 10 && second.y == -20);
  EXPECT_STREQ("Recycle Bin", first.label);
  EXPECT_EQ(std::string(259, 'Z'), second.label) << "unterminated label cut to 259";
}

TEST(IconNames, EveryKindOfNameRoundTripsInTheDocumentedLayout) {
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9)) << "the IEEE CRC-32";
  const std::u16string resume = u"R\u00E9sum\u00E9", emoji = u"\U0001F4C1 Projects", longest(259, u'\u0416');
  const std::vector<uint8_t> blob = HandBlob(8 + 268 * 5, 5, {"a", "b", "c", "d", "e"});
  const std::vector<uint8_t> block = NamesFor(blob, {resume, emoji, u"", longest, longest + u"cut"});
  ASSERT_EQ(std::string("KUN1"), std::string(block.begin(), block.begin() + 4));
  EXPECT_EQ(block.size(), LoadU32(block.data() + 4));
  EXPECT_EQ(5u, LoadU32(block.data() + 8));
  EXPECT_EQ(6, block[16]) << "units of the first name";
  EXPECT_EQ(0xE9, block[18 + 2]) << "'\u00E9' little-endian";
  ASSERT_TRUE(Match(block, blob));
  IconNameCursor cursor(block.data());
  char16_t name[260];
  for (const std::u16string& expected : {resume, emoji, std::u16string(), longest, longest}) {
    EXPECT_EQ(expected.size(), cursor.Next(name));
    EXPECT_EQ(expected, std::u16string(name));
  }
}

TEST(IconNames, AnyDamageCutOrOtherBlobIsRefused) {
  const std::vector<uint8_t> blob = HandBlob(544, 2, {"a", "b"});
  const std::vector<uint8_t> block = NamesFor(blob, {u"\u6587\u6863", u"\u0416\u0443\u0440\u043D\u0430\u043B"});
  ASSERT_TRUE(Match(block, blob));
  for (size_t i = 0; i < 2 * block.size(); ++i) {  // the lowest and the highest bit of every byte
    std::vector<uint8_t> damaged = block;
    damaged[i / 2] ^= static_cast<uint8_t>(i % 2 ? 0x80 : 0x01);
    EXPECT_FALSE(Match(damaged, blob)) << "byte " << i / 2 << (i % 2 ? " bit 7" : " bit 0");
  }
  for (size_t size = 0; size < block.size(); ++size) EXPECT_FALSE(Match(block, blob, size)) << size;
  std::vector<uint8_t> otherBlob = blob, trailing = block;
  otherBlob[100] ^= 1;
  EXPECT_FALSE(Match(block, otherBlob)) << "the names of another layout";
  EXPECT_FALSE(Match(NamesFor(blob, {u"a"}), blob)) << "fewer names than records";
  EXPECT_FALSE(Match(NamesFor(blob, {u"a", u"b"}, 2), blob)) << "bytes after the last entry";
  trailing.push_back(0);
  EXPECT_TRUE(Match(trailing, blob)) << "bytes after the block are not the block's";
}
