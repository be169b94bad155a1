// The About box run modally and driven from inside its own loop; the link label on a window
// of the test's own, read back through its pixels and messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "about_box_win.h"
#include "link_label_win.h"
#include "resource_ids.h"

using namespace kestrin;

namespace {

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}
// False once a font or pen has been deleted; fills in a font's description.
bool Alive(HGDIOBJ object, LOGFONTA* description = nullptr) {
  LOGFONTA buffer{};  // room for a pen's description too
  return GetObjectA(object, sizeof buffer, description ? description : &buffer) != 0;
}

constexpr COLORREF kBlue = RGB(0, 0, 250);
constexpr int kWidth = 200, kHeight = 64;  // wrapped lines stay well above the bottom row

// A topmost window (the About box's owner, the link labels' parent) whose static controls
// use a font of its own, deleted after them.
struct LabelHost {
  std::unique_ptr<HFONT__, decltype(&DeleteObject)> font{
      CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0,
                  "Tahoma"),
      &DeleteObject};
  std::unique_ptr<HWND__, decltype(&DestroyWindow)> window{
      CreateWindowExA(WS_EX_TOPMOST, "#32770", "", WS_POPUP | WS_VISIBLE, 20, 20, kWidth + 20,
                      7 * kHeight, nullptr, nullptr, nullptr, nullptr),
      &DestroyWindow};
  HWND hwnd = window.get();

  HWND Add(int id, DWORD style, const char* text, bool withFont = true) {
    HWND label =
        CreateWindowExA(0, "Static", text, WS_CHILD | WS_VISIBLE | style, 10, id * kHeight, kWidth,
                        kHeight - 4, hwnd, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
    if (withFont) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    return label;
  }
  int Width(const char* text) const {
    HDC dc = GetDC(hwnd);
    HGDIOBJ previous = SelectObject(dc, font.get());
    SIZE size{};
    GetTextExtentPointA(dc, text, lstrlenA(text), &size);
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    return size.cx;
  }
};

// The link's shell calls with their files, recorded instead of starting a browser.
std::vector<std::pair<SHELLEXECUTEINFOA, std::string>> shellCalls;
BOOL WINAPI RecordShellCall(SHELLEXECUTEINFOA* info) {
  shellCalls.emplace_back(*info, info->lpFile ? info->lpFile : "");
  return TRUE;
}

// The box under test, its owner, how the timer below closes it, and what it saw.
struct {
  AboutBox* about;
  HWND owner;
  UINT closeMessage;
  WPARAM closeParam;
  HFONT boldFont;
  int ticks;
} drive;

// A thread timer, so it runs inside the box's own modal loop: the first tick checks the box
// and closes it the way under test; a tick seconds later that finds it open ends the loop.
void CALLBACK DriveAboutBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = drive.about->hwnd();
  if (drive.ticks++ > 0) {
    EXPECT_FALSE(drive.ticks == 100 && box) << "message " << drive.closeMessage << " left it open";
    if (drive.ticks == 100 && box) PostQuitMessage(0);
    return;
  }
  EXPECT_TRUE(IsWindowVisible(box));
  EXPECT_EQ(drive.owner, GetWindow(box, GW_OWNER));
  const std::pair<int, const char*> texts[] = {
      {0, "About Kestrin"}, {IDC_ABOUT_VERSION, "Kestrin Version 1.11"},
      {IDC_ABOUT_DESCRIPTION, "The program provides possibility to save and restore screen "
                              "resolution, gamma and desktop icons position."},
      {IDC_ABOUT_COPYRIGHT, KESTRIN_COPYRIGHT}, {IDC_ABOUT_LINK, KESTRIN_README_NAME}};
  for (const auto& [id, expected] : texts) {
    char text[256] = {};
    GetWindowTextA(id ? GetDlgItem(box, id) : box, text, sizeof text);
    EXPECT_STREQ(expected, text);
  }
  drive.boldFont = FontOf(GetDlgItem(box, IDC_ABOUT_VERSION));
  LOGFONTA bold{};
  EXPECT_TRUE(Alive(drive.boldFont, &bold) && drive.boldFont != FontOf(box));
  EXPECT_EQ(700, bold.lfWeight);
  HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&LinkLabelWndProc), GetWindowLongPtrA(link, GWLP_WNDPROC));
  EXPECT_TRUE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY);

  // A press opens the address; the release, other mouse messages and other controls do not.
  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
  EXPECT_EQ(1, AboutBox::OnAboutLinkMessage(GetDlgItem(box, IDOK), WM_LBUTTONDOWN, 0, 0, 0));
  PostMessageA(drive.closeMessage == BM_CLICK ? GetDlgItem(box, IDOK) : box, drive.closeMessage,
               drive.closeParam, 0);
}

