#include "icon_layout.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hand_bytes.h"

using namespace kestrin;

TEST(IconLayout, CaptureBufferIsBlobPlusTenAndNeverWraps) {
  EXPECT_EQ(18u, CaptureBufferSize(0));
  EXPECT_EQ(554u, CaptureBufferSize(2));
  EXPECT_EQ(0u, CaptureBufferSize(-1));
  EXPECT_EQ(4294967214u, CaptureBufferSize(16025997)) << "the largest that fits in 32 bits";
  EXPECT_EQ(0u, CaptureBufferSize(16025998));
}

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
  EXPECT_EQ(0u, UsableRecordCount(two.data(), 7));
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
}

TEST(IconLayout, RecordsReadBackWithTheLabelTerminated) {
  const std::vector<uint8_t> blob = HandBlob(544, 2, {"Recycle Bin", std::string(260, 'Z')});
  const IconRecordView first = ReadIconRecord(blob.data(), 0), second = ReadIconRecord(blob.data(), 1);
  EXPECT_EQ(0, first.x);
  EXPECT_EQ(0, first.y);
  EXPECT_STREQ("Recycle Bin", first.label);
  EXPECT_EQ(10, second.x);
  EXPECT_EQ(-20, second.y);
  EXPECT_EQ(std::string(259, 'Z'), second.label) << "unterminated label cut to 259";
}
