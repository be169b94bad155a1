#include "snapshot_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "icon_names.h"

using namespace kestrin;

namespace {

// Bytes built by hand, independently of the encoder under test.
void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU64(std::vector<uint8_t>& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
constexpr uint64_t k1_3 = 0x3FF4CCCCCCCCCCCDull;  // 1.3
constexpr uint64_t k1_6 = 0x3FF999999999999Aull;  // 1.6
constexpr uint64_t k2_2 = 0x400199999999999Aull;  // 2.2

std::vector<uint8_t> HandRecord(uint16_t dmSize = 156, uint16_t driverExtra = 0) {
  std::vector<uint8_t> r(156);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i * 7 + 1);
  r[36] = static_cast<uint8_t>(dmSize);
  r[37] = static_cast<uint8_t>(dmSize >> 8);
  r[38] = static_cast<uint8_t>(driverExtra);
  r[39] = static_cast<uint8_t>(driverExtra >> 8);
  return r;
}
std::vector<uint8_t> HandBlob(uint32_t length, uint32_t count, size_t records) {
  std::vector<uint8_t> b;
  PutU32(b, length);
  PutU32(b, count);
  for (size_t i = 0; i < records; ++i) {
    PutU32(b, static_cast<uint32_t>(10 * i));
    PutU32(b, static_cast<uint32_t>(-20 * int(i)));
    std::vector<uint8_t> label(260, 0);
    label[0] = static_cast<uint8_t>('A' + i);
    b.insert(b.end(), label.begin(), label.end());
  }
  return b;
}
std::vector<uint8_t> HandFile(const std::vector<uint8_t>& record, const std::vector<uint8_t>& blob) {
  std::vector<uint8_t> f = record;
  f.insert(f.end(), blob.begin(), blob.end());
  PutU64(f, k1_3);
  PutU64(f, k1_6);
  PutU64(f, k2_2);
  return f;
}

SnapshotError Decode(const std::vector<uint8_t>& bytes, size_t size, DecodedSnapshot* out) {
  return DecodeSnapshot(bytes.data(), size, out);
}

}  // namespace

TEST(SnapshotFormat, EncodesRecordBlobAndTripleBackToBack) {
  const std::vector<uint8_t> record = HandRecord();
  const std::vector<uint8_t> blob = HandBlob(8 + 268 * 2, 2, 2);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeSnapshot(record.data(), blob.data(), uint32_t(blob.size()),
                             GammaTriple{1.3, 1.6, 2.2}, &bytes));
  EXPECT_EQ(180u + 8 + 268 * 2, bytes.size());
  EXPECT_EQ(HandFile(record, blob), bytes);

  const std::vector<uint8_t> empty = HandBlob(8, 0, 0);
  ASSERT_TRUE(EncodeSnapshot(record.data(), empty.data(), 8, GammaTriple{}, &bytes));
  EXPECT_EQ(188u, bytes.size()) << "no icons";
}

TEST(SnapshotFormat, EncoderRefusesWhatCouldNotBeLoaded) {
  const std::vector<uint8_t> blob = HandBlob(8 + 268, 1, 1);
  std::vector<uint8_t> bytes(5, 1);
  EXPECT_FALSE(EncodeSnapshot(HandRecord(155).data(), blob.data(), 276, {}, &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(EncodeSnapshot(HandRecord(156, 4).data(), blob.data(), 276, {}, &bytes));
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), blob.data(), 275, {}, &bytes))
      << "length word beyond the given bytes";
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), blob.data(), 8, {}, &bytes))
      << "length word differs from the given length";
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), HandBlob(276, 2, 1).data(), 276, {}, &bytes))
      << "count disagrees with the length";
}

