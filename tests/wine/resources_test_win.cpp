// Kestrin.exe's resources, linked into this executable and read back from its own image:
// both dialog templates parsed by hand against the window tables, the icon group, the
// manifest and the version; then both dialogs created for real.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "resource_ids.h"

namespace kestrin {
namespace {

struct ResourceBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Resources of an image stay mapped while it is loaded: nothing to release.
ResourceBytes FindOwnResource(LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceA(nullptr, name, type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return {};
  return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

// Little-endian reader that refuses to step past the end; a short read sets failed().
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool failed() const { return failed_; }

  // Steps over `bytes`; false (and failed() from then on) if they are not all there.
  bool Skip(size_t bytes) {
    if (failed_ || size_ - pos_ < bytes) {
      failed_ = true;
      return false;
    }
    pos_ += bytes;
    return true;
  }
  uint32_t Unsigned(size_t bytes) {  // at most 4
    const size_t at = pos_;
    if (!Skip(bytes)) return 0;
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= uint32_t{data_[at + i]} << (8 * i);
    return value;
  }
  uint16_t Word() { return static_cast<uint16_t>(Unsigned(2)); }
  uint32_t Dword() { return Unsigned(4); }
  uint8_t Byte() { return static_cast<uint8_t>(Unsigned(1)); }
  int16_t Short() { return static_cast<int16_t>(Word()); }

  // A NUL-terminated UTF-16 string; the templates hold only ASCII, anything else shows as '?'.
  std::string Text() {
    std::string text;
    for (uint16_t c = Word(); c != 0 && !failed_; c = Word()) {
      text += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
  }
  // sz_Or_Ord: an ordinal comes back as "#n".
  std::string TextOrOrdinal() {
    const size_t at = pos_;
    if (!Skip(2)) return {};
    pos_ = at;
    if (data_[at] == 0xFF && data_[at + 1] == 0xFF) {
      Skip(2);
      return "#" + std::to_string(Word());
    }
    return Text();
  }
  void AlignDword() { Skip((4 - pos_ % 4) % 4); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool failed_ = false;
};

struct ItemTemplate {
  uint32_t helpId, exStyle, style;
  int16_t x, y, cx, cy;
  int32_t id;
  std::string cls, text;
  uint16_t extraBytes;
};

struct DialogTemplate {
  uint16_t version, signature;
  uint32_t helpId, exStyle, style;
  int16_t x, y, cx, cy;
  std::string menu, cls, title;
  uint16_t points = 0, weight = 0;
  uint8_t italic = 0, charset = 0;
  std::string face;
  std::vector<ItemTemplate> items;
  bool complete = false;  // parsed to the end without a short read
};

// DLGTEMPLATEEX then its DLGITEMTEMPLATEEX entries, each on a DWORD boundary.
DialogTemplate ParseDialogEx(ResourceBytes res) {
  Reader r(res.data, res.size);
  DialogTemplate d{};
  d.version = r.Word();
  d.signature = r.Word();
  d.helpId = r.Dword();
  d.exStyle = r.Dword();
  d.style = r.Dword();
  const uint16_t count = r.Word();
  d.x = r.Short(), d.y = r.Short(), d.cx = r.Short(), d.cy = r.Short();
  d.menu = r.TextOrOrdinal();
  d.cls = r.TextOrOrdinal();
  d.title = r.Text();
  if (d.style & DS_SETFONT) {  // DS_SHELLFONT includes it
    d.points = r.Word();
    d.weight = r.Word();
    d.italic = r.Byte();
    d.charset = r.Byte();
    d.face = r.Text();
  }
  for (uint16_t i = 0; i < count && !r.failed(); ++i) {
    r.AlignDword();
    ItemTemplate item{};
    item.helpId = r.Dword();
    item.exStyle = r.Dword();
    item.style = r.Dword();
    item.x = r.Short(), item.y = r.Short(), item.cx = r.Short(), item.cy = r.Short();
    item.id = static_cast<int32_t>(r.Dword());
    item.cls = r.TextOrOrdinal();
    if (item.cls == "#128") item.cls = "Button";
    if (item.cls == "#130") item.cls = "Static";
    item.text = r.TextOrOrdinal();
    item.extraBytes = r.Word();
    r.Skip(item.extraBytes);
    d.items.push_back(item);
  }
  d.complete = !r.failed();
  return d;
}

struct ExpectedItem {
  int id;
  const char* cls;
  uint32_t style;
  int16_t x, y, cx, cy;
  const char* text;
};

constexpr uint32_t kShown = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kHidden = WS_CHILD;
constexpr uint32_t kLabel = kShown | SS_LEFT | WS_GROUP;
constexpr uint32_t kPush = kShown | BS_PUSHBUTTON | WS_TABSTOP;
constexpr uint32_t kCheck = kShown | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr uint32_t kFrame = kShown | BS_GROUPBOX;
constexpr const char* kB = "Button";
constexpr const char* kS = "Static";

// The main window's controls in template (= tab) order.
const ExpectedItem kMainItems[] = {
    {1, kB, kHidden | BS_DEFPUSHBUTTON | WS_DISABLED | WS_TABSTOP, 125, 194, 12, 16, "OK"},
    {2, kB, kPush, 217, 71, 50, 14, "Exit"},
    {1000, kB, kHidden | BS_PUSHBUTTON | WS_TABSTOP, 57, 72, 36, 14, "View Current..."},
    {1001, kB, kHidden | BS_PUSHBUTTON | WS_TABSTOP, 95, 72, 30, 14, "View Saved..."},
    {1002, kB, kPush, 7, 7, 259, 19, "Save Current"},
    {1024, kS, kLabel, 144, 306, 65, 8, "Color resolution:"},
    {1004, kS, kLabel, 216, 306, 16, 8, "?"},
    {1025, kS, kLabel, 237, 306, 20, 8, "bits"},
    {1026, kS, kLabel, 144, 320, 65, 8, "Frequency:"},
    {1005, kS, kLabel, 216, 320, 18, 8, "?"},
    {1027, kS, kLabel, 237, 320, 20, 8, "Hz."},
    {1023, kS, kLabel, 144, 291, 66, 8, "Screan resolution:"},
    {1003, kS, kLabel, 216, 291, 39, 8, "?"},
    {1029, kS, kLabel, 16, 306, 66, 8, "Color resolution:"},
    {1006, kS, kLabel, 87, 306, 16, 8, "?"},
    {1030, kS, kLabel, 108, 306, 20, 8, "bits"},
    {1031, kS, kLabel, 16, 322, 66, 8, "Frequency:"},
    {1007, kS, kLabel, 87, 322, 16, 8, "?"},
    {1032, kS, kLabel, 108, 322, 20, 8, "Hz."},
    {1028, kS, kLabel, 16, 291, 66, 8, "Screan resolution:"},
    {1008, kS, kLabel, 87, 291, 44, 8, "?"},
    {1009, kB, kPush | WS_DISABLED, 20, 205, 110, 14, "Apply Saved"},
    {1010, kB, kShown | BS_AUTORADIOBUTTON, 20, 224, 107, 10, "Apply temporarily"},
    {1011, kB, kShown | BS_AUTORADIOBUTTON, 20, 235, 108, 10, "Apply and save as default"},
    {1012, kB, kCheck, 30, 246, 113, 10, "Affect all users on the machine"},
    {1013, kB, kPush, 20, 260, 234, 14, "Try restore system default"},
    {1021, kB, kFrame, 7, 183, 259, 161, "Resolution"},
    {1022, kB, kFrame, 7, 92, 259, 41, "Icons"},
    {1015, kB, kPush | WS_DISABLED, 7, 27, 259, 19, "Restore Saved"},
    {1016, kB, kPush | WS_DISABLED, 20, 114, 110, 14, "Apply Saved"},
    {1017, kB, kPush, 145, 114, 110, 14, "Back"},
    {1018, kB, kPush, 163, 71, 50, 14, "More >>"},
    {1019, kB, kPush, 7, 47, 259, 19, "Back"},
    {1020, kB, kPush, 145, 205, 110, 14, "Back"},
    {1036, kS, kShown | SS_ICON | SS_NOTIFY, 13, 68, 21, 20, "#128"},
    {1038, kB, kFrame, 139, 279, 122, 58, "Current"},
    {1039, kB, kFrame, 12, 279, 122, 58, "Saved"},
    {1041, kS, kLabel, 138, 349, 128, 8, "?"},
    {1040, kS, kShown | SS_RIGHT | WS_GROUP, 7, 349, 121, 8, "Save time:"},
    {1043, kB, kFrame, 7, 137, 259, 41, "Gamma"},
    {1044, kB, kCheck, 21, 102, 238, 10, "Use in genaral restore"},
    {1045, kB, kCheck, 21, 193, 236, 10, "Use in genaral restore"},
    {1046, kB, kCheck, 21, 147, 237, 10, "Use in genaral restore"},
    {1033, kB, kPush | WS_DISABLED, 20, 159, 110, 14, "Apply Saved"},
    {1034, kB, kPush, 145, 159, 110, 14, "Back"},
};

const ExpectedItem kAboutItems[] = {
    {-1, kS, kShown | SS_ICON, 9, 9, 20, 20, "#128"},
    {1033, kS, kLabel | SS_NOPREFIX, 39, 10, 119, 8, "Kestrin Version 1.1"},
    {1035, kS, kLabel, 39, 25, 174, 8, KESTRIN_COPYRIGHT},
    {1, kB, kShown | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 178, 7, 50, 16, "OK"},
    {1034, kS, kLabel, 39, 46, 189, 19, ""},
    {1037, kS, kLabel, 39, 36, 180, 8, KESTRIN_WEB_ADDRESS},
};

template <size_t N>
void ExpectItems(const DialogTemplate& d, const ExpectedItem (&expected)[N]) {
  ASSERT_TRUE(d.complete);
  ASSERT_EQ(d.items.size(), N);
  for (size_t i = 0; i < N; ++i) {
    const ItemTemplate& got = d.items[i];
    const ExpectedItem& want = expected[i];
    SCOPED_TRACE("template item " + std::to_string(i) + ", id " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.cls, want.cls);
    EXPECT_EQ(got.style, want.style) << std::hex << "got 0x" << got.style;
    EXPECT_EQ(std::make_tuple(got.x, got.y, got.cx, got.cy),
              std::make_tuple(want.x, want.y, want.cx, want.cy));
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.exStyle, 0u);
    EXPECT_EQ(got.helpId, 0u);
    EXPECT_EQ(got.extraBytes, 0u);
  }
}

void ExpectShellFont(const DialogTemplate& d) {
  EXPECT_EQ(d.version, 1);
  EXPECT_EQ(d.signature, 0xFFFF);
  EXPECT_EQ(std::make_tuple(d.menu, d.cls), std::make_tuple("", ""));
  EXPECT_EQ(d.points, 8);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, DEFAULT_CHARSET);
  EXPECT_EQ(d.face, "MS Shell Dlg");
}

TEST(ResourcesDialogTemplate, MainWindowMatchesItsTable) {
  const ResourceBytes res = FindOwnResource(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN));
  ASSERT_NE(res.data, nullptr);
  const DialogTemplate d = ParseDialogEx(res);
  ExpectShellFont(d);
  EXPECT_EQ(d.style, 0x90CA00C8u) << std::hex << d.style;
  EXPECT_EQ(d.style, static_cast<uint32_t>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                           WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT |
                                           DS_FIXEDSYS));
  EXPECT_EQ(d.exStyle, static_cast<uint32_t>(WS_EX_APPWINDOW));
  EXPECT_EQ(std::make_tuple(d.x, d.y, d.cx, d.cy), std::make_tuple(0, 0, 273, 362));
  EXPECT_EQ(d.title, "Kestrin");
  ExpectItems(d, kMainItems);

