#include "icon_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kestrin;

namespace {

// Bytes built by hand, independently of the writers under test.
void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
std::vector<uint8_t> HandBlob(uint32_t length, uint32_t count,
                              const std::vector<std::string>& labels = {}) {
  std::vector<uint8_t> b;
  PutU32(b, length);
  PutU32(b, count);
  int i = 0;
  for (const std::string& label : labels) {
    PutU32(b, static_cast<uint32_t>(i * 10));
    PutU32(b, static_cast<uint32_t>(-i));
    std::vector<uint8_t> text(260, 0);
    std::memcpy(text.data(), label.data(), std::min<size_t>(label.size(), 260));
    b.insert(b.end(), text.begin(), text.end());
    ++i;
  }
  return b;
}
char (&Label(const std::string& text, char (&buffer)[kIconLabelSize]))[kIconLabelSize] {
  std::memset(buffer, 0, sizeof buffer);
  std::memcpy(buffer, text.data(), std::min(text.size(), sizeof buffer));
  return buffer;
}

}  // namespace

TEST(IconLayoutSizes, CaptureBufferIsBlobPlusTenAndNeverWraps) {
  EXPECT_EQ(18u, CaptureBufferSize(0)) << "empty desktop";
  EXPECT_EQ(554u, CaptureBufferSize(2)) << "two icons";
  EXPECT_EQ(0u, CaptureBufferSize(-1));
  // Largest count whose 8 + 268 n + 10 still fits in 32 bits, and the first that does not.
  const int64_t last = (int64_t{UINT32_MAX} - 18) / 268;
  EXPECT_EQ(uint32_t(8 + 268 * last + 10), CaptureBufferSize(last));
  EXPECT_EQ(0u, CaptureBufferSize(last + 1));
  EXPECT_EQ(0u, CaptureBufferSize(int64_t{1} << 40));
}

TEST(IconLayoutWriter, HeaderAndRecordsMatchTheByteLayout) {
  std::vector<uint8_t> blob(544, 0xCC);
  WriteIconLayoutHeader(blob.data(), 2);
  char buffer[kIconLabelSize];
  WriteIconRecord(blob.data(), 0, 1, -2, Label("Recycle Bin", buffer));
  WriteIconRecord(blob.data(), 1, -32769, 70000, Label("My Documents", buffer));

  const std::vector<uint8_t> expected =
      HandBlob(544, 2, {"Recycle Bin", "My Documents"});
  std::vector<uint8_t> hand = expected;
  // HandBlob's coordinates are (0, 0) and (10, -1); patch in the ones written above.
  auto put = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) hand[at + i] = uint8_t(v >> (8 * i)); };
  put(8, 1), put(12, uint32_t(-2)), put(276, uint32_t(-32769)), put(280, 70000);
  EXPECT_EQ(hand, blob);
  EXPECT_EQ(0x20, blob[0]);
  EXPECT_EQ(0x02, blob[1]);
  EXPECT_EQ('M', blob[276 + 8]) << "second record starts at offset 276";
}

TEST(IconLayoutWriter, LabelIsAlwaysTerminatedWithinItsBytes) {
  std::vector<uint8_t> blob(8 + 268, 0);
  char full[kIconLabelSize];
  std::memset(full, 'A', sizeof full);  // as a list view that fills the buffer leaves it
  WriteIconRecord(blob.data(), 0, 0, 0, full);
  EXPECT_EQ(0, blob[8 + 8 + 259]);
  EXPECT_EQ('A', blob[8 + 8 + 258]);
}

