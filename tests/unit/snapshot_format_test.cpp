#include "snapshot_format.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hand_bytes.h"
#include "icon_names.h"

using namespace kestrin;

namespace {

// A display record whose dmSize (offset 36) and dmDriverExtra (38) are given.
std::vector<uint8_t> HandRecord(uint16_t dmSize = 156, uint16_t driverExtra = 0) {
  std::vector<uint8_t> r(156);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i * 7 + 1);
  r[36] = uint8_t(dmSize), r[37] = uint8_t(dmSize >> 8), r[38] = uint8_t(driverExtra), r[39] = uint8_t(driverExtra >> 8);
  return r;
}
// Record | blob | the doubles 1.3, 1.6 and 2.2.
std::vector<uint8_t> HandFile(std::vector<uint8_t> f, const std::vector<uint8_t>& blob) {
  f.insert(f.end(), blob.begin(), blob.end());
  for (uint64_t bits : {0x3FF4CCCCCCCCCCCDull, 0x3FF999999999999Aull, 0x400199999999999Aull}) PutLE(f, bits, 8);
  return f;
}
SnapshotError Decode(const std::vector<uint8_t>& bytes, size_t size, DecodedSnapshot* out) {
  return DecodeSnapshot(bytes.data(), size, out);
}
const std::vector<uint8_t> kBlob = HandBlob(544, 2, {"A", "B"});

}  // namespace

TEST(SnapshotFormat, EncodesRecordBlobAndTripleBackToBackOrNothing) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), kBlob.data(), 544, {1.3, 1.6, 2.2}, &bytes));
  EXPECT_EQ(HandFile(HandRecord(), kBlob), bytes);
  ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), HandBlob(8, 0).data(), 8, {}, &bytes));
  EXPECT_EQ(188u, bytes.size()) << "no icons";

  // Nothing the decoder would refuse is written.
  EXPECT_FALSE(EncodeSnapshot(HandRecord(155).data(), kBlob.data(), 544, {}, &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(EncodeSnapshot(HandRecord(156, 4).data(), kBlob.data(), 544, {}, &bytes));
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), kBlob.data(), 543, {}, &bytes)) << "length beyond the bytes";
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), kBlob.data(), 8, {}, &bytes)) << "length word not the length";
  EXPECT_FALSE(EncodeSnapshot(HandRecord().data(), HandBlob(276, 2, {"A"}).data(), 276, {}, &bytes))
      << "count disagrees with the length";
}

TEST(SnapshotFormat, DecodesEveryPartAndOnlyWholeGammaComponents) {
  std::vector<uint8_t> file = HandFile(HandRecord(), kBlob);
  file.insert(file.end(), 17, 0xEE);  // bytes after the triple that are no names block: ignored
  for (size_t tripleBytes : {0, 5, 15, 23, 24, 41}) {
    DecodedSnapshot out;
    ASSERT_EQ(SnapshotError::kNone, Decode(file, 156 + 544 + tripleBytes, &out)) << tripleBytes;
    EXPECT_EQ(0, std::memcmp(file.data(), out.displayRecord, 156));
    ASSERT_EQ(544u, out.iconsLength);
    EXPECT_EQ(0, std::memcmp(kBlob.data(), out.icons.get(), 544));
    EXPECT_EQ(0, out.icons[544] | out.icons[545]) << "two spare zero bytes beyond the blob";
    EXPECT_EQ(nullptr, out.names.get());
    EXPECT_EQ(tripleBytes >= 8 ? 1.3 : 1.0, out.gamma.red) << tripleBytes;
    EXPECT_EQ(tripleBytes >= 16 ? 1.6 : 1.0, out.gamma.green) << tripleBytes;
    EXPECT_EQ(tripleBytes >= 24 ? 2.2 : 1.0, out.gamma.blue) << tripleBytes;
  }
}

TEST(SnapshotFormat, DamagedFilesAreRefusedAndLeaveTheOutputAlone) {
  const std::vector<uint8_t> good = HandFile(HandRecord(), kBlob);
  auto withLength = [&](uint32_t length, uint32_t count) {
    std::vector<uint8_t> f(good.begin(), good.begin() + 156);
    PutLE(f, length), PutLE(f, count);
    f.insert(f.end(), good.begin() + 164, good.end());
    return f;
  };
  using E = SnapshotError;
  const struct { const char* what; std::vector<uint8_t> bytes; size_t size; E error; } cases[] = {
      {"empty file", good, 0, E::kShortDisplayRecord},
      {"ends inside the record", good, 155, E::kShortDisplayRecord},
      {"dmSize 155", HandFile(HandRecord(155), HandBlob(8, 0)), 188, E::kBadDisplayRecord},
      {"dmSize 220", HandFile(HandRecord(220), HandBlob(8, 0)), 188, E::kBadDisplayRecord},
      {"dmDriverExtra 1", HandFile(HandRecord(156, 1), HandBlob(8, 0)), 188, E::kBadDisplayRecord},
      {"ends inside the header", good, 162, E::kBadIconLayoutLength},
      {"length 4", withLength(4, 0), good.size(), E::kBadIconLayoutLength},
      {"length 9", withLength(9, 0), good.size(), E::kBadIconLayoutLength},
      {"count 1 for two records", withLength(544, 1), good.size(), E::kBadIconLayoutLength},
      {"negative count", withLength(8, 0xFFFFFFFF), good.size(), E::kBadIconLayoutLength},
      {"length 2^32 - 10", withLength(0xFFFFFFF6, 0), good.size(), E::kBadIconLayoutLength},
      {"largest whole length", withLength(8 + 268u * 16025825u, 16025825u), good.size(), E::kIconLayoutBeyondEnd},
      {"ends inside the blob", good, 156 + 543, E::kIconLayoutBeyondEnd},
  };
  for (const auto& c : cases) {
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
  std::vector<uint8_t> names(MaxIconNamesSize(2));
  size_t at = 16;
  for (const std::u16string& name : {std::u16string(u"\U0001F4C1 Photos"), std::u16string(u"\u6587\u6863")})
    at += WriteIconName(names.data() + at, name.data(), name.size());
  names.resize(FinishIconNames(names.data(), at, 2, kBlob.data(), 544));

  std::vector<uint8_t> bytes, expected = HandFile(HandRecord(), kBlob);
  ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), kBlob.data(), 544, {1.3, 1.6, 2.2}, &bytes, names.data(),
                             uint32_t(names.size())));
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
    EXPECT_EQ(0, std::memcmp(kBlob.data(), d.icons.get(), 544));
  }
  std::vector<uint8_t> other = kBlob;
  other[20] ^= 1;
  ASSERT_TRUE(EncodeSnapshot(HandRecord().data(), other.data(), 544, {}, &bytes, names.data(), uint32_t(names.size())));
  EXPECT_EQ(180u + 544, bytes.size()) << "another blob's names are not written";
}
