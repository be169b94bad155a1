#include "engine_test_support_win.h"

#include <chrono>

namespace {

constexpr int kTestDialogId = 200;
constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text

INT_PTR CALLBACK TestDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The box's icon static: id 0x14 on Windows, another under Wine, so found by its style.
BOOL CALLBACK FindIconStatic(HWND child, LPARAM param) {
  char className[16] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") == 0 &&
      (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
  }
  return TRUE;
}

BoxIcon IconOf(HWND box) {
  HWND iconControl = nullptr;
  EnumChildWindows(box, FindIconStatic, reinterpret_cast<LPARAM>(&iconControl));
  if (!iconControl) return BoxIcon::kNone;
  const auto icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
  if (!icon) return BoxIcon::kNone;
  // System icons are shared: the box's handle is the one LoadIcon gives here.
  if (icon == LoadIconA(nullptr, IDI_EXCLAMATION)) return BoxIcon::kExclamation;
  if (icon == LoadIconA(nullptr, IDI_HAND)) return BoxIcon::kStop;
  return BoxIcon::kOther;
}

struct FoundBox {
  HWND box = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) == "#32770" && IsWindowVisible(window) &&
      GetDlgItem(window, kMessageTextId)) {
    reinterpret_cast<FoundBox*>(param)->box = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

EngineTestDialog::EngineTestDialog() {
  hwnd_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTestDialogId), nullptr,
                             TestDialogProc, 0);
}

EngineTestDialog::~EngineTestDialog() {
  if (hwnd_) DestroyWindow(hwnd_);
}

std::string EngineTestDialog::Text(int id) const { return WindowText(GetDlgItem(hwnd_, id)); }
void EngineTestDialog::SetText(int id, const std::string& text) {
  SetDlgItemTextA(hwnd_, id, text.c_str());
}
bool EngineTestDialog::IsEnabled(int id) const { return IsWindowEnabled(GetDlgItem(hwnd_, id)); }
bool EngineTestDialog::IsChecked(int id) const {
  return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}
void EngineTestDialog::SetChecked(int id, bool checked) {
  CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

MessageBoxWatcher::MessageBoxWatcher(DWORD threadId)
    : thread_(threadId), watcher_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  watcher_.join();
}

std::vector<ShownMessage> MessageBoxWatcher::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ShownMessage> seen;
  seen.swap(seen_);
  return seen;
}

void MessageBoxWatcher::Run() {
  while (!stop_) {
    FoundBox found;
    EnumThreadWindows(thread_, FindMessageBox, reinterpret_cast<LPARAM>(&found));
    if (found.box) {
      ShownMessage shown;
      shown.caption = WindowText(found.box);
      shown.text = WindowText(GetDlgItem(found.box, kMessageTextId));
      shown.icon = IconOf(found.box);
      shown.owner = GetWindow(found.box, GW_OWNER);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(shown);
      }
      HWND ok = GetDlgItem(found.box, IDOK);
      SendMessageTimeoutA(found.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                          reinterpret_cast<LPARAM>(ok), SMTO_NORMAL, 5000, nullptr);
      // Wait for the box to go before looking again, so it is recorded once.
      for (int i = 0; i < 500 && IsWindow(found.box); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string TestProgramTitle() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path);
  name.erase(0, name.find_last_of("\\/") + 1);
  return name.substr(0, name.rfind('.'));
}
