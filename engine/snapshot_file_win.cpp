#include "snapshot_file_win.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "icon_layout.h"
#include "icon_names.h"
#include "snapshot_format.h"
#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "utf8_win.h"
#include "win_handle_win.h"

namespace kestrin {

namespace {

// Reads and writes go in pieces a DWORD count can carry.
constexpr size_t kIoChunk = 1u << 30;

// The file's last-write time in local calendar fields; all zero when it can't be read.
SYSTEMTIME LocalWriteTime(HANDLE file) {
  SYSTEMTIME local = {};
  FILETIME written;
  SYSTEMTIME utc;
  SYSTEMTIME converted;
  if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToSystemTime(&written, &utc) &&
      SystemTimeToTzSpecificLocalTime(nullptr, &utc, &converted))
    local = converted;
  return local;
}

// Reads up to `size` bytes, stopping early at the end of the file. 0 or the system error.
DWORD ReadUpTo(HANDLE file, uint8_t* data, size_t size, size_t* delivered) {
  *delivered = 0;
  while (*delivered < size) {
    const DWORD ask =
        static_cast<DWORD>(size - *delivered < kIoChunk ? size - *delivered : kIoChunk);
    DWORD got = 0;
    if (!ReadFile(file, data + *delivered, ask, &got, nullptr)) return GetLastError();
    if (got == 0) break;
    *delivered += got;
  }
  return 0;
}

DWORD WriteAll(HANDLE file, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD ask = static_cast<DWORD>(size - done < kIoChunk ? size - done : kIoChunk);
    DWORD wrote = 0;
    if (!WriteFile(file, data + done, ask, &wrote, nullptr)) return GetLastError();
    if (wrote == 0) return ERROR_WRITE_FAULT;
    done += wrote;
  }
  return 0;
}

// Writes `bytes` to `path`, created afresh; on failure removes what it created.
DWORD WriteNewFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  DWORD error = WriteAll(file.get(), bytes.data(), bytes.size());
  if (!error && !FlushFileBuffers(file.get())) error = GetLastError();
  file.reset();
  if (error) DeleteFileW(path.c_str());
  return error;
}

// Attributes a user may have given the snapshot, which the new file takes over.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

SnapshotPlacementCalls snapshotPlacementCalls;

namespace {

void CarryAttributes(const std::wstring& path, DWORD oldAttributes) {
  const DWORD carried = oldAttributes & kCarriedAttributes;
  const DWORD now = GetFileAttributesW(path.c_str());
  if (carried && now != INVALID_FILE_ATTRIBUTES && (now & carried) != carried)
    SetFileAttributesW(path.c_str(), now | carried);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Puts the complete `temp` in the place of `path`. 0 or the system error of the first
// call that failed.
DWORD ReplaceWith(const std::wstring& path, const std::wstring& temp, bool hadOld,
                  DWORD oldAttributes) {
  const SnapshotPlacementCalls& calls = snapshotPlacementCalls;
  DWORD error = 0;
  if (hadOld) {
    // Windows' ReplaceFile carries the attributes over itself; Wine's does not.
    if (calls.replaceFile(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                          nullptr, nullptr)) {
      CarryAttributes(path, oldAttributes);
      return 0;
    }
    error = GetLastError();
  }
  // No old file, or ReplaceFile failed: with the old one still in place (it could not be
  // removed) or already gone (it vanished meanwhile, or went before the new one could
  // move), the complete new one still takes the snapshot's name if the system lets it.
  if (calls.moveFile(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (hadOld) CarryAttributes(path, oldAttributes);
    return 0;
  }
  if (!error) error = GetLastError();
  // Neither name holds a snapshot now but the temporary one: a copy is the last resort.
  if (!Exists(path) && CopyFileW(temp.c_str(), path.c_str(), TRUE)) {
    DeleteFileW(temp.c_str());
    return 0;
  }
  return error;
}

Outcome LoadSnapshotFile(const std::wstring& path, Snapshot* loaded) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return Failed(Step::kOpenSnapshot, GetLastError());
  }
  const SYSTEMTIME written = LocalWriteTime(file.get());

  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(file.get(), &fileSize)) {
    const DWORD error = GetLastError();
    file.reset();
    return Failed(Step::kReadSnapshot, error);
  }
  // Nothing beyond the largest record + blob + triple + names + ramp is ever looked at.
  const uint64_t largest = uint64_t{kDisplayRecordSize} + kMaxIconLayoutLength + kGammaTripleSize +
                           MaxIconNamesSize(kMaxIconRecords) + kGammaRampBlockSize;
  uint64_t wanted = fileSize.QuadPart < 0 ? 0 : uint64_t(fileSize.QuadPart);
  if (wanted > largest) wanted = largest;
  if (wanted > SIZE_MAX - 1) wanted = SIZE_MAX - 1;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(wanted) + 1]);
  if (!bytes) {
    file.reset();
    return Failed(Step::kReadSnapshot);
  }
  size_t size = 0;
  const DWORD error = ReadUpTo(file.get(), bytes.get(), static_cast<size_t>(wanted), &size);
  file.reset();
  if (error) {
    return Failed(Step::kReadSnapshot, error);
  }

  DecodedSnapshot decoded;
  if (DecodeSnapshot(bytes.get(), size, &decoded) != SnapshotError::kNone) {
    // A damaged file: every read succeeded, so there is no system text to add.
    return Failed(Step::kReadSnapshot);
  }
  std::memcpy(&loaded->mode, decoded.displayRecord, sizeof loaded->mode);
  loaded->icons.bytes = std::move(decoded.icons);
  loaded->icons.length = decoded.iconsLength;
  loaded->icons.names = std::move(decoded.names);
  loaded->icons.namesLength = decoded.namesLength;
  loaded->saveTime = written;
  loaded->gamma = decoded.gamma;
  loaded->hasRamp = decoded.hasRamp;
  if (decoded.hasRamp) loaded->ramp = decoded.ramp;
  return Outcome();
}

