#include "icon_names.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hand_bytes.h"
#include "icon_layout.h"

using namespace kestrin;

namespace {

std::vector<uint8_t> NamesFor(const std::vector<uint8_t>& blob, const std::vector<std::u16string>& names,
                              size_t extra = 0) {
  std::vector<uint8_t> block(MaxIconNamesSize(names.size()) + extra);
  size_t at = 16;
  for (const std::u16string& name : names) at += WriteIconName(block.data() + at, name.data(), name.size());
  block.resize(FinishIconNames(block.data(), at + extra, uint32_t(names.size()), blob.data(), uint32_t(blob.size())));
  return block;
}

bool Match(const std::vector<uint8_t>& block, const std::vector<uint8_t>& blob, size_t size = SIZE_MAX) {
  return IconNamesMatch(block.data(), std::min(size, block.size()), blob.data(), uint32_t(blob.size()));
}

}  // namespace

TEST(IconNames, EveryKindOfNameRoundTripsInTheDocumentedLayout) {
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9)) << "the IEEE CRC-32";
  const std::u16string emoji = u"\U0001F4C1 Projects", longest(259, u'\u0416');
  const std::vector<uint8_t> blob = HandBlob(8 + 268 * 5, 5, {"a", "b", "c", "d", "e"});
  const std::vector<uint8_t> block = NamesFor(blob, {u"R\u00E9sum\u00E9", emoji, u"", longest, longest + u"cut"});
  ASSERT_EQ(std::string("KUN1"), std::string(block.begin(), block.begin() + 4));
  EXPECT_EQ(block.size(), LoadU32(block.data() + 4));
  EXPECT_EQ(5u, LoadU32(block.data() + 8));
  EXPECT_EQ(6, block[16]) << "units of the first name";
  EXPECT_EQ(0xE9, block[18 + 2]) << "'\u00E9' little-endian";
  ASSERT_TRUE(Match(block, blob));
  EXPECT_EQ(block.size(), IconNamesLengthAt(block.data(), block.size()));

  IconNameCursor cursor(block.data());
  char16_t name[260];
  for (const std::u16string& expected : {std::u16string(u"R\u00E9sum\u00E9"), emoji, std::u16string(), longest, longest}) {
    EXPECT_EQ(expected.size(), cursor.Next(name));
    EXPECT_EQ(expected, std::u16string(name));
  }
}

TEST(IconNames, AnyDamageCutOrOtherBlobIsRefused) {
  const std::vector<uint8_t> blob = HandBlob(544, 2, {"a", "b"});
  const std::vector<uint8_t> block = NamesFor(blob, {u"\u6587\u6863", u"\u0416\u0443\u0440\u043D\u0430\u043B"});
  ASSERT_TRUE(Match(block, blob));
  for (size_t i = 0; i < block.size(); ++i) {
    for (int bit : {0x01, 0x80}) {
      std::vector<uint8_t> damaged = block;
      damaged[i] ^= static_cast<uint8_t>(bit);
      EXPECT_FALSE(Match(damaged, blob)) << "byte " << i << " bit " << bit;
    }
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
