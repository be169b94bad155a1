// Display modes for real on the test display (1280 x 1024 at start; 1024 x 768 and
// 800 x 600 also available), against a dialog carrying the main window's control ids.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resource_ids.h"
#include "display_mode.h"
#include "display_mode_win.h"
#include "engine_test_support_win.h"

using namespace kestrin;

namespace {

DEVMODEA ReadMode(DWORD which) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, which, &mode)) ADD_FAILURE() << "cannot read mode " << which;
  return mode;
}

// Everything an apply sets, in one comparable text.
std::string Describe(const DEVMODEA& m) {
  return std::to_string(m.dmPelsWidth) + "x" + std::to_string(m.dmPelsHeight) + " " +
         std::to_string(m.dmBitsPerPel) + "bpp " + std::to_string(m.dmDisplayFrequency) + "Hz at " +
         std::to_string(m.dmPosition.x) + "," + std::to_string(m.dmPosition.y) + " flags " +
         std::to_string(m.dmDisplayFlags);
}

std::string Current() { return Describe(ReadMode(ENUM_CURRENT_SETTINGS)); }
std::string Registry() { return Describe(ReadMode(ENUM_REGISTRY_SETTINGS)); }

DEVMODEA CurrentWithSize(DWORD width, DWORD height) {
  DEVMODEA mode;
  EXPECT_TRUE(ReadCurrentDisplayMode(&mode));
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  return mode;
}

// Puts the screen and the registry's mode back as the test found them, whatever it did,
// and checks that both really are back.
class DisplayModeGuard {
 public:
  DisplayModeGuard()
      : current_(ReadMode(ENUM_CURRENT_SETTINGS)), registry_(ReadMode(ENUM_REGISTRY_SETTINGS)) {}
  ~DisplayModeGuard() {
    current_.dmFields = registry_.dmFields = MODE_APPLY_FIELDS;
    // The registry first without touching the screen, then the screen alone.
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL,
              ChangeDisplaySettingsA(&registry_, CDS_UPDATEREGISTRY | CDS_NORESET));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsA(&current_, 0));
    EXPECT_EQ(Describe(current_), Current()) << "screen mode not restored";
    EXPECT_EQ(Describe(registry_), Registry()) << "registry mode not restored";
  }
  DisplayModeGuard(const DisplayModeGuard&) = delete;
  DisplayModeGuard& operator=(const DisplayModeGuard&) = delete;

  std::string registry() const { return Describe(registry_); }

 private:
  DEVMODEA current_;
  DEVMODEA registry_;
};

// The dialog with the apply controls set: temporary, or saved for this user or for all.
void SetApplyControls(EngineTestDialog& dialog, bool temporarily, bool allUsers) {
  dialog.SetChecked(IDC_APPLY_TEMPORARILY, temporarily);
  dialog.SetChecked(IDC_APPLY_AND_SAVE, !temporarily);
  dialog.SetChecked(IDC_ALL_USERS, allUsers);
}

void ExpectPanel(const EngineTestDialog& dialog, const std::string& size) {
  const DEVMODEA now = ReadMode(ENUM_CURRENT_SETTINGS);
  EXPECT_EQ(size, dialog.Text(IDC_CURRENT_SIZE));
  EXPECT_EQ(std::to_string(now.dmBitsPerPel), dialog.Text(IDC_CURRENT_BITS));
  EXPECT_EQ(std::to_string(now.dmDisplayFrequency), dialog.Text(IDC_CURRENT_FREQUENCY));
}

constexpr char kStart[] = "1280x1024";

bool StartsAt(const std::string& mode, const char* size) { return mode.rfind(size, 0) == 0; }

}  // namespace

TEST(DisplayMode, TemporaryApplyFollowsThePanelAndLeavesTheRegistry) {
  DisplayModeGuard guard;
  ASSERT_TRUE(StartsAt(Current(), kStart)) << "the test display starts at 1280 x 1024";
  EngineTestDialog dialog;
  MessageBoxWatcher watcher;
  // All users is ignored when the apply is temporary: a flag of 9 would write the registry.
  SetApplyControls(dialog, true, true);

  StartupState state;
  std::memset(&state.startupMode, 0xCD, sizeof state.startupMode);
  CaptureStartupDisplayMode(&state);
  ASSERT_EQ(1, state.startupModeValid);
  EXPECT_EQ(156, state.startupMode.dmSize);
  EXPECT_EQ(0, state.startupMode.dmDriverExtra);
  EXPECT_EQ(Current(), Describe(state.startupMode));

  EXPECT_EQ("?", dialog.Text(IDC_CURRENT_SIZE));
  ShowCurrentDisplayMode(dialog.hwnd());
  ExpectPanel(dialog, "1280 x 1024");

  DEVMODEA smaller = state.startupMode;
  smaller.dmPelsWidth = 1024;
  smaller.dmPelsHeight = 768;
  smaller.dmFields = 0;
  ApplyDisplayMode(dialog.hwnd(), &smaller);
  EXPECT_EQ(MODE_APPLY_FIELDS, smaller.dmFields) << "the caller's record keeps the apply fields";
  EXPECT_TRUE(StartsAt(Current(), "1024x768")) << Current();
  ExpectPanel(dialog, "1024 x 768");
  EXPECT_EQ(guard.registry(), Registry()) << "a temporary apply must not touch the registry";

  RestoreDefaultDisplayMode(dialog.hwnd());
  EXPECT_EQ(guard.registry(), Current());
  ExpectPanel(dialog, "1280 x 1024");
  EXPECT_TRUE(watcher.Take().empty());
}

