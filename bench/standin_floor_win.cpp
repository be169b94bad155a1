// The benchmark's floor, measured inside the stand-in desktop on the list view's thread:
// the list-view calls a capture and an apply make, with nothing else around them.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

std::vector<std::pair<std::string, POINT>> ListViewItems(HWND listView);  // the stand-in's

namespace {

double MicrosecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1e6 /
         static_cast<double>(freq.QuadPart);
}

int ItemCount(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
}

// Per item: text into a 260-byte buffer, position, copy to a 268-byte record.
std::string FloorCapture(HWND listView) {
  struct Record {
    char text[260];
    POINT pt;
  };
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  std::vector<Record> records(static_cast<size_t>(ItemCount(listView)));
  for (size_t i = 0; i < records.size(); ++i) {
    char text[261] = {};  // one spare zero: Wine's list view may leave the text unterminated
    LVITEMA item{};
    item.pszText = text;
    item.cchTextMax = 260;
    SendMessageA(listView, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
    SendMessageA(listView, LVM_GETITEMPOSITION, i, reinterpret_cast<LPARAM>(&records[i].pt));
    std::memcpy(records[i].text, text, sizeof records[i].text);
  }
  return "us " + std::to_string(MicrosecondsSince(start)) + "\n";
}

// Three passes of find-by-text then a 16-bit position set, as an apply makes.
std::string FloorApply(HWND listView) {
  const std::vector<std::pair<std::string, POINT>> items = ListViewItems(listView);
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  for (int pass = 0; pass < 3; ++pass) {
    for (const auto& [text, pt] : items) {
      LVFINDINFOA find{};
      find.flags = LVFI_STRING;
      find.psz = text.c_str();
      const LRESULT found = SendMessageA(listView, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find));
      if (found >= 0)
        SendMessageA(listView, LVM_SETITEMPOSITION, found,
                     MAKELPARAM(pt.x & 0xFFFF, pt.y & 0xFFFF));
    }
  }
  return "us " + std::to_string(MicrosecondsSince(start)) + "\n";
}

}  // namespace

// The stand-in's verbs for the benchmark; empty for any other verb.
std::string BenchVerb(const std::string& verb, HWND listView) {
  if (verb == "floor-capture") return FloorCapture(listView);
  if (verb == "floor-apply") return FloorApply(listView);
  return {};
}
