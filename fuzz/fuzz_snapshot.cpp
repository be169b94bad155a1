// The snapshot decoder the program runs on a whole file's bytes, over arbitrary files.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icon_layout.h"
#include "snapshot_format.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the file is caught.
  std::vector<uint8_t> file(data, data + size);
  DecodedSnapshot decoded;
  if (DecodeSnapshot(file.data(), file.size(), &decoded) != SnapshotError::kNone) {
    if (decoded.icons) std::abort();  // a refusal hands nothing out
    return 0;
  }
  const uint32_t length = decoded.iconsLength;
  if (!decoded.icons || length < kIconLayoutHeaderSize ||
      size < kDisplayRecordSize + size_t{length})
    std::abort();
  if (std::memcmp(decoded.icons.get(), data + kDisplayRecordSize, length) != 0) std::abort();
  if (decoded.icons[length] != 0 || decoded.icons[length + 1] != 0) std::abort();
  if (LoadU32(decoded.icons.get()) != length ||
      UsableRecordCount(decoded.icons.get(), length) != LoadU32(decoded.icons.get() + 4))
    std::abort();
  // What was accepted encodes back to the same bytes, up to the parts the file held.
  std::vector<uint8_t> again;
  if (!EncodeSnapshot(decoded.displayRecord, decoded.icons.get(), length, decoded.gamma, &again))
    std::abort();
  const size_t held = size < again.size() ? size : again.size();
  const size_t wholeComponents =
      kDisplayRecordSize + length + (held - kDisplayRecordSize - length) / 8 * 8;
  if (std::memcmp(again.data(), data, wholeComponents) != 0) std::abort();
  return 0;
}
