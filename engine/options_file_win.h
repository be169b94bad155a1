// The options file beside the program (Kestrin.ini): which parts "Restore Saved" and a
// /Restore without parts put back.
#pragma once

namespace kestrin {

struct RestoreParts {
  bool icons = true;
  bool mode = true;
  bool gamma = true;
};

// From section "OPTIONS" of the options file (a part is chosen when its key is missing),
// and back.
RestoreParts ReadOptions();
void WriteOptions(const RestoreParts& parts);

}  // namespace kestrin
