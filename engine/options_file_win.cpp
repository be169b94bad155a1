#include "options_file_win.h"

#include <string>

#include "resource_ids.h"
#include "snapshot_paths_win.h"
#include "text_rules.h"

namespace kestrin {
namespace {

constexpr char kOptionsSection[] = "OPTIONS";

struct OptionKey {
  const char* key;
  int box;
};
constexpr OptionKey kOptionKeys[] = {{"CHECK_ICONS", IDC_RESTORE_ICONS_CHECK},
                                     {"CHECK_RESOLUTION", IDC_RESTORE_MODE_CHECK},
                                     {"CHECK_GAMMA", IDC_RESTORE_GAMMA_CHECK}};
constexpr size_t kOptionCount = sizeof kOptionKeys / sizeof kOptionKeys[0];

// A value of 20 bytes, at most 19 characters, as the options have always been read.
constexpr DWORD kOptionValueSize = 20;

}  // namespace

void ReadOptions(HWND window) {
  std::string path;
  const bool havePath = OptionsPath(&path);
  for (const OptionKey& option : kOptionKeys) {
    char value[kOptionValueSize] = "1";
    if (havePath)
      GetPrivateProfileStringA(kOptionsSection, option.key, "1", value, kOptionValueSize,
                               path.c_str());
    CheckDlgButton(window, option.box, OptionValue(value) != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

void WriteOptions(HWND window) {
  std::string path;
  if (!OptionsPath(&path)) return;
  bool checked[kOptionCount];
  for (size_t i = 0; i < kOptionCount; ++i)
    checked[i] = IsDlgButtonChecked(window, kOptionKeys[i].box) == BST_CHECKED;
  for (size_t i = 0; i < kOptionCount; ++i)
    WritePrivateProfileStringA(kOptionsSection, kOptionKeys[i].key, checked[i] ? "1" : "0",
                               path.c_str());
}

}  // namespace kestrin
