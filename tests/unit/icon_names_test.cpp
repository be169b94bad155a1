#include "icon_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icon_layout.h"

using namespace kestrin;

namespace {

std::vector<uint8_t> BlobOf(uint32_t count) {
  std::vector<uint8_t> blob(kIconLayoutHeaderSize + size_t{count} * kIconRecordSize, 0);
  StoreU32(blob.data(), static_cast<uint32_t>(blob.size()));
  StoreU32(blob.data() + 4, count);
  for (size_t i = 8; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
  return blob;
}

std::vector<uint8_t> NamesFor(const std::vector<uint8_t>& blob, const std::vector<std::u16string>& names) {
  std::vector<uint8_t> block(MaxIconNamesSize(names.size()));
  size_t at = kIconNamesHeaderSize;
  for (const std::u16string& name : names) at += WriteIconName(block.data() + at, name.data(), name.size());
  block.resize(FinishIconNames(block.data(), at, static_cast<uint32_t>(names.size()), blob.data(),
                               static_cast<uint32_t>(blob.size())));
  return block;
}

bool Match(const std::vector<uint8_t>& block, const std::vector<uint8_t>& blob) {
  return IconNamesMatch(block.data(), block.size(), blob.data(), static_cast<uint32_t>(blob.size()));
}

}  // namespace

TEST(IconNames, CrcIsTheIeeeOne) {
  const std::string check = "123456789";
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()));
}

TEST(IconNames, RoundTripOfEveryKindOfName) {
  const std::u16string emoji = u"\U0001F4C1 Projects";
  const std::u16string longest(kMaxIconNameUnits, u'\u0416');
  const std::vector<uint8_t> blob = BlobOf(5);
  const std::vector<uint8_t> block = NamesFor(blob, {u"R\u00E9sum\u00E9", emoji, u"", longest, longest + u"cut"});
  // Laid out as documented: "KUN1", its length, the count, then entries.
  ASSERT_EQ(std::string("KUN1"), std::string(block.begin(), block.begin() + 4));
  EXPECT_EQ(block.size(), LoadU32(block.data() + 4));
  EXPECT_EQ(5u, LoadU32(block.data() + 8));
  EXPECT_EQ(6, block[16]) << "units of the first name";
  EXPECT_EQ(0xE9, block[18 + 2]) << "'\u00E9' little-endian";
  ASSERT_TRUE(Match(block, blob));
  EXPECT_EQ(block.size(), IconNamesLengthAt(block.data(), block.size()));

  IconNameCursor cursor(block.data());
  char16_t name[kMaxIconNameUnits + 1];
  for (const std::u16string& expected : {std::u16string(u"R\u00E9sum\u00E9"), emoji, std::u16string(), longest, longest}) {
    EXPECT_EQ(expected.size(), cursor.Next(name));
    EXPECT_EQ(expected, std::u16string(name));
  }
}

TEST(IconNames, AnyDamageCutOrOtherBlobIsRefused) {
  const std::vector<uint8_t> blob = BlobOf(2);
  const std::vector<uint8_t> block = NamesFor(blob, {u"\u6587\u6863", u"\u0416\u0443\u0440\u043D\u0430\u043B"});
  ASSERT_TRUE(Match(block, blob));
  for (size_t i = 0; i < block.size(); ++i) {
    for (int bit : {0x01, 0x80}) {
      std::vector<uint8_t> damaged = block;
      damaged[i] ^= static_cast<uint8_t>(bit);
      EXPECT_FALSE(Match(damaged, blob)) << "byte " << i << " bit " << bit;
    }
  }
  for (size_t size = 0; size < block.size(); ++size)
    EXPECT_FALSE(IconNamesMatch(block.data(), size, blob.data(), static_cast<uint32_t>(blob.size()))) << size;
  std::vector<uint8_t> otherBlob = blob;
  otherBlob[100] ^= 1;
  EXPECT_FALSE(Match(block, otherBlob)) << "the names of another layout";
  EXPECT_FALSE(Match(NamesFor(BlobOf(3), {u"a", u"b"}), BlobOf(3))) << "fewer names than records";
  std::vector<uint8_t> trailing = block;
  trailing.push_back(0);
  EXPECT_TRUE(Match(trailing, blob)) << "bytes after the block are not the block's";
}
