// The icon layout blob, its names block and the snapshot file with its ramp block, against bytes built here by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"
#include "snapshot_format.h"

using namespace kestrin;

namespace {
void PutLE(std::vector<uint8_t>& b, uint64_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// An icon layout blob: u32 length | u32 count | per label i32 x = 10 i, i32 y = -20 i, char[260].
std::vector<uint8_t> HandBlob(uint32_t length, uint32_t count, std::vector<std::string> labels = {}) {
  std::vector<uint8_t> b;
  b.reserve(8 + 268 * labels.size());  // no spare capacity: a read past the end trips the address sanitizer
  PutLE(b, length), PutLE(b, count);
  for (size_t i = 0; i < labels.size(); ++i) {
    PutLE(b, 10 * i), PutLE(b, uint32_t(-20 * int(i))), labels[i].resize(260);
    b.insert(b.end(), labels[i].begin(), labels[i].end());
  }
  return b;
}
// The writer's names block for `blob`, its entries followed by `extra` zero bytes inside the block.
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
// A display record whose dmSize (offset 36) and dmDriverExtra (38) are given.
std::vector<uint8_t> HandRecord(uint16_t size = 156, uint16_t extra = 0) {
  std::vector<uint8_t> r(156);
  for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i * 7 + 1);
  r[36] = uint8_t(size), r[37] = uint8_t(size >> 8), r[38] = uint8_t(extra), r[39] = uint8_t(extra >> 8);
  return r;
}
// The doubles 1.3, 1.6 and 2.2.
const std::vector<uint8_t> kTriple = [] {
  std::vector<uint8_t> t;
  for (uint64_t bits : {0x3FF4CCCCCCCCCCCDull, 0x3FF999999999999Aull, 0x400199999999999Aull}) PutLE(t, bits, 8);
  return t;
}();
// Record | blob | kTriple | names | ramp.
std::vector<uint8_t> HandFile(std::vector<uint8_t> f, const std::vector<uint8_t>& blob,
                              const std::vector<uint8_t>& names = {}, const std::vector<uint8_t>& ramp = {}) {
  for (const std::vector<uint8_t>* part : {&blob, &kTriple, &names, &ramp})
    f.insert(f.end(), part->begin(), part->end());
  return f;
}
const std::vector<uint8_t> kBlob = HandBlob(544, 2, {"A", "B"});
// A ramp whose entries all differ, and its block: "KRP1" | 1552 | 0 | CRC-32 of kTriple then the entries | entries.
const GammaRamp kRamp = [] {
  GammaRamp r;
  for (size_t i = 0; i < r.size(); ++i) r[i] = uint16_t(0x1234 + 97 * i);
  return r;
}();
const std::vector<uint8_t> kRampBlock = [] {
  std::vector<uint8_t> b = {'K', 'R', 'P', '1'}, covered = kTriple, entries;
  for (uint16_t v : kRamp) PutLE(entries, v, 2);
  covered.insert(covered.end(), entries.begin(), entries.end());
  PutLE(b, 1552), PutLE(b, 0), PutLE(b, Crc32(covered.data(), covered.size()));
  b.insert(b.end(), entries.begin(), entries.end());
  return b;
}();
}  // namespace

TEST(IconLayout, WriterLaysOutHeaderAndRecordsByteForByte) {
  std::vector<uint8_t> blob(544, 0xCC);
  WriteIconLayoutHeader(blob.data(), 2);
  char label[260] = "Recycle Bin";
  WriteIconRecord(blob.data(), 0, 0, 0, label);
  std::memset(label, 'Z', sizeof label);  // as a list view that fills the buffer leaves it
  WriteIconRecord(blob.data(), 1, 10, -20, label);
  EXPECT_EQ(HandBlob(544, 2, {"Recycle Bin", std::string(259, 'Z')}), blob);
  EXPECT_EQ(0xEE901170u, PackIconPosition(70000, -70000)) << "each cut to its low 16 bits";
  EXPECT_EQ(0x80008000u, PackIconPosition(-32768, 32768));
  EXPECT_EQ(554u, CaptureBufferSize(2)) << "the blob and 10 spare bytes";
  EXPECT_EQ(4294967214u, CaptureBufferSize(16025997)) << "the largest that fits in 32 bits";
  for (int64_t none : {int64_t{-1}, int64_t{16025998}}) EXPECT_EQ(0u, CaptureBufferSize(none)) << none;
}

