#include "command_line.h"

#include <cctype>
#include <vector>

namespace kestrin {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

bool SameSwitch(const std::string& word, const char* name) {
  std::string a = word, b = name;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The next word from `at`, quotes removed (a quoted part may hold spaces), and where the
// text after it begins. False at the end of the text; an empty pair of quotes is a word.
bool NextWord(const std::string& raw, size_t* at, std::string* word) {
  size_t i = *at;
  while (i < raw.size() && IsSpace(raw[i])) ++i;
  word->clear();
  if (i == raw.size()) return *at = i, false;
  bool quoted = false;
  for (; i < raw.size() && (quoted || !IsSpace(raw[i])); ++i) {
    if (raw[i] == '"')
      quoted = !quoted;
    else
      *word += raw[i];
  }
  *at = i;
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::string& raw) {
  CommandLine result;
  size_t at = 0;
  std::string first;
  NextWord(raw, &at, &first);  // the program's own name
  NextWord(raw, &at, &first);
  if (SameSwitch(first, "/Uninstall")) {
    result.mode = CommandMode::kUninstall;
  } else if (SameSwitch(first, "/Save") || SameSwitch(first, "/Restore") ||
             SameSwitch(first, "/Watch")) {
    result.mode = SameSwitch(first, "/Save")      ? CommandMode::kSave
                  : SameSwitch(first, "/Restore") ? CommandMode::kRestore
                                                  : CommandMode::kWatch;
    // An empty argument (a batch file's missing %1) is a mistake, not the end of the switches.
    for (std::string word; NextWord(raw, &at, &word);) {
      bool* part = nullptr;
      if (result.mode == CommandMode::kRestore) {
        if (SameSwitch(word, "/Icons")) part = &result.icons;
        if (SameSwitch(word, "/Resolution")) part = &result.resolution;
        if (SameSwitch(word, "/Gamma")) part = &result.gamma;
      }
      if (result.mode == CommandMode::kWatch && SameSwitch(word, "/Stop")) part = &result.stop;
      if (!part) {
        result.mode = CommandMode::kBad;
        result.error = word.empty() ? "an empty argument after " + first
                                    : "unexpected \"" + word + "\" after " + first;
        return result;
      }
      *part = true;
    }
  } else if (SameSwitch(first, "/Run")) {
    while (at < raw.size() && IsSpace(raw[at])) ++at;
    result.program = raw.substr(at);
    std::string name;
    size_t after = at;
    const bool named = NextWord(raw, &after, &name) && !name.empty();
    result.mode = named ? CommandMode::kRun : CommandMode::kBad;
    if (!named) result.error = "/Run needs a program";
  } else if (!first.empty() && first[0] == '/') {
    result.mode = CommandMode::kBad;
    result.error = "unknown switch \"" + first + "\"";
  }
  return result;
}

}  // namespace kestrin