  // The window's own rules, independent of the per-row table.
  for (const ItemTemplate& item : d.items) {
    SCOPED_TRACE("id " + std::to_string(item.id));
    const bool icon = item.cls == "Static" && (item.style & SS_TYPEMASK) == SS_ICON;
    if (item.cls == "Button" || icon) {
      EXPECT_EQ(item.style & WS_GROUP, 0u);
    } else {
      EXPECT_NE(item.style & WS_GROUP, 0u);
    }
    if (icon) {
      EXPECT_EQ(item.style & WS_TABSTOP, 0u);
    }
    EXPECT_EQ(item.text.find('&'), std::string::npos);  // no mnemonics anywhere
  }
}

TEST(ResourcesDialogTemplate, AboutBoxMatchesItsTable) {
  const ResourceBytes res = FindOwnResource(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUT));
  ASSERT_NE(res.data, nullptr);
  const DialogTemplate d = ParseDialogEx(res);
  ExpectShellFont(d);
  EXPECT_EQ(d.style, static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                           DS_SETFONT | DS_FIXEDSYS))
      << std::hex << d.style;
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(std::make_tuple(d.x, d.y, d.cx, d.cy), std::make_tuple(0, 0, 235, 70));
  EXPECT_EQ(d.title, "About Kestrin");
  ExpectItems(d, kAboutItems);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class WindowOwner {
 public:
  explicit WindowOwner(HWND hwnd) : hwnd_(hwnd) {}
  ~WindowOwner() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  WindowOwner(const WindowOwner&) = delete;
  WindowOwner& operator=(const WindowOwner&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

std::string WindowText(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, static_cast<int>(sizeof text));
  return text;
}

// Loads the template as the window system does and checks what it made of each control.
template <size_t N>
void CreateAndCheck(int dialogId, const char* title, const ExpectedItem (&expected)[N]) {
  const WindowOwner dialog(CreateDialogParamA(GetModuleHandleA(nullptr),
                                             MAKEINTRESOURCEA(dialogId), nullptr,
                                             PlainDialogProc, 0));
  ASSERT_NE(dialog.get(), nullptr) << "CreateDialogParamA failed, error " << GetLastError();
  EXPECT_EQ(WindowText(dialog.get()), title);

  // Children come in template order, so walking them gives the template order back.
  size_t index = 0;
  for (HWND child = GetWindow(dialog.get(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT), ++index) {
    ASSERT_LT(index, N);
    const ExpectedItem& want = expected[index];
    SCOPED_TRACE("control " + std::to_string(want.id));
    EXPECT_EQ(GetDlgCtrlID(child), want.id);
    char cls[64] = {};
    GetClassNameA(child, cls, static_cast<int>(sizeof cls));
    EXPECT_EQ(lstrcmpiA(cls, want.cls), 0) << cls;
    // The About box itself is not visible yet, so its children's own bits are compared.
    constexpr uint32_t kStates = WS_VISIBLE | WS_DISABLED | WS_TABSTOP | WS_GROUP;
    const auto style = static_cast<uint32_t>(GetWindowLongPtrA(child, GWL_STYLE));
    EXPECT_EQ(style & kStates, want.style & kStates) << std::hex << "got 0x" << style;
    if (want.text[0] == '#') {
      EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "icon 128 not loaded";
    } else {
      EXPECT_EQ(WindowText(child), want.text);
    }
  }
  EXPECT_EQ(index, N);
}

TEST(ResourcesDialogCreate, MainWindowLoadsWithEveryControl) {
  CreateAndCheck(IDD_MAIN, "Kestrin", kMainItems);
}

TEST(ResourcesDialogCreate, AboutBoxLoadsWithEveryControl) {
  CreateAndCheck(IDD_ABOUT, "About Kestrin", kAboutItems);
}

TEST(ResourcesIcon, GroupHoldsA32And16PixelImageAt24Bits) {
  const ResourceBytes group = FindOwnResource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP));
  ASSERT_NE(group.data, nullptr);
  Reader r(group.data, group.size);
  EXPECT_EQ(r.Word(), 0);  // reserved
  EXPECT_EQ(r.Word(), 1);  // icons, not cursors
  const uint16_t count = r.Word();
  ASSERT_EQ(count, 2);
  std::set<std::tuple<int, int, int>> images;
  for (uint16_t i = 0; i < count; ++i) {
    const int width = r.Byte(), height = r.Byte();
    r.Word();  // colour count, reserved
    r.Word();  // planes
    const int bits = r.Word();
    const uint32_t bytes = r.Dword();
    const uint16_t imageId = r.Word();
    ASSERT_FALSE(r.failed());
    images.emplace(width, height, bits);

    SCOPED_TRACE("image " + std::to_string(width));
    const ResourceBytes image = FindOwnResource(RT_ICON, MAKEINTRESOURCEA(imageId));
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.size, bytes);
    BITMAPINFOHEADER header;
    ASSERT_GE(image.size, sizeof header);
    std::memcpy(&header, image.data, sizeof header);
    EXPECT_EQ(header.biSize, sizeof header);
    EXPECT_EQ(std::make_tuple(header.biWidth, header.biHeight, header.biBitCount),
              std::make_tuple(LONG{width}, LONG{2 * height}, WORD{24}));
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    const size_t colour = size_t(width) * 3 * height;          // rows of 96 or 48 bytes
    const size_t mask = size_t((width + 31) / 32) * 4 * height;  // 1-bit rows, DWORD padded
    EXPECT_EQ(image.size, sizeof header + colour + mask);

    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, width,
                   height, LR_DEFAULTCOLOR));
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) DestroyIcon(icon);
  }
  EXPECT_EQ(images, (std::set<std::tuple<int, int, int>>{{32, 32, 24}, {16, 16, 24}}));
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ResourcesManifest, NamesThisBuildsArchitectureAndCommonControls6) {
  const ResourceBytes res = FindOwnResource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
  ASSERT_NE(res.data, nullptr);
  const std::string manifest(reinterpret_cast<const char*>(res.data), res.size);
#ifdef _WIN64
  const char* own = "processorArchitecture=\"amd64\"";
#else
  const char* own = "processorArchitecture=\"X86\"";
#endif
  EXPECT_EQ(Occurrences(manifest, own), 2u) << manifest;
  EXPECT_EQ(Occurrences(manifest, "processorArchitecture="), 2u);
  for (const char* part :
       {"version=\"1.0.0.0\"", "name=\"Microsoft.Windows.Kestrin\"", "type=\"win32\"",
        "<description>Save and retrieve display resolution</description>",
        "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// The import of comctl32 is resolved through the manifest's activation context. A
// manifest naming the wrong architecture would not get this far: the process does not
// start (on Windows, and under Wine too).
HMODULE LoadedCommonControls() {
  InitCommonControls();
  return GetModuleHandleA("comctl32.dll");
}

TEST(ResourcesManifest, ProcessRunsWithTheCommonControls6Assembly) {
  HMODULE comctl = LoadedCommonControls();
  ASSERT_NE(comctl, nullptr);
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(comctl, path, static_cast<DWORD>(sizeof path)), 0u);
  CharLowerA(path);
  EXPECT_NE(std::strstr(path, "microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr)
      << path;
}

TEST(ResourcesManifest, CommonControlsReportVersion6) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine gap: Wine's comctl32 reports 5.81 even when loaded as the 6.0 assembly";
  }
  HMODULE comctl = LoadedCommonControls();
  ASSERT_NE(comctl, nullptr);
  auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
      reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
  ASSERT_NE(getVersion, nullptr);
  DLLVERSIONINFO info{};
  info.cbSize = sizeof info;
  ASSERT_EQ(getVersion(&info), S_OK);
  EXPECT_EQ(info.dwMajorVersion, 6u);
}

std::string VersionString(const std::vector<char>& block, const std::string& path) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || value == nullptr) {
    return "<missing>";
  }
  return std::string(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), length));
}

TEST(ResourcesVersion, Says1_11) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof path)), 0u);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(std::make_tuple(fixed->dwFileVersionMS, fixed->dwFileVersionLS),
            std::make_tuple(DWORD{MAKELONG(11, 1)}, DWORD{0}));
  EXPECT_EQ(std::make_tuple(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
            std::make_tuple(DWORD{MAKELONG(11, 1)}, DWORD{0}));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 4u);
  const auto* translation = static_cast<const WORD*>(value);
  char table[32];
  wsprintfA(table, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  EXPECT_EQ(VersionString(block, std::string(table) + "ProductVersion"), "1.11");
  EXPECT_EQ(VersionString(block, std::string(table) + "FileDescription"), "Kestrin");
  EXPECT_EQ(VersionString(block, std::string(table) + "ProductName"), "Kestrin");
  EXPECT_EQ(VersionString(block, std::string(table) + "OriginalFilename"), "Kestrin.exe");
  EXPECT_EQ(VersionString(block, std::string(table) + "LegalCopyright"), KESTRIN_COPYRIGHT);
}

}  // namespace
}  // namespace kestrin