TEST(IconLayout, ReaderTrustsOnlyWhatLiesInsideTheLengthAndTheData) {
  const std::vector<uint8_t> two = HandBlob(544, 2, {"Recycle Bin", std::string(260, 'Z')});
  EXPECT_EQ(544u, UsableLengthAt(two.data(), 544));
  EXPECT_EQ(0u, UsableLengthAt(two.data(), 543));
  EXPECT_TRUE(IsUsableLength(0xFFFFFFF5u, SIZE_MAX));
  for (uint32_t bad : {7u, 0xFFFFFFF6u}) EXPECT_FALSE(IsUsableLength(bad, SIZE_MAX)) << bad;
  EXPECT_EQ(1u, UsableRecordCount(HandBlob(544, 1, {"a", "b"}).data(), 544)) << "the count bounds them";
  EXPECT_EQ(1u, UsableRecordCount(two.data(), 543)) << "last record cut short";
  EXPECT_EQ(1u, UsableRecordCount(HandBlob(276, 2, {"a", "b"}).data(), 544)) << "the length bounds them";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(276, uint32_t(-1), {"a"}).data(), 276)) << "negative count";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(4, 5, {"a"}).data(), 276)) << "length below the header";
  EXPECT_TRUE(IsWellFormedIconLayout(HandBlob(8, 0).data(), 8));
  EXPECT_TRUE(IsWellFormedIconLayout(kBlob.data(), 544));
  EXPECT_FALSE(IsWellFormedIconLayout(kBlob.data(), 543)) << "beyond the data";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(544, 1, {"a", "b"}).data(), 544)) << "length is not count's";
  EXPECT_FALSE(IsWellFormedIconLayout(two.data(), 544)) << "unterminated label";
  const IconRecordView first = ReadIconRecord(two.data(), 0), second = ReadIconRecord(two.data(), 1);
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
  const std::vector<uint8_t> block = NamesFor(kBlob, {u"\u6587\u6863", u"\u0416\u0443\u0440\u043D\u0430\u043B"});
  ASSERT_TRUE(Match(block, kBlob));
  for (size_t i = 0; i < 2 * block.size(); ++i) {  // the lowest and the highest bit of every byte
    std::vector<uint8_t> damaged = block;
    damaged[i / 2] ^= static_cast<uint8_t>(i % 2 ? 0x80 : 0x01);
    EXPECT_FALSE(Match(damaged, kBlob)) << "byte " << i / 2 << (i % 2 ? " bit 7" : " bit 0");
  }
  for (size_t size = 0; size < block.size(); ++size) EXPECT_FALSE(Match(block, kBlob, size)) << size;
  std::vector<uint8_t> otherBlob = kBlob, trailing = block;
  otherBlob[100] ^= 1;
  EXPECT_FALSE(Match(block, otherBlob)) << "the names of another layout";
  EXPECT_FALSE(Match(NamesFor(kBlob, {u"a"}), kBlob)) << "fewer names than records";
  EXPECT_FALSE(Match(NamesFor(kBlob, {u"a", u"b"}, 2), kBlob)) << "bytes after the last entry";
  trailing.push_back(0);
  EXPECT_TRUE(Match(trailing, kBlob)) << "bytes after the block are not the block's";
}

TEST(SnapshotFormat, EncodesRecordBlobTripleTheBlobsOwnNamesAndTheRampBackToBackOrNothing) {
  const std::vector<uint8_t> names = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
  std::vector<uint8_t> bytes, other = kBlob;
  other[20] ^= 1;
  auto encode = [&](const std::vector<uint8_t>& record, const std::vector<uint8_t>& blob, uint32_t length,
                    const uint8_t* named = nullptr, const GammaRamp* ramp = nullptr) {
    return EncodeSnapshot(record.data(), blob.data(), length, {1.3, 1.6, 2.2}, &bytes, named, uint32_t(names.size()),
                          ramp);
  };
  for (const GammaRamp* ramp : {static_cast<const GammaRamp*>(nullptr), &kRamp}) {
    SCOPED_TRACE(ramp ? "with the ramp" : "without a ramp: the bytes earlier versions wrote");
    const std::vector<uint8_t> rampBlock = ramp ? kRampBlock : std::vector<uint8_t>();
    for (bool named : {true, false}) {  // another blob's names are not written: the ramp follows the triple
      const std::vector<uint8_t>& blob = named ? kBlob : other;
      ASSERT_TRUE(encode(HandRecord(), blob, 544, names.data(), ramp));
      EXPECT_EQ(HandFile(HandRecord(), blob, named ? names : std::vector<uint8_t>(), rampBlock), bytes) << named;
      DecodedSnapshot back;
      ASSERT_EQ(SnapshotError::kNone, DecodeSnapshot(bytes.data(), bytes.size(), &back));
      EXPECT_EQ(std::make_tuple(named ? names.size() : 0, !!ramp), std::make_tuple(back.namesLength, back.hasRamp));
      EXPECT_TRUE(!ramp || back.ramp == kRamp);
    }
  }
  // Nothing the decoder would refuse is written.
  EXPECT_FALSE(encode(HandRecord(155), kBlob, 544));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 1, {"A", "B"}), 544)) << "length word short of the length";
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 2, {"A"}), 276)) << "count disagrees with the length";
}

