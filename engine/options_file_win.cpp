#include "options_file_win.h"

#include <windows.h>

#include <string>

#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "utf8_win.h"

namespace kestrin {
namespace {

constexpr wchar_t kOptionsSection[] = L"OPTIONS";

struct OptionKey {
  const wchar_t* key;
  bool RestoreParts::*part;
};
constexpr OptionKey kOptionKeys[] = {{L"CHECK_ICONS", &RestoreParts::icons},
                                     {L"CHECK_RESOLUTION", &RestoreParts::mode},
                                     {L"CHECK_GAMMA", &RestoreParts::gamma}};

// A value of at most 19 characters, as the options have always been read.
constexpr DWORD kOptionValueSize = 20;

}  // namespace

RestoreParts ReadOptions() {
  RestoreParts parts;
  std::string path;
  const bool havePath = OptionsPath(&path);
  for (const OptionKey& option : kOptionKeys) {
    wchar_t value[kOptionValueSize] = L"1";
    if (havePath)
      GetPrivateProfileStringW(kOptionsSection, option.key, L"1", value, kOptionValueSize,
                               WideText(path).c_str());
    // Only ASCII blanks, a sign and digits count: anything else ends the number.
    char text[kOptionValueSize] = {};
    for (size_t i = 0; i + 1 < kOptionValueSize && value[i]; ++i)
      text[i] = value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
    parts.*option.part = OptionValue(text) != 0;
  }
  return parts;
}

void WriteOptions(const RestoreParts& parts) {
  std::string path;
  if (!OptionsPath(&path)) return;
  for (const OptionKey& option : kOptionKeys)
    WritePrivateProfileStringW(kOptionsSection, option.key, parts.*option.part ? L"1" : L"0",
                               WideText(path).c_str());
}

}  // namespace kestrin
