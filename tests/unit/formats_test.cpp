// The icon layout blob, its names block and the snapshot file with its ramp block, against bytes built here by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"
#include "snapshot_format.h"

using namespace kestrin;
using namespace std::string_literals;

namespace {
using Bytes = std::vector<uint8_t>;
void PutLE(Bytes& b, uint64_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// An icon layout blob: u32 length | u32 count | per label i32 x = 10 i, i32 y = -20 i, char[260].
Bytes HandBlob(uint32_t length, uint32_t count, std::vector<std::string> labels = {}) {
  Bytes b;
  b.reserve(8 + 268 * labels.size());  // no spare capacity: a read past the end trips the address sanitizer
  PutLE(b, length), PutLE(b, count);
  for (size_t i = 0; i < labels.size(); ++i) {
    PutLE(b, 10 * i), PutLE(b, uint32_t(-20 * int(i))), labels[i].resize(260);
    b.insert(b.end(), labels[i].begin(), labels[i].end());
  }
  return b;
}
// The writer's names block for `blob`, its entries followed by `extra` zero bytes inside the block.
Bytes NamesFor(const Bytes& blob, const std::vector<std::u16string>& names, size_t extra = 0) {
  Bytes block(MaxIconNamesSize(names.size()) + extra);
  size_t at = 16;
  for (const std::u16string& name : names) at += WriteIconName(block.data() + at, name.data(), name.size());
  block.resize(FinishIconNames(block.data(), at + extra, uint32_t(names.size()), blob.data(), uint32_t(blob.size())));
  return block;
}
bool Match(const Bytes& block, const Bytes& blob, size_t size = SIZE_MAX) {
  return IconNamesMatch(block.data(), std::min(size, block.size()), blob.data(), uint32_t(blob.size()));
}
// A display record whose dmSize (offset 36) and dmDriverExtra (38) are given.
Bytes HandRecord(uint16_t size = 156, uint16_t extra = 0) {
  Bytes r(36, 0x5A);
  PutLE(r, size, 2), PutLE(r, extra, 2), r.resize(156, 0xA5);
  return r;
}
const double kGamma[3] = {1.3, 1.6, 2.2};  // stored as the little-endian doubles they are on this host
const Bytes kTriple(reinterpret_cast<const uint8_t*>(kGamma), reinterpret_cast<const uint8_t*>(kGamma + 3));
// Record | blob | kTriple | names | ramp.
Bytes HandFile(Bytes f, const Bytes& blob, const Bytes& names = {}, const Bytes& ramp = {}) {
  for (const Bytes* part : {&blob, &kTriple, &names, &ramp}) f.insert(f.end(), part->begin(), part->end());
  return f;
}
const Bytes kBlob = HandBlob(544, 2, {"A", "B"});
const Bytes kNames = NamesFor(kBlob, {u"\U0001F4C1 Photos", u"\u6587\u6863"});
// A ramp whose entries all differ, and its block: "KRP1" | 1552 | 0 | CRC-32 of kTriple then the entries | entries.
GammaRamp kRamp;
const Bytes kRampBlock = [] {
  Bytes b = {'K', 'R', 'P', '1'}, covered = kTriple;
  for (size_t i = 0; i < kRamp.size(); ++i) PutLE(covered, kRamp[i] = uint16_t(0x1234 + 97 * i), 2);
  PutLE(b, 1552), PutLE(b, 0), PutLE(b, Crc32(covered.data(), covered.size()));
  b.insert(b.end(), covered.begin() + 24, covered.end());
  return b;
}();
// What decoding `size` bytes of `f` (one bit flipped) gave: the gamma, then the names and the ramp when taken, the
// record and blob checked; or the error, the output left alone.
std::string Decoded(Bytes f, size_t size, size_t flip = SIZE_MAX, uint8_t bit = 1) {
  f.resize(size), f.shrink_to_fit();  // exactly `size` bytes, so a read past them is caught
  if (flip != SIZE_MAX) f[flip] ^= bit;
  DecodedSnapshot out;
  out.iconsLength = 77;
  const SnapshotError error = DecodeSnapshot(f.data(), size, &out);
  if (error != SnapshotError::kNone)
    return "error " + std::to_string(int(error)) + (out.icons || out.iconsLength != 77 ? ", output changed" : "");
  const uint32_t n = out.iconsLength;
  std::ostringstream text;
  if (std::memcmp(out.displayRecord, f.data(), 156) || n != LoadU32(f.data() + 156) ||
      std::memcmp(out.icons.get(), f.data() + 156, n) || out.icons[n] | out.icons[n + 1])
    text << "record or icons lost, ";
  text << out.gamma.red << " " << out.gamma.green << " " << out.gamma.blue;
  if (out.names) text << (Bytes(out.names.get(), out.names.get() + out.namesLength) == kNames ? ", names" : ", other");
  if (out.hasRamp) text << (out.ramp == kRamp ? ", ramp" : ", other ramp");
  return text.str();
}
}  // namespace

TEST(IconLayout, WriterLaysOutTheBytesAndTheReaderTrustsOnlyWhatLiesInsideTheLengthAndTheData) {
  Bytes blob(544, 0xCC);
  WriteIconLayoutHeader(blob.data(), 2);
  char label[260] = "Recycle Bin";
  WriteIconRecord(blob.data(), 0, 0, 0, label);
  std::memset(label, 'Z', sizeof label);  // as a list view that fills the buffer leaves it
  WriteIconRecord(blob.data(), 1, 10, -20, label);
  EXPECT_EQ(HandBlob(544, 2, {"Recycle Bin", std::string(259, 'Z')}), blob);
  EXPECT_EQ(0xEE901170u, PackIconPosition(70000, -70000)) << "each cut to its low 16 bits";
  EXPECT_TRUE(CaptureBufferSize(2) == 554 && CaptureBufferSize(16025997) == 4294967214u) << "with 10 spare bytes";
  EXPECT_TRUE(CaptureBufferSize(-1) == 0 && CaptureBufferSize(16025998) == 0) << "none beyond 32 bits";
  const Bytes two = HandBlob(544, 2, {"Recycle Bin", std::string(260, 'Z')});
  EXPECT_TRUE(UsableLengthAt(two.data(), 544) == 544 && UsableLengthAt(two.data(), 543) == 0) << "inside the data";
  EXPECT_TRUE(IsUsableLength(0xFFFFFFF5u, SIZE_MAX) && !IsUsableLength(0xFFFFFFF6u, SIZE_MAX) && !IsUsableLength(7, 8));
  EXPECT_EQ(1u, UsableRecordCount(two.data(), 543)) << "last record cut short";
  EXPECT_EQ(0u, UsableRecordCount(HandBlob(276, uint32_t(-1), {"a"}).data(), 276)) << "negative count";
  EXPECT_FALSE(IsWellFormedIconLayout(HandBlob(544, 1, {"a", "b"}).data(), 544)) << "length is not count's";
  EXPECT_FALSE(IsWellFormedIconLayout(two.data(), 544)) << "unterminated label";
  const IconRecordView first = ReadIconRecord(two.data(), 0), second = ReadIconRecord(two.data(), 1);
  EXPECT_TRUE(first.x == 0 && first.y == 0 && second.x == 10 && second.y == -20);
  EXPECT_EQ("Recycle Bin|" + std::string(259, 'Z'), first.label + "|"s + second.label) << "unterminated: cut to 259";
}

TEST(IconNames, EveryKindOfNameRoundTripsAndAnyDamageCutOrOtherBlobIsRefused) {
  EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9)) << "the IEEE CRC-32";
  const std::u16string resume = u"R\u00E9sum\u00E9", emoji = u"\U0001F4C1 Projects", longest(259, u'\u0416');
  const std::vector<std::u16string> names = {resume, emoji, u"", longest, longest + u"cut"};
  const Bytes blob = HandBlob(8 + 268 * 5, 5, {"a", "b", "c", "d", "e"}), block = NamesFor(blob, names);
  const uint8_t size0 = uint8_t(block.size()), size1 = uint8_t(block.size() >> 8);
  EXPECT_EQ((Bytes{'K', 'U', 'N', '1', size0, size1, 0, 0, 5, 0, 0, 0}), Bytes(block.begin(), block.begin() + 12));
  EXPECT_EQ((Bytes{6, 0, 'R', 0, 0xE9, 0}), Bytes(block.begin() + 16, block.begin() + 22)) << "units, UTF-16LE";
  ASSERT_TRUE(Match(block, blob));
  IconNameCursor cursor(block.data());
  char16_t name[260];
  for (const std::u16string& expected : {resume, emoji, std::u16string(), longest, longest})
    EXPECT_TRUE(cursor.Next(name) == expected.size() && name == expected) << std::string(name, name + 3);
  for (size_t i = 0; i < 2 * block.size(); ++i) {  // the lowest and the highest bit of every byte
    Bytes damaged = block;
    damaged[i / 2] ^= static_cast<uint8_t>(i % 2 ? 0x80 : 0x01);
    EXPECT_FALSE(Match(damaged, blob)) << "byte " << i / 2 << (i % 2 ? " bit 7" : " bit 0");
  }
  for (size_t size = 0; size < block.size(); ++size) EXPECT_FALSE(Match(block, blob, size)) << size;
  Bytes otherBlob = blob, trailing = block;
  otherBlob[100] ^= 1, trailing.push_back(0);
  EXPECT_FALSE(Match(block, otherBlob)) << "the names of another layout";
  EXPECT_FALSE(Match(NamesFor(blob, names, 2), blob)) << "bytes after the last entry";
  EXPECT_TRUE(Match(trailing, blob)) << "bytes after the block are not the block's";
}