TEST(SnapshotFormat, DecodesEveryPartByteForByte) {
  const std::vector<uint8_t> record = HandRecord();
  const std::vector<uint8_t> blob = HandBlob(8 + 268 * 2, 2, 2);
  const std::vector<uint8_t> file = HandFile(record, blob);
  DecodedSnapshot out;
  ASSERT_EQ(SnapshotError::kNone, Decode(file, file.size(), &out));
  EXPECT_EQ(0, std::memcmp(record.data(), out.displayRecord, 156));
  ASSERT_EQ(blob.size(), out.iconsLength);
  EXPECT_EQ(0, std::memcmp(blob.data(), out.icons.get(), blob.size()));
  EXPECT_EQ(0, out.icons[blob.size()]) << "two spare bytes beyond the blob";
  EXPECT_EQ(0, out.icons[blob.size() + 1]);
  EXPECT_EQ(1.3, out.gamma.red);
  EXPECT_EQ(1.6, out.gamma.green);
  EXPECT_EQ(2.2, out.gamma.blue);

  std::vector<uint8_t> trailing = file;
  trailing.insert(trailing.end(), 17, 0xEE);
  DecodedSnapshot more;
  ASSERT_EQ(SnapshotError::kNone, Decode(trailing, trailing.size(), &more)) << "extra bytes ignored";
  EXPECT_EQ(2.2, more.gamma.blue);
}

TEST(SnapshotFormat, ShortTripleKeepsOneForComponentsNotHeldInFull) {
  const std::vector<uint8_t> file = HandFile(HandRecord(), HandBlob(8 + 268, 1, 1));
  const size_t blobEnd = 156 + 276;
  struct Case {
    size_t tripleBytes;
    double red, green, blue;
  } cases[] = {{0, 1.0, 1.0, 1.0}, {5, 1.0, 1.0, 1.0}, {8, 1.3, 1.0, 1.0},
               {15, 1.3, 1.0, 1.0}, {16, 1.3, 1.6, 1.0}, {23, 1.3, 1.6, 1.0}};
  for (const Case& c : cases) {
    DecodedSnapshot out;
    ASSERT_EQ(SnapshotError::kNone, Decode(file, blobEnd + c.tripleBytes, &out)) << c.tripleBytes;
    EXPECT_EQ(276u, out.iconsLength);
    EXPECT_EQ(c.red, out.gamma.red) << c.tripleBytes;
    EXPECT_EQ(c.green, out.gamma.green) << c.tripleBytes;
    EXPECT_EQ(c.blue, out.gamma.blue) << c.tripleBytes;
  }
}

TEST(SnapshotFormat, DamagedFilesAreRefusedAndLeaveTheOutputAlone) {
  const std::vector<uint8_t> good = HandFile(HandRecord(), HandBlob(8 + 268 * 2, 2, 2));
  auto withLength = [&](uint32_t length, uint32_t count) {
    std::vector<uint8_t> f = good;
    for (int i = 0; i < 4; ++i) {
      f[156 + i] = static_cast<uint8_t>(length >> (8 * i));
      f[160 + i] = static_cast<uint8_t>(count >> (8 * i));
    }
    return f;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t size;
    SnapshotError error;
  } cases[] = {
      {"empty file", good, 0, SnapshotError::kShortDisplayRecord},
      {"ends inside the record", good, 155, SnapshotError::kShortDisplayRecord},
      {"dmSize 155", HandFile(HandRecord(155), HandBlob(8, 0, 0)), 188, SnapshotError::kBadDisplayRecord},
      {"dmSize 220", HandFile(HandRecord(220), HandBlob(8, 0, 0)), 188, SnapshotError::kBadDisplayRecord},
      {"dmDriverExtra 1", HandFile(HandRecord(156, 1), HandBlob(8, 0, 0)), 188, SnapshotError::kBadDisplayRecord},
      {"ends after the record", good, 156, SnapshotError::kBadIconLayoutLength},
      {"ends inside the header", good, 162, SnapshotError::kBadIconLayoutLength},
      {"length 0", withLength(0, 0), good.size(), SnapshotError::kBadIconLayoutLength},
      {"length 4", withLength(4, 0), good.size(), SnapshotError::kBadIconLayoutLength},
      {"length 9", withLength(9, 0), good.size(), SnapshotError::kBadIconLayoutLength},
      {"count 1 for two records", withLength(8 + 268 * 2, 1), good.size(), SnapshotError::kBadIconLayoutLength},
      {"negative count", withLength(8, 0xFFFFFFFF), good.size(), SnapshotError::kBadIconLayoutLength},
      {"length 2^32 - 1", withLength(0xFFFFFFFF, 0), good.size(), SnapshotError::kBadIconLayoutLength},
      {"length 2^32 - 9", withLength(0xFFFFFFF7, 0), good.size(), SnapshotError::kBadIconLayoutLength},
      {"largest whole length", withLength(8 + 268u * 16025825u, 16025825u), good.size(),
       SnapshotError::kIconLayoutBeyondEnd},
      {"three records claimed", withLength(8 + 268 * 3, 3), good.size(), SnapshotError::kIconLayoutBeyondEnd},
      {"ends inside the blob", good, 156 + 8 + 268 * 2 - 1, SnapshotError::kIconLayoutBeyondEnd},
  };
  for (const Case& c : cases) {
    DecodedSnapshot out;
    out.iconsLength = 77;
    out.gamma.red = 3.0;
    EXPECT_EQ(c.error, DecodeSnapshot(c.bytes.data(), c.size, &out)) << c.what;
    EXPECT_FALSE(out.icons) << c.what;
    EXPECT_EQ(77u, out.iconsLength) << c.what;
    EXPECT_EQ(3.0, out.gamma.red) << c.what;
  }
}

