// The About box: the program's name and version in bold, a copyright line, a description
// and the maker's web address as a link that opens with the shell's default action.
#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include "dialog_win.h"
#include "kestrin_version.h"
#include "resource_ids.h"
#include "win_handle_win.h"

namespace kestrin {

// What the box shows once initialised.
constexpr char kAboutTitle[] = "About Kestrin";
constexpr char kAboutVersionText[] = "Kestrin Version " KESTRIN_VERSION_STRING;
constexpr char kAboutDescription[] =
    "The program provides possibility to save and restore screen resolution, gamma and "
    "desktop icons position.";
// Shared with the About template through the resource ids header, so the two agree.
constexpr char kCopyrightLine[] = KESTRIN_COPYRIGHT;
constexpr char kReadmeName[] = KESTRIN_README_NAME;
constexpr COLORREF kAboutLinkColour = 0x00FA0000;  // blue 250

class AboutBox : public Dialog {
 public:
  explicit AboutBox(HWND owner);

  // The link label's callback: a left-button press on the address opens it; every
  // other message or control is ignored. Always 1.
  static int OnAboutLinkMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int data);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id) override;

 private:
  // A click on each control, named after its id (IDOK: OnOk).
  void OnOk();
  void OnCancel();

  static const CommandEntry<AboutBox> kCommands[2];
  // Made at each initialisation; must outlive the window that draws with it.
  UniqueFont boldFont_;
};

}  // namespace kestrin
