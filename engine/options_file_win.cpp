#include "options_file_win.h"

#include <string>

#include "resource_ids.h"
#include "snapshot_paths_win.h"
#include "text_rules.h"
#include "utf8_win.h"

namespace kestrin {
namespace {

constexpr wchar_t kOptionsSection[] = L"OPTIONS";

struct OptionKey {
  const wchar_t* key;
  int box;
};
constexpr OptionKey kOptionKeys[] = {{L"CHECK_ICONS", IDC_RESTORE_ICONS_CHECK},
                                     {L"CHECK_RESOLUTION", IDC_RESTORE_MODE_CHECK},
                                     {L"CHECK_GAMMA", IDC_RESTORE_GAMMA_CHECK}};
constexpr size_t kOptionCount = sizeof kOptionKeys / sizeof kOptionKeys[0];

// A value of at most 19 characters, as the options have always been read.
constexpr DWORD kOptionValueSize = 20;

}  // namespace

void ReadOptions(HWND window) {
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
    CheckDlgButton(window, option.box, OptionValue(text) != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

void WriteOptions(HWND window) {
  std::string path;
  if (!OptionsPath(&path)) return;
  bool checked[kOptionCount];
  for (size_t i = 0; i < kOptionCount; ++i)
    checked[i] = IsDlgButtonChecked(window, kOptionKeys[i].box) == BST_CHECKED;
  for (size_t i = 0; i < kOptionCount; ++i)
    WritePrivateProfileStringW(kOptionsSection, kOptionKeys[i].key, checked[i] ? L"1" : L"0",
                               WideText(path).c_str());
}

}  // namespace kestrin
