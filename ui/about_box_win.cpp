#include "about_box_win.h"

#include <string>

#include "link_label_win.h"
#include "message_box_win.h"
#include "snapshot_paths_win.h"
#include "utf8_win.h"

namespace kestrin {
namespace {

constexpr int kHandCursor = 32649;  // IDC_HAND

}  // namespace

const CommandEntry<AboutBox> AboutBox::kCommands[2] = {
    {IDOK, &AboutBox::OnOk},
    {IDCANCEL, &AboutBox::OnCancel},
};

AboutBox::AboutBox(HWND owner) : Dialog(IDD_ABOUT, owner) {}

BOOL AboutBox::OnInitDialog() {
  HWND version = GetDlgItem(hwnd(), IDC_ABOUT_VERSION);
  const auto font = reinterpret_cast<HFONT>(SendMessageA(version, WM_GETFONT, 0, 0));
  LOGFONTA description{};
  if (font && GetObjectA(font, sizeof description, &description) != 0) {
    description.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectA(&description));
    if (boldFont_)
      SendMessageA(version, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), TRUE);
  }

  SetWindowTextA(hwnd(), kAboutTitle);
  SetDlgItemTextA(hwnd(), IDC_ABOUT_VERSION, kAboutVersionText);
  SetDlgItemTextA(hwnd(), IDC_ABOUT_COPYRIGHT, kCopyrightLine);
  SetDlgItemTextA(hwnd(), IDC_ABOUT_DESCRIPTION, kAboutDescription);
  SetDlgItemTextA(hwnd(), IDC_ABOUT_LINK, kReadmeName);

  // Without a link the address stays readable as plain text, so the result is not needed.
  AttachLinkLabel(hwnd(), IDC_ABOUT_LINK, &AboutBox::OnAboutLinkMessage, kAboutLinkColour, nullptr,
                  1, LoadCursorA(nullptr, MAKEINTRESOURCEA(kHandCursor)), 0);
  return TRUE;
}

bool AboutBox::OnCommand(int id) { return DispatchCommand(this, kCommands, id); }

void AboutBox::OnOk() { EndDialog(IDOK); }
void AboutBox::OnCancel() { EndDialog(IDCANCEL); }

int AboutBox::OnAboutLinkMessage(HWND window, UINT message, WPARAM, LPARAM, int) {
  if (message == WM_LBUTTONDOWN && GetDlgCtrlID(window) == IDC_ABOUT_LINK) {
    // The README beside the program, in the shell's viewer for it; by its wide path, which
    // the program's folder may need.
    std::string directory;
    const std::wstring path =
        ProgramDirectoryPath(&directory) ? WideText(directory + kReadmeName) : std::wstring();
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ShowMessage(GetParent(window), std::string(kReadmeName) + " is missing beside the program",
                  kBoxExclamation);
      return 1;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);  // the shell tells of its own failures
  }
  return 1;
}

}  // namespace kestrin
