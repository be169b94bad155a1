#include "text_rules.h"

#include <climits>
#include <cstdio>

namespace kestrin {

namespace {

constexpr char kSnapshotInfix[] = "_desktop_";
constexpr char kSnapshotExtension[] = ".sav";
constexpr char kTempExtension[] = ".tmp";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The system's count of UTF-8 text: one UTF-16 unit per character, two beyond U+FFFF.
size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& text, size_t at, const char* word, size_t length) {
  if (at + length > text.size()) return false;
  for (size_t i = 0; i < length; ++i)
    if (Lower(text[at + i]) != word[i]) return false;
  return true;
}

// COMPUTER_desktop_USER and `suffix`, a four-character extension.
bool HasSnapshotForm(const std::string& name, const char* suffix) {
  const size_t extension = sizeof kSnapshotExtension - 1;
  const size_t infix = sizeof kSnapshotInfix - 1;
  if (name.size() < extension || !EqualNoCase(name, name.size() - extension, suffix, extension))
    return false;
  const size_t stem = name.size() - extension;
  // Any "_desktop_" that leaves a computer name before it and a user name after it: user
  // names may themselves contain "_desktop_".
  for (size_t at = 1;
       at + infix < stem && Utf16Length(name.substr(0, at)) <= kMaxComputerNameLength; ++at)
    if (EqualNoCase(name, at, kSnapshotInfix, infix)) return true;
  return false;
}

}  // namespace

int OptionValue(const char* text) {
  if (!text) return 0;
  while (IsBlank(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Accumulate towards the sign's own limit so INT_MIN is reachable and nothing overflows.
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int>(negative ? -value : value);
}

std::string ModuleDirectory(const std::string& modulePath) {
  const size_t slash = modulePath.find_last_of("\\/");
  if (slash != std::string::npos) return modulePath.substr(0, slash + 1);
  if (modulePath.size() >= 2 && modulePath[1] == ':') return modulePath.substr(0, 2);
  return std::string();
}

bool BuildSnapshotPath(const std::string& longModulePath, const std::string& computerName,
                       const std::string& userName, std::string* path) {
  if (computerName.empty() || userName.empty()) return false;
  std::string result = ModuleDirectory(longModulePath) + computerName + kSnapshotInfix + userName +
                       kSnapshotExtension;
  if (Utf16Length(result) >= kPathCapacity) return false;
  *path = std::move(result);
  return true;
}

bool BuildOptionsPath(const std::string& longModulePath, std::string* path) {
  std::string result = longModulePath.substr(0, longModulePath.rfind('.')) + ".ini";
  if (Utf16Length(result) >= kPathCapacity) return false;
  *path = std::move(result);
  return true;
}

std::string SaveTimeText(const CalendarTime& t) {
  char text[80];
  std::snprintf(text, sizeof text, "%.2u/%.2u/%u - %.2u:%.2u:%.2u", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

std::string SnapshotTempPath(const std::string& snapshotPath) {
  return snapshotPath.substr(0, snapshotPath.size() - (sizeof kSnapshotExtension - 1)) +
         kTempExtension;
}

std::string ResolutionRecordPath(const std::string& snapshotPath, uint32_t width, uint32_t height) {
  return snapshotPath.substr(0, snapshotPath.size() - (sizeof kSnapshotExtension - 1)) + "_" +
         std::to_string(width) + "x" + std::to_string(height) + kSnapshotExtension;
}

bool IsSnapshotFileName(const std::string& name) {
  return HasSnapshotForm(name, kSnapshotExtension);
}

bool IsSnapshotTempFileName(const std::string& name) {
  return HasSnapshotForm(name, kTempExtension);
}

}  // namespace kestrin
