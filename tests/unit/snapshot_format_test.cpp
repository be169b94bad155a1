#include "snapshot_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "hand_bytes.h"

using namespace kestrin;

namespace {
// A display record whose dmSize (offset 36) and dmDriverExtra (38) are given.
std::vector<uint8_t> HandRecord(uint16_t size = 156, uint16_t extra = 0) {
  std::vector<uint8_t> r(156);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i * 7 + 1);
  r[36] = uint8_t(size), r[37] = uint8_t(size >> 8), r[38] = uint8_t(extra), r[39] = uint8_t(extra >> 8);
  return r;
}
// Record | blob | the doubles 1.3, 1.6 and 2.2 | names.
std::vector<uint8_t> HandFile(std::vector<uint8_t> f, const std::vector<uint8_t>& blob,
                              const std::vector<uint8_t>& names = {}) {
  f.insert(f.end(), blob.begin(), blob.end());
  for (uint64_t bits : {0x3FF4CCCCCCCCCCCDull, 0x3FF999999999999Aull, 0x400199999999999Aull}) PutLE(f, bits, 8);
  f.insert(f.end(), names.begin(), names.end());
  return f;
}
const std::vector<uint8_t> kBlob = HandBlob(544, 2, {"A", "B"});
}  // namespace

TEST(SnapshotFormat, EncodesRecordBlobTripleAndTheBlobsOwnNamesBackToBackOrNothing) {
  const std::vector<uint8_t> names = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
  std::vector<uint8_t> bytes, other = kBlob;
  auto encode = [&](const std::vector<uint8_t>& record, const std::vector<uint8_t>& blob, uint32_t length,
                    const uint8_t* named = nullptr) {
    return EncodeSnapshot(record.data(), blob.data(), length, {1.3, 1.6, 2.2}, &bytes, named, uint32_t(names.size()));
  };
  ASSERT_TRUE(encode(HandRecord(), kBlob, 544));
  EXPECT_EQ(HandFile(HandRecord(), kBlob), bytes);
  ASSERT_TRUE(encode(HandRecord(), HandBlob(8, 0), 8));
  EXPECT_EQ(HandFile(HandRecord(), HandBlob(8, 0)), bytes) << "no icons";
  ASSERT_TRUE(encode(HandRecord(), kBlob, 544, names.data()));
  EXPECT_EQ(HandFile(HandRecord(), kBlob, names), bytes) << "the names block right after the triple";
  other[20] ^= 1;
  ASSERT_TRUE(encode(HandRecord(), other, 544, names.data()));
  EXPECT_EQ(HandFile(HandRecord(), other), bytes) << "another blob's names are not written";
  // Nothing the decoder would refuse is written.
  EXPECT_FALSE(encode(HandRecord(155), kBlob, 544));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(encode(HandRecord(156, 4), kBlob, 544));
  EXPECT_FALSE(encode(HandRecord(), kBlob, 543)) << "length beyond the bytes";
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 1, {"A", "B"}), 544)) << "length word short of the length";
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 2, {"A"}), 276)) << "count disagrees with the length";
}

// Only components held in full are taken; the names block after the triple only when it
// is whole and belongs to the blob.
TEST(SnapshotFormat, DecodesEveryPartWholeGammaComponentsAndTheBlobsOwnNames) {
  const std::vector<uint8_t> names = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
  std::vector<uint8_t> file = HandFile(HandRecord(), kBlob, names);
  for (size_t held : {size_t{0}, size_t{5}, size_t{15}, size_t{23}, size_t{24}, size_t{30}, 24 + names.size()}) {
    DecodedSnapshot out;
    ASSERT_EQ(SnapshotError::kNone, DecodeSnapshot(file.data(), 156 + 544 + held, &out)) << held;
    EXPECT_EQ(0, std::memcmp(file.data(), out.displayRecord, 156));
    ASSERT_EQ(544u, out.iconsLength);
    EXPECT_EQ(0, std::memcmp(kBlob.data(), out.icons.get(), 544));
    EXPECT_EQ(0, out.icons[544] | out.icons[545]) << "two spare zero bytes beyond the blob";
    EXPECT_EQ(std::make_tuple(held >= 8 ? 1.3 : 1.0, held >= 16 ? 1.6 : 1.0, held >= 24 ? 2.2 : 1.0),
              std::tie(out.gamma.red, out.gamma.green, out.gamma.blue))
        << held;
    EXPECT_EQ(held == 24 + names.size() ? names : std::vector<uint8_t>(),
              std::vector<uint8_t>(out.names.get(), out.names.get() + out.namesLength))
        << held;
  }
  file[file.size() - names.size() / 2] ^= 0x10;
  DecodedSnapshot damaged;
  ASSERT_EQ(SnapshotError::kNone, DecodeSnapshot(file.data(), file.size(), &damaged));
  EXPECT_TRUE(!damaged.names && damaged.icons) << "a damaged names block is ignored, the rest loads";
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
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t size;
    E error;
  } cases[] = {
      {"ends inside the record", good, 155, E::kShortDisplayRecord},
      {"dmSize 155", HandFile(HandRecord(155), HandBlob(8, 0)), 188, E::kBadDisplayRecord},
      {"dmDriverExtra 1", HandFile(HandRecord(156, 1), HandBlob(8, 0)), 188, E::kBadDisplayRecord},
      {"ends inside the blob's header", good, 162, E::kBadIconLayoutLength},
      {"length 4", withLength(4, 0), good.size(), E::kBadIconLayoutLength},
      {"count 1 for two records", withLength(544, 1), good.size(), E::kBadIconLayoutLength},
      {"negative count", withLength(8, 0xFFFFFFFF), good.size(), E::kBadIconLayoutLength},
      {"length 2^32 - 10", withLength(0xFFFFFFF6, 0), good.size(), E::kBadIconLayoutLength},
      {"largest whole length", withLength(8 + 268u * 16025825u, 16025825u), good.size(), E::kIconLayoutBeyondEnd},
      {"ends inside the blob", good, 156 + 543, E::kIconLayoutBeyondEnd},
  };
  for (const auto& c : cases) {
    DecodedSnapshot out;
    out.iconsLength = 77, out.gamma.red = 3.0;
    EXPECT_EQ(c.error, DecodeSnapshot(c.bytes.data(), c.size, &out)) << c.what;
    EXPECT_TRUE(!out.icons && out.iconsLength == 77 && out.gamma.red == 3.0) << c.what;
  }
}
