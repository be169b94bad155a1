// Drives standin.exe, the stand-in desktop the Wine tests point Kestrin at.
// Line protocol over the child's stdin/stdout; labels travel hex-encoded.
#pragma once

#include <windows.h>

#include "win_handle_win.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct StandinIcon {
  std::string label;
  int x;
  int y;
};

struct StandinOptions {
  bool underWorkerW = false;  // DefView under a top-level WorkerW instead of Progman
  // Another build's standin.exe (the other architecture), relative to this program's
  // directory; empty for the one beside this program.
  std::string executable;
};

namespace standin {

using Handle = kestrin::UniqueHandle;

inline std::string HexEncode(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline bool HexDecode(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2) return false;
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    *bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

// Decimal with optional '-', within [lo, hi]; rejects empty, junk and overflow.
inline bool ParseInteger(const std::string& s, long long lo, long long hi, long long* out) {
  size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (i == s.size() || s.size() - i > 18) return false;  // 18 digits cannot overflow
  long long v = 0;
  for (size_t k = i; k < s.size(); ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
    v = v * 10 + (s[k] - '0');
  }
  if (i) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

inline bool ParseHandleValue(const std::string& s, uintptr_t* out) {
  if (s.empty() || s.size() > 20) return false;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    unsigned d = static_cast<unsigned>(c - '0');
    if (v > (UINTPTR_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  *out = static_cast<uintptr_t>(v);
  return true;
}

// Splits on single spaces, keeping empty fields ("add 1 2 " has an empty label).
inline std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ' ')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

}  // namespace standin

class StandinDesktop {
 public:
  // Starts standin.exe from this program's directory and waits (30 s at most) for "ready".
  static std::unique_ptr<StandinDesktop> Start(const StandinOptions& options, std::string* error);
  // Asks "quit", waits a little, then terminates the process if it is still alive.
  ~StandinDesktop();
  StandinDesktop(const StandinDesktop&) = delete;
  StandinDesktop& operator=(const StandinDesktop&) = delete;

  HWND progman() const { return progman_; }
  HWND defView() const { return defView_; }
  HWND listView() const { return listView_; }
  DWORD uiThreadId() const { return uiThreadId_; }
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_.get(); }

  // Every call below is false when the stand-in refused the command, did not answer
  // within 30 s, or is gone; after a timeout or a garbled reply every later call fails.
  bool AddIcon(const std::string& label, int x, int y, int* index = nullptr);
  bool AddIconUtf16(const std::wstring& label, int x, int y);
  bool Icons(std::vector<StandinIcon>* icons);
  std::vector<StandinIcon> Icons();  // empty on failure; use Icons(&v) to tell
  bool MoveIcon(int index, int x, int y);
  bool SetAutoArrange(bool on);
  bool ListViewStyle(unsigned* style);
  bool Hang(unsigned ms);  // answered at once; the UI thread then stops pumping for ms
  // The next text request runs a modal loop for ms first, as a slow shell folder does;
  // WaitUntilPumping() waits, bounded, until that loop is under way.
  bool PumpDuringNextTextRequest(unsigned ms);
  bool WaitUntilPumping(unsigned timeoutMs);
  bool FaultCount(long* count);
  long Faults();  // the count, or -1 when the stand-in no longer answers
  // Moves the list view received since start, and how many came while LVS_AUTOARRANGE was set.
  bool MoveCounts(long* moves, long* whileAutoArranged);
  bool ProvokeFault();
  bool FloorCaptureMicroseconds(double* us);
  bool FloorApplyMicroseconds(double* us);
  bool IsRunning() const;

  // Sends one raw command line; *reply gets the lines before "end".
  bool Exchange(const std::string& command, std::vector<std::string>* reply);

 private:
  StandinDesktop() = default;
  bool WriteAll(const std::string& data);
  bool ReadLine(std::string* line, ULONGLONG deadline);
  bool ReadReply(std::vector<std::string>* reply);

  standin::Handle process_, toChild_, fromChild_;
  std::string pending_;
  bool broken_ = false;
  HWND progman_ = nullptr, defView_ = nullptr, listView_ = nullptr;
  DWORD uiThreadId_ = 0, processId_ = 0;
};