TEST(SnapshotFormat, EncodesRecordBlobTripleTheBlobsOwnNamesAndTheRampBackToBackOrNothing) {
  Bytes bytes, other = kBlob;
  other[20] ^= 1;
  auto encode = [&](const Bytes& record, const Bytes& blob, uint32_t length, const GammaRamp* ramp = nullptr) {
    return EncodeSnapshot(record.data(), blob.data(), length, {1.3, 1.6, 2.2}, &bytes, kNames.data(),
                          uint32_t(kNames.size()), ramp);
  };
  for (GammaRamp* ramp : {static_cast<GammaRamp*>(nullptr), &kRamp}) {
    for (bool named : {true, false}) {  // another blob's names are not written; no ramp: as earlier versions wrote
      ASSERT_TRUE(encode(HandRecord(), named ? kBlob : other, 544, ramp));
      EXPECT_EQ(HandFile(HandRecord(), named ? kBlob : other, named ? kNames : Bytes(), ramp ? kRampBlock : Bytes()),
                bytes);
      EXPECT_EQ(std::string("1.3 1.6 2.2") + (named ? ", names" : "") + (ramp ? ", ramp" : ""),
                Decoded(bytes, bytes.size()));
    }
  }
  // Nothing the decoder would refuse is written.
  EXPECT_TRUE(!encode(HandRecord(155), kBlob, 544) && bytes.empty());
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 1, {"A", "B"}), 544)) << "length word is short";
  EXPECT_FALSE(encode(HandRecord(), HandBlob(276, 2, {"A"}), 276)) << "count disagrees";
}

