// The About box run modally and driven from a second thread; the link label on a window
// of the test's own, read back through its pixels and messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "about_box_win.h"
#include "link_label_win.h"
#include "resource_ids.h"

using namespace kestrin;

namespace {

std::string TextOf(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}
HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}
LONG WeightOf(HFONT font) {
  LOGFONTA description{};
  return GetObjectA(font, sizeof description, &description) ? description.lfWeight : -1;
}
bool Alive(HGDIOBJ object) {
  LOGFONTA buffer{};  // room for a pen's description too
  return GetObjectA(object, sizeof buffer, &buffer) != 0;
}
void Sleep10() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

// The link's shell calls, recorded instead of starting a browser.
std::vector<SHELLEXECUTEINFOA> shellCalls;
std::string shellFile;
BOOL WINAPI RecordShellCall(SHELLEXECUTEINFOA* info) {
  shellCalls.push_back(*info);
  shellFile = info->lpFile ? info->lpFile : "";
  return TRUE;
}

// Runs on the second thread while the test thread sits in the box's modal loop, so its
// assertions never run alongside GoogleTest on the test thread. Always closes the box.
void DriveAboutBox(DWORD testThread, HWND owner, UINT closeMessage, WPARAM closeParam,
                   HFONT* boldFont) {
  HWND box = nullptr;
  for (int i = 0; i < 1000 && !box; ++i, Sleep10()) {
    HWND found = FindWindowA("#32770", "About Kestrin");
    DWORD process = 0;
    GetWindowThreadProcessId(found, &process);
    if (process == GetCurrentProcessId()) box = found;
  }
  if (!box) {
    ADD_FAILURE() << "no window titled \"About Kestrin\" appeared";
    return;
  }
  for (int i = 0; i < 500 && !IsWindowVisible(box); ++i) Sleep10();
  EXPECT_TRUE(IsWindowVisible(box));
  EXPECT_EQ(owner, GetWindow(box, GW_OWNER));
  EXPECT_EQ("Kestrin Version 1.11", TextOf(GetDlgItem(box, IDC_ABOUT_VERSION)));
  EXPECT_EQ(
      "The program provides possibility to save and restore screen resolution, gamma "
      "and desktop icons position.",
      TextOf(GetDlgItem(box, IDC_ABOUT_DESCRIPTION)));
  EXPECT_EQ(KESTRIN_COPYRIGHT, TextOf(GetDlgItem(box, IDC_ABOUT_COPYRIGHT)));
  HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
  EXPECT_EQ(KESTRIN_WEB_ADDRESS, TextOf(link));
  *boldFont = FontOf(GetDlgItem(box, IDC_ABOUT_VERSION));
  EXPECT_NE(FontOf(box), *boldFont);
  EXPECT_EQ(700, WeightOf(*boldFont));
  EXPECT_NE(700, WeightOf(FontOf(box)));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&LinkLabelWndProc), GetWindowLongPtrA(link, GWLP_WNDPROC));
  EXPECT_TRUE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY);

  // A press opens the address; the release, other mouse messages and other controls do not.
  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
  EXPECT_EQ(1, AboutBox::OnAboutLinkMessage(GetDlgItem(box, IDOK), WM_LBUTTONDOWN, 0, 0, 0));
  EXPECT_EQ(1u, shellCalls.size());

  if (closeMessage == BM_CLICK)
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  else
    PostMessageA(box, closeMessage, closeParam, 0);
  for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep10();
  EXPECT_FALSE(IsWindow(box)) << "message " << closeMessage << " did not close the box";
  if (IsWindow(box)) PostThreadMessageA(testThread, WM_QUIT, 0, 0);  // ends the modal loop
}

TEST(AboutBox, ShowsItsTextsOpensTheLinkAndClosesByOkEscapeOrCloseBox) {
  const struct {
    UINT message;
    WPARAM param;
    INT_PTR result;
  } closers[] = {
      {BM_CLICK, 0, IDOK}, {WM_KEYDOWN, VK_ESCAPE, IDCANCEL}, {WM_SYSCOMMAND, SC_CLOSE, IDCANCEL}};
  const std::unique_ptr<HWND__, decltype(&DestroyWindow)> ownerWindow(
      CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                      nullptr, nullptr),
      &DestroyWindow);
  HWND owner = ownerWindow.get();
  struct ShellSeam {
    ShellExecuteExFunction previous = SetAboutShellExecute(RecordShellCall);
    ~ShellSeam() { SetAboutShellExecute(previous); }
  } seam;
  for (const auto& closer : closers) {
    shellCalls.clear();
    HFONT boldFont = nullptr;
    {
      AboutBox about(owner);
      std::thread driver(DriveAboutBox, GetCurrentThreadId(), owner, closer.message, closer.param,
                         &boldFont);
      EXPECT_EQ(closer.result, about.RunModal());
      driver.join();
      MSG quit;
      EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "box left open";
      EXPECT_TRUE(Alive(boldFont)) << "the bold font lives as long as the box object";
    }
    EXPECT_FALSE(Alive(boldFont)) << "and goes with it";
    EXPECT_TRUE(IsWindowEnabled(owner));
    ASSERT_EQ(1u, shellCalls.size());
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), shellCalls[0].cbSize);
    EXPECT_EQ(0u, shellCalls[0].fMask);
    EXPECT_EQ(nullptr, shellCalls[0].hwnd);
    EXPECT_EQ(nullptr, shellCalls[0].lpVerb);
    EXPECT_EQ(KESTRIN_WEB_ADDRESS, shellFile);
    EXPECT_EQ(nullptr, shellCalls[0].lpParameters);
    EXPECT_EQ(nullptr, shellCalls[0].lpDirectory);
    EXPECT_EQ(SW_SHOWNORMAL, shellCalls[0].nShow);
  }
}

