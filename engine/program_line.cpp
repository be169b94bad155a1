#include "program_line.h"

#include "text_rules.h"

namespace kestrin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<ProgramSplit> ProgramSplits(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  std::vector<ProgramSplit> splits;
  if (start < text.size() && text[start] == '"') {
    const size_t close = text.find('"', start + 1);
    const size_t end = close == std::string::npos ? text.size() : close;
    const size_t rest = close == std::string::npos ? text.size() : close + 1;
    splits.push_back({text.substr(start + 1, end - start - 1), text.substr(rest)});
    return splits;
  }
  for (size_t at = start; at <= text.size(); ++at) {
    if (at < text.size() && !IsBlank(text[at])) continue;
    if (at > start && !IsBlank(text[at - 1]))
      splits.push_back({text.substr(start, at - start), text.substr(at)});
  }
  return splits;
}

std::string ProgramFolder(const std::string& program) {
  // "C:x.exe" names the drive's current folder, which is where it would start anyway.
  const std::string folder = ModuleDirectory(program);
  return folder.find_first_of("\\/") == std::string::npos ? std::string() : folder;
}

bool IsShortcutName(const std::string& program) {
  if (program.size() < 4) return false;
  std::string tail = program.substr(program.size() - 4);
  for (char& c : tail) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return tail == ".lnk";
}

std::string QuotedArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t") == std::string::npos) return argument;
  return "\"" + argument + "\"";
}

}  // namespace kestrin
