// Kestrin.exe's resources, linked into this executable and read back from its own image
// where their details matter; both dialogs are also created for real.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "resource_ids.h"

namespace kestrin {
namespace {

// Little-endian reader over one of this image's resources (mapped while the image is
// loaded: nothing to release). It never steps past the end; a short read sets `failed`.
struct Reader {
  using Words = std::vector<uint32_t>;  // braced lists of reads run in order
  const uint8_t* data = nullptr;
  size_t size = 0, pos = 0;
  bool failed = false;

  Reader(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(nullptr, name, type);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    if (loaded) data = static_cast<const uint8_t*>(LockResource(loaded));
    if (data) size = SizeofResource(nullptr, found);
  }
  bool Skip(size_t bytes) {
    failed = failed || size - pos < bytes;
    if (!failed) pos += bytes;
    return !failed;
  }
  uint32_t Unsigned(size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes && Skip(1); ++i) value |= uint32_t{data[pos - 1]} << (8 * i);
    return failed ? 0 : value;
  }
  uint16_t Word() { return static_cast<uint16_t>(Unsigned(2)); }
  uint32_t Dword() { return Unsigned(4); }
  // NUL-terminated UTF-16 (ASCII only here), or an ordinal as "#n".
  std::string Text() {
    std::string text;
    uint16_t c = Word();
    if (c == 0xFFFF) return "#" + std::to_string(Word());
    for (; c != 0 && !failed; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }
};

// A template control; class atoms read as "#128" (button) and "#130" (static).
struct Item { uint32_t style = 0; int id = 0; std::string cls, text; };

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Checks the DLGTEMPLATEEX header, reads its DLGITEMTEMPLATEEX entries (each on a DWORD
// boundary), then creates the dialog as the window system does: its title, its children in
// template order, and icon 128 in the icon control and nowhere else.
std::vector<Item> CheckDialog(int dialogId, uint32_t style, uint32_t exStyle, uint32_t cx,
                              uint32_t cy, const char* title, const std::vector<int>& order) {
  using Words = Reader::Words;
  using Texts = std::vector<std::string>;
  Reader r(RT_DIALOG, MAKEINTRESOURCEA(dialogId));
  // Version 1 extended, help id, extended style, style; then position and size.
  EXPECT_EQ((Words{r.Dword(), r.Dword(), r.Dword(), r.Dword()}),
            (Words{0xFFFF0001u, 0, exStyle, style}));
  std::vector<Item> items(r.Word());
  EXPECT_EQ((Words{r.Word(), r.Word(), r.Word(), r.Word()}), (Words{0, 0, cx, cy}));
  EXPECT_EQ((Texts{r.Text(), r.Text(), r.Text()}), (Texts{"", "", title}));  // no menu or class
  EXPECT_EQ((Words{r.Word(), r.Dword()}), (Words{8, 0x01000000}));  // weight 0, DEFAULT_CHARSET
  EXPECT_EQ(r.Text(), "MS Shell Dlg");
  for (Item& item : items) {
    r.Skip((4 - r.pos % 4) % 4 + 8);  // alignment, help id, extended style
    item.style = r.Dword();
    r.Skip(8);  // position and size
    item.id = static_cast<int>(r.Dword());
    item.cls = r.Text();
    item.text = r.Text();
    r.Skip(r.Word());  // creation data
  }
  EXPECT_FALSE(r.failed) << "template " << dialogId << " missing or cut short";
  EXPECT_EQ(items.size(), order.size());

  const std::unique_ptr<HWND__, decltype(&DestroyWindow)> dialog(
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), nullptr,
                         PlainDialogProc, 0),
      &DestroyWindow);
  EXPECT_NE(dialog, nullptr) << "CreateDialogParamA failed, error " << GetLastError();
  char text[64] = {};
  GetWindowTextA(dialog.get(), text, static_cast<int>(sizeof text));
  EXPECT_STREQ(text, title);
  HWND child = GetWindow(dialog.get(), GW_CHILD);
  for (size_t i = 0; i < items.size() && i < order.size(); ++i) {
    EXPECT_EQ(std::make_pair(items[i].id, GetDlgCtrlID(child)), std::make_pair(order[i], order[i]))
        << "template item and created child " << i;
    EXPECT_EQ(SendMessageA(child, STM_GETICON, 0, 0) != 0, items[i].text == "#128") << order[i];
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more children than template items";
  return items;
}

TEST(ResourcesDialog, MainWindow) {
  const std::vector<Item> items = CheckDialog(
      IDD_MAIN, 0x90CA00C8u, WS_EX_APPWINDOW, 273, 362, "Kestrin",
      {1,    2,    1000, 1001, 1002, 1024, 1004, 1025, 1026, 1005, 1027, 1023, 1003, 1029, 1006,
       1030, 1031, 1007, 1032, 1028, 1008, 1009, 1010, 1011, 1012, 1013, 1021, 1022, 1015, 1016,
       1017, 1018, 1019, 1020, 1036, 1038, 1039, 1041, 1040, 1043, 1044, 1045, 1046, 1033, 1034});
  std::map<int, Item> byId;
  for (const Item& item : items) {
    byId[item.id] = item;
    // Text statics start groups; buttons and the icon never do.
    const bool label = item.cls == "#130" && (item.style & SS_TYPEMASK) != SS_ICON;
    EXPECT_EQ((item.style & WS_GROUP) != 0, label) << item.id;
    EXPECT_EQ(item.text.find('&'), std::string::npos) << "no mnemonics";
  }
  constexpr uint32_t kPush = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP;
  const std::map<int, uint32_t> exact = {
      {1, WS_CHILD | BS_DEFPUSHBUTTON | WS_DISABLED | WS_TABSTOP},
      {1000, kPush & ~WS_VISIBLE}, {1001, kPush & ~WS_VISIBLE},
      {1009, kPush | WS_DISABLED}, {1015, kPush | WS_DISABLED},
      {1016, kPush | WS_DISABLED}, {1033, kPush | WS_DISABLED},
      {1036, WS_CHILD | WS_VISIBLE | SS_ICON | SS_NOTIFY}};
  for (const auto& [id, style] : exact) EXPECT_EQ(byId[id].style, style) << id;
  const std::map<int, std::string> misspelt = {
      {1023, "Screan resolution:"},     {1028, "Screan resolution:"},
      {1044, "Use in genaral restore"}, {1045, "Use in genaral restore"},
      {1046, "Use in genaral restore"}};
  for (const auto& [id, text] : misspelt) EXPECT_EQ(byId[id].text, text) << id;
}

TEST(ResourcesDialog, AboutBox) {
  const std::vector<Item> items = CheckDialog(
      IDD_ABOUT, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, 0,
      235, 70, "About Kestrin",
      {-1, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDOK, IDC_ABOUT_DESCRIPTION, IDC_ABOUT_LINK});
  const std::string texts[] = {"#128", "Kestrin Version 1.1", KESTRIN_COPYRIGHT, "OK", "",
                               KESTRIN_README_NAME};
  for (size_t i = 0; i < items.size() && i < std::size(texts); ++i) {
    EXPECT_EQ(items[i].text, texts[i]);
    EXPECT_NE(items[i].style & WS_VISIBLE, 0u) << items[i].id;
  }
}

TEST(ResourcesIcon, GroupHoldsA32And16PixelImageAt24Bits) {
  Reader group(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP));
  EXPECT_EQ(group.Dword(), 0x00010000u);  // reserved, icons (not cursors)
  ASSERT_EQ(group.Word(), 2);
  std::set<Reader::Words> images;  // width, height (both masks), bits from each image's header
  for (int i = 0; i < 2 && group.Skip(12); ++i) {  // directory entry up to the image's id
    Reader image(RT_ICON, MAKEINTRESOURCEA(group.Word()));  // a short read gives zeros
    images.insert({(image.Skip(4), image.Dword()), image.Dword(), (image.Skip(2), image.Word())});
  }
  EXPECT_EQ(images, (std::set<Reader::Words>{{32, 64, 24}, {16, 32, 24}}));
}

TEST(ResourcesManifest, NamesThisBuildsArchitectureAndLoadsCommonControls6) {
  const Reader res(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
  const std::string manifest(reinterpret_cast<const char*>(res.data), res.size);
  const std::string own = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\""
                                             : "processorArchitecture=\"X86\"";
  int owns = 0, all = 0;
  for (size_t at = 0; (at = manifest.find("processorArchitecture=", at)) != std::string::npos; ++at)
    ++all, owns += manifest.compare(at, own.size(), own) == 0;
  EXPECT_EQ(std::make_pair(owns, all), std::make_pair(2, 2)) << manifest;

  // comctl32 was bound through the manifest's activation context.
  InitCommonControls();
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path), 0u);
  CharLowerA(path);
  EXPECT_NE(std::strstr(path, "microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr)
      << path;
}

TEST(ResourcesVersion, Says1_11) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeA(path, &ignored) + 1);  // never empty
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
  void *fixed = nullptr, *text = nullptr;
  UINT fixedLength = 0, textLength = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &fixed, &fixedLength) &&
              VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductVersion", &text,
                             &textLength) && fixedLength >= sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS, DWORD{MAKELONG(11, 1)});
  EXPECT_EQ(std::string(static_cast<char*>(text), strnlen(static_cast<char*>(text), textLength)),
            "1.11");
}

}  // namespace
}  // namespace kestrin