// ---------------------------------------------------------------- link label

constexpr COLORREF kBlue = RGB(0, 0, 250);
constexpr int kWidth = 200, kHeight = 64;  // wrapped lines stay well above the bottom row

std::vector<UINT> callbackMessages;
std::vector<int> callbackData;
int RecordCallback(HWND, UINT message, WPARAM, LPARAM, int data) {
  callbackMessages.push_back(message);
  callbackData.push_back(data);
  return 0;
}
bool CallbackSaw(UINT message) {
  for (UINT seen : callbackMessages)
    if (seen == message) return true;
  return false;
}

// A visible white window whose static controls use a font of its own, deleted last.
class LabelHost {
 public:
  LabelHost() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "KestrinLabelHost";
    RegisterClassA(&windowClass);  // fails harmlessly the second time
    hwnd = CreateWindowExA(WS_EX_TOPMOST, "KestrinLabelHost", "", WS_POPUP | WS_VISIBLE, 20, 20,
                           kWidth + 20, 7 * kHeight, nullptr, nullptr, nullptr, nullptr);
    font = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                       0, "Tahoma");
  }
  ~LabelHost() {
    DestroyWindow(hwnd);
    DeleteObject(font);
  }
  LabelHost(const LabelHost&) = delete;
  LabelHost& operator=(const LabelHost&) = delete;
  HWND Add(int id, DWORD style, const char* text, bool withFont = true) {
    HWND label =
        CreateWindowExA(0, "Static", text, WS_CHILD | WS_VISIBLE | style, 10, id * kHeight, kWidth,
                        kHeight - 4, hwnd, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
    if (withFont) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return label;
  }
  int Width(const char* text) const {
    HDC dc = GetDC(hwnd);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPointA(dc, text, lstrlenA(text), &size);
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    return size.cx;
  }
  HWND hwnd;
  HFONT font;
};

// The first and last column of the label's bottom row in the link colour (-1, -1: none);
// the last is -2 when the run has a hole.
std::pair<int, int> Underline(HWND label) {
  RECT client{};
  GetClientRect(label, &client);
  HDC dc = GetDC(label);
  int first = -1, last = -1, count = 0;
  for (int x = 0; x < client.right; ++x) {
    if (GetPixel(dc, x, client.bottom - 1) != kBlue) continue;
    if (first < 0) first = x;
    last = x;
    ++count;
  }
  ReleaseDC(label, dc);
  if (first < 0) return {-1, -1};
  return {first, count == last - first + 1 ? last : -2};
}