TEST(DisplayMode, SavedApplyWritesTheRegistryForThisUserOrForAll) {
  DisplayModeGuard guard;
  EngineTestDialog dialog;
  MessageBoxWatcher watcher;

  SetApplyControls(dialog, false, false);  // flags 1
  DEVMODEA mode = CurrentWithSize(1024, 768);
  ApplyDisplayMode(dialog.hwnd(), &mode);
  EXPECT_TRUE(StartsAt(Current(), "1024x768")) << Current();
  EXPECT_EQ(Current(), Registry());
  ExpectPanel(dialog, "1024 x 768");

  // Flags 9. Wine keeps one machine-wide registry mode and treats CDS_GLOBAL like
  // CDS_UPDATEREGISTRY alone (Wine gap): only the registry write can be seen here.
  SetApplyControls(dialog, false, true);
  mode = CurrentWithSize(800, 600);
  ApplyDisplayMode(dialog.hwnd(), &mode);
  EXPECT_TRUE(StartsAt(Current(), "800x600")) << Current();
  EXPECT_EQ(Current(), Registry());
  ExpectPanel(dialog, "800 x 600");

  // The system default is now the saved mode, not the one the test started with.
  dialog.SetText(IDC_CURRENT_SIZE, "stale");
  RestoreDefaultDisplayMode(dialog.hwnd());
  EXPECT_TRUE(StartsAt(Current(), "800x600")) << Current();
  ExpectPanel(dialog, "800 x 600");
  EXPECT_TRUE(watcher.Take().empty());
}

TEST(DisplayMode, UndoAppliesTheStartupModeWithTheControlsOfTheMoment) {
  DisplayModeGuard guard;
  EngineTestDialog dialog;
  MessageBoxWatcher watcher;
  StartupState state;
  CaptureStartupDisplayMode(&state);
  ASSERT_EQ(1, state.startupModeValid);
  const std::string start = Describe(state.startupMode);

  SetApplyControls(dialog, false, false);
  DEVMODEA mode = CurrentWithSize(800, 600);
  ApplyDisplayMode(dialog.hwnd(), &mode);
  ASSERT_TRUE(StartsAt(Registry(), "800x600")) << Registry();

  SetApplyControls(dialog, true, false);
  UndoDisplayMode(dialog.hwnd(), &state);
  EXPECT_EQ(start, Current());
  EXPECT_TRUE(StartsAt(Registry(), "800x600")) << "temporary undo kept the saved mode";
  ExpectPanel(dialog, "1280 x 1024");
  EXPECT_EQ(MODE_APPLY_FIELDS, state.startupMode.dmFields);

  // A second undo applies the same record again, now saved.
  SetApplyControls(dialog, false, false);
  dialog.SetText(IDC_CURRENT_SIZE, "stale");
  UndoDisplayMode(dialog.hwnd(), &state);
  EXPECT_EQ(start, Current());
  EXPECT_EQ(start, Registry());
  ExpectPanel(dialog, "1280 x 1024");
  EXPECT_TRUE(watcher.Take().empty());
}

TEST(DisplayMode, UndoWithoutStartupRecordDoesNothing) {
  DisplayModeGuard guard;
  EngineTestDialog dialog;
  MessageBoxWatcher watcher;
  SetApplyControls(dialog, true, false);
  const std::string before = Current();

  StartupState state;
  state.startupMode = CurrentWithSize(1024, 768);  // would apply if the flag were ignored
  state.startupMode.dmFields = 0;
  state.startupModeValid = 0;
  UndoDisplayMode(dialog.hwnd(), &state);
  UndoDisplayMode(dialog.hwnd(), nullptr);
  EXPECT_EQ(before, Current());
  EXPECT_EQ(0u, state.startupMode.dmFields) << "the record was not applied";
  EXPECT_EQ("?", dialog.Text(IDC_CURRENT_SIZE));
  EXPECT_TRUE(watcher.Take().empty());
}

TEST(DisplayMode, RefusedRecordShowsInvalidModeAndChangesNothing) {
  DisplayModeGuard guard;
  EngineTestDialog dialog;
  SetApplyControls(dialog, false, true);  // the most lasting choice: any write would show
  for (int id : {IDC_CURRENT_SIZE, IDC_CURRENT_BITS, IDC_CURRENT_FREQUENCY})
    dialog.SetText(id, "stale");
  const std::string current = Current();
  const std::string registry = Registry();

  DEVMODEA unknown = CurrentWithSize(1000, 700);
  // The system would read dmSize + dmDriverExtra bytes, past the end of the record.
  DEVMODEA driverExtra = CurrentWithSize(1024, 768);
  driverExtra.dmDriverExtra = 64;
  DEVMODEA oversized = CurrentWithSize(1024, 768);
  oversized.dmSize = sizeof(DEVMODEA) + 64;
  for (DEVMODEA* record : {&unknown, &driverExtra, &oversized}) {
    SCOPED_TRACE(Describe(*record) + " size " + std::to_string(record->dmSize) + " extra " +
                 std::to_string(record->dmDriverExtra));
    MessageBoxWatcher watcher;
    ApplyDisplayMode(dialog.hwnd(), record);
    const std::vector<ShownMessage> shown = watcher.Take();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("Unable to apply : Invalid graphics mode!", shown[0].text);
    EXPECT_EQ(BoxIcon::kExclamation, shown[0].icon);
    EXPECT_EQ(TestProgramTitle(), shown[0].caption);
    EXPECT_EQ(dialog.hwnd(), shown[0].owner);
    EXPECT_EQ(current, Current());
    EXPECT_EQ(registry, Registry());
    for (int id : {IDC_CURRENT_SIZE, IDC_CURRENT_BITS, IDC_CURRENT_FREQUENCY})
      EXPECT_EQ("stale", dialog.Text(id)) << "panel refreshed after a refusal";
  }
}
