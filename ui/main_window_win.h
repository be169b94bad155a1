// The program's only window: three big buttons, the fold, and the Icons, Gamma and
// Resolution sections; it owns the agent link and what the screen was at start-up.
#pragma once

#include <windows.h>

#include <vector>

#include "dialog_win.h"
#include "engine_state_win.h"
#include "save_restore_win.h"
#include "win_handle_win.h"

namespace kestrin {

class MainWindow : public Dialog {
 public:
  explicit MainWindow(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  bool PreTranslateMessage(MSG* msg) override;
  bool OnCommand(int id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnDestroy() override;

 private:
  // A click on each control, named after its id (IDC_SAVE_CURRENT: OnSaveCurrent).
  void OnSaveCurrent();
  void OnRestoreSaved();
  void OnUndoAll();
  void OnFold();
  void OnCancel();  // Exit
  void OnAppIcon();
  void OnApplySavedIcons();
  void OnUndoIcons();
  void OnApplySavedGamma();
  void OnUndoGamma();
  void OnApplySavedMode();
  void OnUndoMode();
  void OnRestoreDefaultMode();
  void OnViewCurrent();
  void OnViewSaved();

  void CreateToolTips();
  void SetControlTexts();
  // Through the one restore sequence, as the window's controls choose, its failures in boxes.
  void Restore(const ScreenTarget& target, const RestoreParts& parts, bool settle);
  const DEVMODEA* StartupMode() const;  // null when it could not be read
  bool PaintMinimised();

  static const CommandEntry<MainWindow> kCommands[15];

  HWND toolTips = nullptr;
  RECT fullRect = {};
  RECT foldedRect = {};
  int isUnfolded = 0;
  std::vector<HWND> foldHidden;  // children the fold hid
  UniqueFont headingFont;        // outlives the window that draws with it
  AgentClient agent;
  StartupState startup;
  HICON appIcon = nullptr;
};

}  // namespace kestrin