// The file a load reads: the snapshot, or when it is missing the temporary file a failed save
// kept as the only copy left. 0 with *path set; else SnapshotPath's error, or
// ERROR_FILE_NOT_FOUND when neither file is there.
DWORD FindSnapshotFile(std::string* path) {
  std::string snapshot;
  if (!SnapshotPath(&snapshot)) return GetLastError();
  for (const std::string& file : {snapshot, SnapshotTempPath(snapshot)})
    if (Exists(WideText(file))) return *path = file, 0;
  return ERROR_FILE_NOT_FOUND;
}

}  // namespace

static_assert(sizeof(DEVMODEA) == kDisplayRecordSize, "the display record is stored raw");
static_assert(offsetof(DEVMODEA, dmSize) == kDisplayRecordSizeOffset &&
                  offsetof(DEVMODEA, dmDriverExtra) == kDisplayRecordExtraOffset,
              "the decoder checks the record's own size fields");

Outcome LoadSnapshot(Snapshot* loaded) {
  std::string path;
  if (const DWORD error = FindSnapshotFile(&path)) {
    loaded->icons = OwnedIconLayout{};
    return Failed(Step::kFindSnapshot, error);
  }
  return LoadSnapshotAt(path, loaded);
}

Outcome LoadSnapshotAt(const std::string& path, Snapshot* loaded) {
  loaded->icons = OwnedIconLayout{};
  try {
    if (!Exists(WideText(path))) return Failed(Step::kFindSnapshot, ERROR_FILE_NOT_FOUND);
    Snapshot read;
    const Outcome outcome = LoadSnapshotFile(WideText(path), &read);
    if (outcome.ok()) *loaded = std::move(read);
    return outcome;
  } catch (const std::exception&) {
    return Failed(Step::kReadSnapshot);
  }
}

Outcome WriteSnapshotFile(const DEVMODEA& mode, const OwnedIconLayout& icons,
                          const GammaTriple& gamma, const GammaRamp* ramp) {
  std::string path;
  if (!SnapshotPath(&path)) return Failed(Step::kSaveSnapshot, GetLastError());
  return WriteSnapshotFileAt(path, mode, icons, gamma, ramp);
}

Outcome WriteSnapshotFileAt(const std::string& path, const DEVMODEA& mode,
                            const OwnedIconLayout& icons, const GammaTriple& gamma,
                            const GammaRamp* ramp) {
  try {
    // Wine's EnumDisplaySettingsA reports dmSize 124: the record is stored as the full 156
    // bytes it is, the part the system did not fill zeroed, and says so.
    DEVMODEA record = mode;
    if (record.dmSize < sizeof record)
      std::memset(reinterpret_cast<uint8_t*>(&record) + record.dmSize, 0,
                  sizeof record - record.dmSize);
    record.dmSize = sizeof record;
    record.dmDriverExtra = 0;
    std::vector<uint8_t> bytes;
    if (!icons.bytes ||
        !EncodeSnapshot(reinterpret_cast<const uint8_t*>(&record), icons.bytes.get(), icons.length,
                        gamma, &bytes, icons.names.get(), icons.namesLength, ramp)) {
      return Failed(Step::kSaveSnapshot);
    }
    // The old snapshot is opened as it always was (for writing, no sharing) but kept intact,
    // so a file held by someone else fails here; held until the replacement so nobody
    // mixes in meanwhile.
    const std::wstring snapshot = WideText(path);
    const HANDLE opened = CreateFileW(snapshot.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD openError = GetLastError();
    UniqueHandle old(opened);
    const bool hadOld = static_cast<bool>(old);
    if (!hadOld && openError != ERROR_FILE_NOT_FOUND) {
      return Failed(Step::kSaveSnapshot, openError);
    }
    BY_HANDLE_FILE_INFORMATION oldInfo = {};
    if (hadOld) GetFileInformationByHandle(old.get(), &oldInfo);
    const std::wstring temp = WideText(SnapshotTempPath(path));
    DWORD error = WriteNewFile(temp, bytes);
    old.reset();
    if (!error) {
      error = ReplaceWith(snapshot, temp, hadOld, oldInfo.dwFileAttributes);
      // The temporary file is kept only when it is the one copy left.
      if (error && Exists(snapshot)) DeleteFileW(temp.c_str());
    }
    if (error) {
      return Failed(Step::kSaveSnapshot, error);
    }
    return Outcome();
  } catch (const std::exception&) {
    return Failed(Step::kSaveSnapshot);
  }
}

}  // namespace kestrin