TEST(LinkLabel, UnderlineOnTheBottomRowWhereTheAlignmentPutsIt) {
  LabelHost host;
  const char* text = "Kestrin link";
  const char* wide = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  const int w = host.Width(text);
  ASSERT_TRUE(w > 10 && w < kWidth / 2 && host.Width(wide) > kWidth);
  const DWORD styles[] = {SS_LEFT, SS_CENTER, SS_RIGHT, SS_RIGHT, SS_LEFT};
  for (int id = 1; id <= 5; ++id) {
    host.Add(id, styles[id - 1], id == 4 ? wide : text);
    ASSERT_EQ(1, AttachLinkLabel(host.hwnd, id, nullptr, kBlue, nullptr, id != 5, nullptr, 0));
  }
  RedrawWindow(host.hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // LineTo leaves out its end point.
  const int centre = kWidth / 2 - w / 2;
  EXPECT_EQ(std::make_pair(0, w - 1), Underline(GetDlgItem(host.hwnd, 1)));
  EXPECT_EQ(std::make_pair(centre, centre + w - 1), Underline(GetDlgItem(host.hwnd, 2)));
  EXPECT_EQ(std::make_pair(kWidth - w, kWidth - 1), Underline(GetDlgItem(host.hwnd, 3)));
  EXPECT_EQ(std::make_pair(1, kWidth - 1), Underline(GetDlgItem(host.hwnd, 4))) << "right - 1 to 0";
  EXPECT_EQ(std::make_pair(-1, -1), Underline(GetDlgItem(host.hwnd, 5)))
      << "no underline asked for";
}

TEST(LinkLabel, TextCursorAndCallback) {
  LabelHost host;
  HWND label = host.Add(1, SS_LEFT, "first");
  HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
  HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  ASSERT_TRUE(hand && hand != arrow);
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 1, RecordCallback, kBlue, nullptr, 1, hand, 77));
  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 1, RecordCallback, kBlue, nullptr, 1, hand, 77))
      << "a second attach would forward to itself";
  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 99, nullptr, kBlue, nullptr, 1, hand, 0));
  UpdateWindow(host.hwnd);
  callbackMessages.clear();
  callbackData.clear();

  // Other messages reach the callback with its data, then the control.
  EXPECT_EQ(5, SendMessageA(label, WM_GETTEXTLENGTH, 0, 0));
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ((std::vector<UINT>{WM_GETTEXTLENGTH, WM_LBUTTONDOWN}), callbackMessages);
  EXPECT_EQ((std::vector<int>{77, 77}), callbackData);

  // The cursor message is the label's own.
  SetCursor(arrow);
  EXPECT_EQ(0, SendMessageA(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), HTCLIENT));
  EXPECT_EQ(hand, GetCursor());
  HWND bare = host.Add(2, SS_LEFT, "no cursor");
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 2, RecordCallback, kBlue, nullptr, 1, nullptr, 0));
  SetCursor(arrow);
  EXPECT_EQ(0, SendMessageA(bare, WM_SETCURSOR, reinterpret_cast<WPARAM>(bare), HTCLIENT));
  EXPECT_EQ(arrow, GetCursor());
  EXPECT_FALSE(CallbackSaw(WM_SETCURSOR));

  // A new text invalidates and erases the whole control, then paints its own underline.
  RECT client{}, update{};
  GetClientRect(label, &client);
  ASSERT_FALSE(GetUpdateRect(label, &update, FALSE));
  SetWindowTextA(label, "second, longer");
  ASSERT_TRUE(GetUpdateRect(label, &update, FALSE));
  EXPECT_TRUE(EqualRect(&client, &update));
  UpdateWindow(label);
  EXPECT_TRUE(CallbackSaw(WM_ERASEBKGND));
  EXPECT_FALSE(CallbackSaw(WM_PAINT));
  EXPECT_EQ(std::make_pair(0, host.Width("second, longer") - 1), Underline(label));
}

TEST(LinkLabel, DetachesOnDestroyDeletingOnlyWhatItMade) {
  LabelHost host;
  HWND own = host.Add(1, SS_LEFT, "own font");
  HWND described = host.Add(2, SS_LEFT, "described font");
  HWND fontless = host.Add(3, SS_LEFT, "no font", false);
  const LONG_PTR staticProc = GetWindowLongPtrA(own, GWLP_WNDPROC);

  EXPECT_EQ(0, AttachLinkLabel(host.hwnd, 3, nullptr, kBlue, nullptr, 1, nullptr, 0));
  EXPECT_EQ(staticProc, GetWindowLongPtrA(fontless, GWLP_WNDPROC)) << "left unchanged";
  EXPECT_FALSE(GetWindowLongPtrA(fontless, GWL_STYLE) & SS_NOTIFY);

  LOGFONTA description{};
  ASSERT_TRUE(GetObjectA(host.font, sizeof description, &description));
  description.lfItalic = TRUE;
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 1, nullptr, kBlue, nullptr, 1, nullptr, 0));
  ASSERT_EQ(1, AttachLinkLabel(host.hwnd, 2, nullptr, kBlue, &description, 1, nullptr, 0));
  const auto* ownState = reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(own, GWLP_USERDATA));
  const auto* madeState =
      reinterpret_cast<LinkLabelState*>(GetWindowLongPtrA(described, GWLP_USERDATA));
  ASSERT_TRUE(ownState && madeState);
  EXPECT_EQ(host.font, ownState->font);
  EXPECT_EQ(staticProc, reinterpret_cast<LONG_PTR>(ownState->previousWndProc));
  const HFONT madeFont = madeState->font;
  const HPEN ownPen = ownState->pen, madePen = madeState->pen;
  ASSERT_TRUE(madeFont != host.font && Alive(madeFont) && Alive(ownPen));

  // WM_DESTROY alone, with the window kept, shows the procedure put back.
  SendMessageA(own, WM_DESTROY, 0, 0);
  EXPECT_EQ(staticProc, GetWindowLongPtrA(own, GWLP_WNDPROC));
  EXPECT_FALSE(Alive(ownPen));
  EXPECT_TRUE(Alive(host.font)) << "the control's own font is untouched";
  DestroyWindow(described);
  EXPECT_FALSE(Alive(madeFont)) << "the font it made goes with it";
  EXPECT_FALSE(Alive(madePen));
  EXPECT_TRUE(Alive(host.font));
}

}  // namespace