TEST(IconLayoutReader, LengthWordIsCheckedAgainstExtentAndWrap) {
  std::vector<uint8_t> blob = HandBlob(8, 0);
  blob.resize(18);
  EXPECT_EQ(8u, UsableLengthAt(blob.data(), blob.size()));
  EXPECT_EQ(0u, UsableLengthAt(blob.data(), 3)) << "not even a length word";

  const struct { uint32_t length; size_t extent; bool usable; } cases[] = {
      {7, 100, false},                 // shorter than a header
      {0, 100, false},
      {100, 100, true},                // exactly the extent
      {101, 100, false},               // one past it
      {0xFFFFFFFFu, SIZE_MAX, false},  // L + 2 and L + 10 wrap
      {0xFFFFFFF6u, SIZE_MAX, false},  // L + 10 wraps
      {0xFFFFFFF5u, SIZE_MAX, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.usable, IsUsableLength(c.length, c.extent))
        << "length " << c.length << " in " << c.extent << " bytes";
}

TEST(IconLayoutReader, RecordCountIsClippedToWholeRecordsInsideTheData) {
  const std::vector<uint8_t> two = HandBlob(544, 2, {"a", "b"});
  EXPECT_EQ(2u, UsableRecordCount(two.data(), two.size()));
  EXPECT_EQ(1u, UsableRecordCount(two.data(), two.size() - 1)) << "last record cut short";

  const std::vector<uint8_t> beyond = HandBlob(8 + 268, 1000, {"only"});
  EXPECT_EQ(1u, UsableRecordCount(beyond.data(), beyond.size())) << "count beyond the data";

  std::vector<uint8_t> shortLength = HandBlob(8 + 268, 2, {"a", "b"});
  EXPECT_EQ(1u, UsableRecordCount(shortLength.data(), shortLength.size()))
      << "totalLength bounds the records even when more bytes follow";

  EXPECT_EQ(0u, UsableRecordCount(HandBlob(8, 0).data(), 8));
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(8 + 268, uint32_t(-1), {"x"}).data(), 276))
      << "negative count means no records";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(4, 5, {"x"}).data(), 276)) << "length below header";
  EXPECT_EQ(0u, UsableRecordCount(two.data(), 7));
}

TEST(IconLayoutReader, WellFormedMeansEveryInvariantHolds) {
  EXPECT_TRUE(IsWellFormedIconLayout(HandBlob(8, 0).data(), 8));
  const std::vector<uint8_t> two = HandBlob(544, 2, {"a", "b"});
  EXPECT_TRUE(IsWellFormedIconLayout(two.data(), two.size()));
  EXPECT_FALSE(IsWellFormedIconLayout(two.data(), two.size() - 1)) << "beyond the data";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(544, 1, {"a", "b"}).data(), 544))
      << "length disagrees with count";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(8, uint32_t(-1)).data(), 8)) << "negative count";
  std::vector<uint8_t> unterminated = HandBlob(276, 1, {std::string(260, 'Z')});
  EXPECT_FALSE(IsWellFormedIconLayout(unterminated.data(), unterminated.size()));
}

TEST(IconLayoutReader, RecordReadsCoordinatesAndTerminatesTheLabel) {
  std::vector<uint8_t> blob = HandBlob(8 + 2 * 268, 2, {"Recycle Bin", std::string(260, 'Z')});
  IconRecordView first = ReadIconRecord(blob.data(), 0);
  EXPECT_EQ(0, first.x);
  EXPECT_EQ(0, first.y);
  EXPECT_STREQ("Recycle Bin", first.label);
  IconRecordView second = ReadIconRecord(blob.data(), 1);
  EXPECT_EQ(10, second.x);
  EXPECT_EQ(-1, second.y);
  EXPECT_EQ(std::string(259, 'Z'), second.label) << "unterminated label cut to 259";
}

TEST(IconLayoutPosition, CoordinatesAreCutToTheirLow16Bits) {
  EXPECT_EQ(0x00140010u, PackIconPosition(16, 20));
  EXPECT_EQ(0xFFFFFFFFu, PackIconPosition(-1, -1));
  EXPECT_EQ(0xEE901170u, PackIconPosition(70000, -70000));
  EXPECT_EQ(0x80008000u, PackIconPosition(-32768, 32768));
}