// The UTF-16 names block after the triple: written and read back when it belongs to the
// blob; an older file without it, a damaged one or another blob's loads as before.
TEST(SnapshotFormat, NamesBlockAfterTheTripleOnlyWhenItBelongsToTheBlob) {
  const std::vector<uint8_t> record = HandRecord();
  const std::vector<uint8_t> blob = HandBlob(8 + 268 * 2, 2, 2);
  std::vector<uint8_t> names(MaxIconNamesSize(2));
  size_t at = kIconNamesHeaderSize;
  for (const std::u16string& name : {std::u16string(u"\U0001F4C1 Photos"), std::u16string(u"\u6587\u6863")})
    at += WriteIconName(names.data() + at, name.data(), name.size());
  names.resize(FinishIconNames(names.data(), at, 2, blob.data(), uint32_t(blob.size())));

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeSnapshot(record.data(), blob.data(), uint32_t(blob.size()), GammaTriple{1.3, 1.6, 2.2}, &bytes,
                             names.data(), uint32_t(names.size())));
  std::vector<uint8_t> expected = HandFile(record, blob);
  expected.insert(expected.end(), names.begin(), names.end());
  EXPECT_EQ(expected, bytes) << "the block right after the triple";
  DecodedSnapshot out;
  ASSERT_EQ(SnapshotError::kNone, Decode(bytes, bytes.size(), &out));
  ASSERT_EQ(names.size(), out.namesLength);
  EXPECT_EQ(0, std::memcmp(names.data(), out.names.get(), names.size()));
  EXPECT_EQ(2.2, out.gamma.blue);

  for (size_t damagedAt : {size_t{0}, names.size() / 2, names.size() - 1}) {
    std::vector<uint8_t> damaged = bytes;
    damaged[bytes.size() - names.size() + damagedAt] ^= 0x10;
    DecodedSnapshot d;
    ASSERT_EQ(SnapshotError::kNone, Decode(damaged, damaged.size(), &d)) << damagedAt;
    EXPECT_EQ(nullptr, d.names.get()) << "a damaged block is ignored, at " << damagedAt;
    EXPECT_EQ(0, std::memcmp(blob.data(), d.icons.get(), blob.size()));
  }
  DecodedSnapshot old;
  ASSERT_EQ(SnapshotError::kNone, Decode(HandFile(record, blob), HandFile(record, blob).size(), &old));
  EXPECT_EQ(nullptr, old.names.get()) << "an older file";
  std::vector<uint8_t> other = blob;
  other[20] ^= 1;
  ASSERT_TRUE(EncodeSnapshot(record.data(), other.data(), uint32_t(other.size()), GammaTriple{}, &bytes,
                             names.data(), uint32_t(names.size())));
  EXPECT_EQ(180u + other.size(), bytes.size()) << "another blob's names are not written";
}