TEST(SnapshotFormat, DecodesEveryPartWholeGammaComponentsAndTheBlobsOwnNames) {
  const std::vector<uint8_t> names = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
  const std::vector<uint8_t> file = HandFile(HandRecord(), kBlob, names);
  for (size_t held : {size_t{0}, size_t{5}, size_t{15}, size_t{23}, size_t{24}, size_t{30}, 24 + names.size()}) {
    SCOPED_TRACE(held);
    DecodedSnapshot out;
    ASSERT_EQ(SnapshotError::kNone, DecodeSnapshot(file.data(), 156 + 544 + held, &out));
    EXPECT_EQ(0, std::memcmp(file.data(), out.displayRecord, 156));
    ASSERT_EQ(544u, out.iconsLength);
    EXPECT_EQ(0, std::memcmp(kBlob.data(), out.icons.get(), 544));
    EXPECT_EQ(0, out.icons[544] | out.icons[545]) << "two spare zero bytes beyond the blob";
    EXPECT_EQ(std::make_tuple(held >= 8 ? 1.3 : 1.0, held >= 16 ? 1.6 : 1.0, held >= 24 ? 2.2 : 1.0),
              std::tie(out.gamma.red, out.gamma.green, out.gamma.blue));
    EXPECT_EQ(held == 24 + names.size() ? names : std::vector<uint8_t>(),
              std::vector<uint8_t>(out.names.get(), out.names.get() + out.namesLength));
  }
}

TEST(SnapshotFormat, ARampBlockDamagedCutOrMadeWithAnotherTripleIsIgnoredAndTheRestLoads) {
  const std::vector<uint8_t> names = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
  const std::vector<uint8_t> file = HandFile(HandRecord(), kBlob, names, kRampBlock);
  const size_t rampAt = file.size() - kRampBlock.size();
  // Whether the names and the ramp were taken, with the icons and gamma loaded either way.
  auto parts = [](std::vector<uint8_t> f, size_t size, size_t flip = SIZE_MAX, uint8_t bit = 1) {
    f.resize(size), f.shrink_to_fit();  // exactly `size` bytes, so a read past them is caught
    if (flip != SIZE_MAX) f[flip] ^= bit;
    DecodedSnapshot out;
    EXPECT_EQ(SnapshotError::kNone, DecodeSnapshot(f.data(), size, &out));
    EXPECT_TRUE(out.icons && out.iconsLength == 544 && out.gamma.blue == 2.2);
    return std::make_pair(!!out.names, out.hasRamp);
  };
  using Parts = std::pair<bool, bool>;
  EXPECT_EQ(Parts(true, true), parts(file, file.size()));
  EXPECT_EQ(Parts(true, true), parts(file, file.size() + 1)) << "bytes after the block are not the block's";
  for (size_t at = rampAt; at < file.size(); ++at)  // the magic, length, reserved word, crc and every entry
    EXPECT_EQ(Parts(true, false), parts(file, file.size(), at)) << "damaged byte " << at - rampAt;
  for (size_t size = rampAt; size < file.size(); ++size)
    EXPECT_EQ(Parts(true, false), parts(file, size)) << "cut to " << size - rampAt;
  EXPECT_EQ(Parts(true, false), parts(file, file.size(), 156 + 544, 0x80)) << "the triple changed after the block";
  EXPECT_EQ(Parts(false, true), parts(file, file.size(), rampAt - names.size() / 2, 0x10))
      << "a damaged names block is ignored, the ramp after it still loads";
}

TEST(SnapshotFormat, DamagedFilesAreRefusedAndLeaveTheOutputAlone) {
  auto refused = [](const std::vector<uint8_t>& file, size_t size, SnapshotError error, const char* what) {
    DecodedSnapshot out;
    out.iconsLength = 77, out.gamma.red = 3.0;
    EXPECT_EQ(error, DecodeSnapshot(file.data(), size, &out)) << what;
    EXPECT_TRUE(!out.icons && out.iconsLength == 77 && out.gamma.red == 3.0) << what;
  };
  const std::vector<uint8_t> good = HandFile(HandRecord(), kBlob);
  using E = SnapshotError;
  refused(good, 155, E::kShortDisplayRecord, "ends inside the record");
  refused(HandFile(HandRecord(156, 1), HandBlob(8, 0)), 188, E::kBadDisplayRecord, "dmDriverExtra 1");
  refused(good, 162, E::kBadIconLayoutLength, "ends inside the blob's header");
  refused(HandFile(HandRecord(), HandBlob(544, 1, {"A", "B"})), 724, E::kBadIconLayoutLength, "count 1, two records");
  refused(HandFile(HandRecord(), HandBlob(0xFFFFFFF6, 0)), 188, E::kBadIconLayoutLength, "length 2^32 - 10");
  refused(HandFile(HandRecord(), HandBlob(8 + 268u * 16025825u, 16025825u)), 188, E::kIconLayoutBeyondEnd,
          "the largest whole length");
  refused(good, 156 + 543, E::kIconLayoutBeyondEnd, "ends inside the blob");
}