TEST(SnapshotFormat, DecodesWhatIsWholeIgnoresARampBlockDamagedCutOrMadeWithAnotherTripleAndRefusesDamage) {
  const Bytes file = HandFile(HandRecord(), kBlob, kNames, kRampBlock);
  const size_t tripleAt = 156 + 544, rampAt = file.size() - kRampBlock.size();
  for (size_t size = tripleAt; size <= file.size(); ++size) {
    const size_t held = size - tripleAt;
    EXPECT_EQ(std::string(held >= 8 ? "1.3 " : "1 ") + (held >= 16 ? "1.6 " : "1 ") + (held >= 24 ? "2.2" : "1") +
                  (size >= rampAt ? ", names" : "") + (size == file.size() ? ", ramp" : ""),
              Decoded(file, size))
        << "cut to " << held << " bytes after the blob";
  }
  EXPECT_EQ("1.3 1.6 2.2, names, ramp", Decoded(file, file.size() + 1)) << "bytes after it are not the block's";
  for (size_t at = rampAt; at < file.size(); ++at)  // the magic, length, reserved word, crc and every entry
    EXPECT_EQ("1.3 1.6 2.2, names", Decoded(file, file.size(), at)) << "damaged byte " << at - rampAt;
  EXPECT_EQ("1.3 1.6 2.2, names", Decoded(file, file.size(), tripleAt, 0x80)) << "the triple changed after the block";
  EXPECT_EQ("1.3 1.6 2.2, ramp", Decoded(file, file.size(), rampAt - kNames.size() / 2, 0x10)) << "names damaged";
  // Refused, by reason: the file ends inside the record, dmDriverExtra 1, count 1 for two records, the blob cut.
  EXPECT_EQ("error 1", Decoded(HandRecord(), 155));
  EXPECT_EQ("error 2", Decoded(HandFile(HandRecord(156, 1), HandBlob(8, 0)), 188));
  EXPECT_EQ("error 3", Decoded(HandFile(HandRecord(), HandBlob(544, 1, {"A", "B"})), 724));
  EXPECT_EQ("error 4", Decoded(file, 156 + 543));
}