TEST(AboutBox, ShowsItsTextsOpensTheLinkAndClosesByOkEscapeOrCloseBox) {
  const LabelHost owner;
  struct ShellSeam {
    ShellExecuteExFunction previous = SetAboutShellExecute(RecordShellCall);
    ~ShellSeam() { SetAboutShellExecute(previous); }
  } seam;
  // The README the link opens, beside this program as the archives put it beside Kestrin.
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string readme = program;
  readme = readme.substr(0, readme.find_last_of('\\') + 1) + KESTRIN_README_NAME;
  struct Readme {
    std::string path;
    explicit Readme(std::string p) : path(std::move(p)) {
      HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    ~Readme() { DeleteFileA(path.c_str()); }
  } present(readme);
  const std::tuple<UINT, WPARAM, INT_PTR> closers[] = {
      {BM_CLICK, 0, IDOK}, {WM_KEYDOWN, VK_ESCAPE, IDCANCEL}, {WM_SYSCOMMAND, SC_CLOSE, IDCANCEL}};
  for (const auto& [message, param, result] : closers) {
    shellCalls.clear();
    {
      AboutBox about(owner.hwnd);
      drive = {&about, owner.hwnd, message, param, nullptr, 0};
      const UINT_PTR timer = SetTimer(nullptr, 0, 50, DriveAboutBox);
      EXPECT_EQ(result, about.RunModal());
      KillTimer(nullptr, timer);
      MSG quit;
      EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "box left open";
      EXPECT_TRUE(Alive(drive.boldFont)) << "the bold font lives as long as the box object";
    }
    EXPECT_FALSE(Alive(drive.boldFont)) << "and goes with it";
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    ASSERT_EQ(1u, shellCalls.size());
    const auto& [call, file] = shellCalls[0];
    EXPECT_EQ(std::make_tuple(call.cbSize, call.fMask, call.hwnd, call.lpVerb, call.lpParameters,
                              call.lpDirectory, call.nShow, file),
              std::make_tuple(DWORD{sizeof call}, 0ul, HWND{}, LPCSTR{}, LPCSTR{}, LPCSTR{},
                              SW_SHOWNORMAL, readme));
  }
}

// ---------------------------------------------------------------- link label

using CallbackCalls = std::vector<std::pair<UINT, int>>;  // message, data
CallbackCalls callbackCalls;
int RecordCallback(HWND, UINT message, WPARAM, LPARAM, int data) {
  callbackCalls.emplace_back(message, data);
  return 0;
}
bool CallbackSaw(UINT message) {
  return std::count(callbackCalls.begin(), callbackCalls.end(), std::make_pair(message, 77)) > 0;
}

// The first and last column of the label's bottom row in the link colour (-1, -1: none);
// the last is -2 when the run has a hole.
std::pair<int, int> Underline(HWND label) {
  RECT client{};
  GetClientRect(label, &client);
  HDC dc = GetDC(label);
  std::vector<int> blue;
  for (int x = 0; x < client.right; ++x)
    if (GetPixel(dc, x, client.bottom - 1) == kBlue) blue.push_back(x);
  ReleaseDC(label, dc);
  if (blue.empty()) return {-1, -1};
  const bool whole = static_cast<int>(blue.size()) == blue.back() - blue.front() + 1;
  return {blue.front(), whole ? blue.back() : -2};
}

TEST(LinkLabel, UnderlineOnTheBottomRowWhereTheAlignmentPutsIt) {
  LabelHost host;
  const char* text = "Kestrin link";
  const char* wide = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  const int w = host.Width(text), centre = kWidth / 2 - w / 2;
  ASSERT_TRUE(w > 10 && w < kWidth / 2 && host.Width(wide) > kWidth);
  const DWORD styles[] = {SS_LEFT, SS_CENTER, SS_RIGHT, SS_RIGHT, SS_LEFT};
  for (int id = 1; id <= 5; ++id) {
    host.Add(id, styles[id - 1], id == 4 ? wide : text);
    ASSERT_EQ(1, AttachLinkLabel(host.hwnd, id, nullptr, kBlue, nullptr, id != 5, nullptr, 0));
  }
  RedrawWindow(host.hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // LineTo leaves out its end point; the wide right-aligned text runs from right - 1 to 0.
  const std::pair<int, int> expected[] = {
      {0, w - 1}, {centre, centre + w - 1}, {kWidth - w, kWidth - 1}, {1, kWidth - 1}, {-1, -1}};
  for (int id = 1; id <= 5; ++id)
    EXPECT_EQ(expected[id - 1], Underline(GetDlgItem(host.hwnd, id))) << "label " << id;
}

TEST(LinkLabel, CallbackCursorNewTextAndDetachDeletingOnlyWhatItMade) {
  LabelHost host;
  HWND label = host.Add(1, SS_LEFT, "first");
  HWND described = host.Add(2, SS_LEFT, "no cursor, a font of its own");
  host.Add(3, SS_LEFT, "no font", false);
  const LONG_PTR staticProc = GetWindowLongPtrA(label, GWLP_WNDPROC);
  HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
  HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  LOGFONTA italic{};
  ASSERT_TRUE(hand && hand != arrow && Alive(host.font.get(), &italic));
  italic.lfItalic = TRUE;
  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 3, nullptr, kBlue, nullptr, 1, nullptr, 0)) << "no font";
  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 99, nullptr, kBlue, nullptr, 1, hand, 0));
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 1, RecordCallback, kBlue, nullptr, 1, hand, 77));
  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 1, RecordCallback, kBlue, nullptr, 1, hand, 77))
      << "a second attach would forward to itself";
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 2, RecordCallback, kBlue, &italic, 1, nullptr, 0));
  UpdateWindow(host.hwnd);
  callbackCalls.clear();

  // Other messages reach the callback with its data, then the control.
  EXPECT_EQ(5, SendMessageA(label, WM_GETTEXTLENGTH, 0, 0));
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ((CallbackCalls{{WM_GETTEXTLENGTH, 77}, {WM_LBUTTONDOWN, 77}}), callbackCalls);
  // The cursor message is the label's own, and sets no cursor when it has none.
  for (HWND window : {label, described}) {
    SetCursor(arrow);
    EXPECT_EQ(0, SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT));
    EXPECT_EQ(window == label ? hand : arrow, GetCursor());
  }
  EXPECT_EQ(2u, callbackCalls.size()) << "nothing more, no WM_SETCURSOR";

  // A new text invalidates and erases the whole control, then paints its own underline.
  RECT client{}, update{};
  GetClientRect(label, &client);
  ASSERT_FALSE(GetUpdateRect(label, &update, FALSE));
  SetWindowTextA(label, "second, longer");
  ASSERT_TRUE(GetUpdateRect(label, &update, FALSE));
  EXPECT_TRUE(EqualRect(&client, &update));
  UpdateWindow(label);
  EXPECT_TRUE(CallbackSaw(WM_ERASEBKGND) && !CallbackSaw(WM_PAINT));
  EXPECT_EQ(std::make_pair(0, host.Width("second, longer") - 1), Underline(label));

  const auto* own = reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(label, GWLP_USERDATA));
  const auto* made = reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(described, GWLP_USERDATA));
  ASSERT_TRUE(own && made && own->font == host.font.get() && made->font != own->font);
  const HGDIOBJ ownPen = own->pen, madePen = made->pen, madeFont = made->font;
  ASSERT_TRUE(Alive(ownPen) && Alive(madePen) && Alive(madeFont));
  SendMessageA(label, WM_DESTROY, 0, 0);  // alone, keeping the window to show the procedure back
  EXPECT_EQ(staticProc, GetWindowLongPtrA(label, GWLP_WNDPROC));
  EXPECT_FALSE(Alive(ownPen));
  DestroyWindow(described);
  EXPECT_FALSE(Alive(madePen) || Alive(madeFont)) << "the pen and the font it made go with it";
  EXPECT_TRUE(Alive(host.font.get())) << "the control's own font is untouched";
}

}  // namespace
