// Kestrin.exe end to end: started from its own directory, driven from this process by
// control id on the test display, with a stand-in desktop as the shell. What the program
// did is checked here by our own means: the files it wrote, the display mode and gamma
// ramp the display reports, and the icon positions the stand-in reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "resource_ids.h"
#include "kestrin_driver_win.h"
#include "screen_capture_win.h"
#include "standin_client_win.h"

using namespace kestrin::e2e;

namespace {

// Other processes learn of a mode change through the X server, a moment after the call
// that made it has returned: give the probe a bounded while to see it.
std::string CurrentSizeSettlingAt(const std::string& expected) {
  std::string size = CurrentSize();
  for (int i = 0; i < 30 && size != expected; ++i) {
    Sleep(100);
    size = CurrentSize();
  }
  return size;
}

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr DWORD kModeSettleMs = 2000;
// The pause measured from outside, less what sampling can lose on either side.
constexpr ULONGLONG kPauseAtLeastMs = 1800;
// A command without the pause, under Wine, with room to spare.
constexpr ULONGLONG kNoPauseBelowMs = 1500;

constexpr int kHiddenOk = 1;
constexpr int kCurrentHzLabel = 1027;
constexpr int kSavedHzLabel = 1032;
constexpr int kResolutionFrame = 1021;
constexpr int kFoldMargin = 13;
constexpr int kTemplateHeight = 362;    // dialog units
constexpr int kResolutionFrameHeight = 161;
constexpr char kAgentTitle[] = "Kestrin 1.0 Brixholm";
constexpr char kAboutTitle[] = "About Kestrin";

const std::vector<StandinIcon> kDesktopIcons = {
    {"Recycle Bin", 20, 20}, {"My Documents", 20, 110}, {"Notes \xE9t\xE9.txt", 120, 20}};

std::string Hex(const std::string& bytes) { return standin::HexEncode(bytes); }

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Icons moved by an offset, as a user drags them.
std::vector<StandinIcon> Offset(const std::vector<StandinIcon>& icons, int dx, int dy) {
  std::vector<StandinIcon> moved = icons;
  for (StandinIcon& icon : moved) {
    icon.x += dx;
    icon.y += dy;
  }
  return moved;
}

// The blob the file must hold for these icons: length, count, then per icon x, y and a
// 260-byte zero-padded label.
std::string ExpectedBlob(const std::vector<StandinIcon>& icons) {
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  std::string blob = u32(static_cast<uint32_t>(8 + 268 * icons.size())) + u32(static_cast<uint32_t>(icons.size()));
  for (const StandinIcon& icon : icons) {
    blob += u32(static_cast<uint32_t>(icon.x)) + u32(static_cast<uint32_t>(icon.y));
    std::string label = icon.label;
    label.resize(260, '\0');
    blob += label;
  }
  return blob;
}

constexpr size_t kFixedOutputAt = 56;  // dmDisplayFixedOutput

// The display record as this process reads it, in the 156-byte form the file stores.
std::string ExpectedDisplayRecord() {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  EXPECT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  mode.dmSize = sizeof mode;  // Wine reports 124 here and leaves the rest as it was (zero)
  mode.dmDriverExtra = 0;
  return std::string(reinterpret_cast<const char*>(&mode), sizeof mode);
}

// Wine gap: Wine's EnumDisplaySettingsA does not set dmDisplayFixedOutput; it holds
// whatever lay on the stack, different in every process, so it is left out of the compare.
std::string WithoutFixedOutput(std::string record) {
  if (UnderWine() && record.size() >= kFixedOutputAt + 4) record.replace(kFixedOutputAt, 4, 4, '\0');
  return record;
}

std::string ModeSize(const std::string& record) {
  DEVMODEA mode;
  std::memcpy(&mode, record.data(), sizeof mode);
  return std::to_string(mode.dmPelsWidth) + " x " + std::to_string(mode.dmPelsHeight);
}

// The save time as the panel must show it: the file's last write, in local time.
std::string SaveTimeText(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  SYSTEMTIME utc, local;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      !FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return "(no time)";
  char text[64];
  std::snprintf(text, sizeof text, "%02u/%02u/%u - %02u:%02u:%02u", local.wDay, local.wMonth, local.wYear,
                local.wHour, local.wMinute, local.wSecond);
  return text;
}

// The options file's non-empty lines, in order.
std::vector<std::string> OptionsLines(const std::string& path) {
  std::string bytes;
  std::vector<std::string> lines;
  if (!ReadFileBytes(path, &bytes)) return lines;
  std::string line;
  for (char c : bytes + "\n") {
    if (c == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  return lines;
}

std::vector<std::string> Options(int icons, int resolution, int gamma) {
  return {"[OPTIONS]", "CHECK_ICONS=" + std::to_string(icons), "CHECK_RESOLUTION=" + std::to_string(resolution),
          "CHECK_GAMMA=" + std::to_string(gamma)};
}

std::vector<double> GammaIn(const std::string& file, size_t offset) {
  std::vector<double> triple(3, -1.0);
  if (file.size() >= offset + 24) std::memcpy(triple.data(), file.data() + offset, 24);
  return triple;
}

// When each of gamma, display mode and icons first changed after construction, and when
// the cursor changed and came back. Each round looks at them in the reverse of the order
// they should change in, so a round that sees one change has also seen every change that
// really came before it. The display mode is seen in the Current panel, which the program
// fills right after a change it made (this process's own reading of the mode does not
// follow other processes' changes under Wine, and a fresh process for each look would be
// too slow). The cursor is the foreground thread's, Kestrin's.
struct Timeline {
  int cursorRound = -1, gammaRound = -1, modeRound = -1, iconsRound = -1, cursorBackRound = -1;
  ULONGLONG cursor = 0, gamma = 0, mode = 0, icons = 0;
};

HCURSOR ShownCursor() {
  CURSORINFO info = {};
  info.cbSize = sizeof info;
  return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

class ChangeRecorder {
 public:
  ChangeRecorder(StandinDesktop* desktop, HWND currentPanel) : desktop_(desktop), panel_(currentPanel) {
    ReadScreenRamp(&ramp_);
    mode_ = PanelText();
    cursor_ = ShownCursor();
    long ignored = 0;
    desktop_->MoveCounts(&moves_, &ignored);
    thread_ = std::thread([this] { Run(); });
  }
  ~ChangeRecorder() { Stop(); }
  ChangeRecorder(const ChangeRecorder&) = delete;
  ChangeRecorder& operator=(const ChangeRecorder&) = delete;

  Timeline Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return timeline_;
  }

 private:
  void Run() {
    // One more round once asked to stop, so what happened just before is seen.
    for (int round = 0;; ++round) {
      const bool last = stop_;
      if (timeline_.cursorRound >= 0 && timeline_.cursorBackRound < 0 && ShownCursor() == cursor_)
        timeline_.cursorBackRound = round;
      long moves = 0, ignored = 0;
      if (timeline_.iconsRound < 0 && desktop_->MoveCounts(&moves, &ignored) && moves != moves_) {
        timeline_.iconsRound = round;
        timeline_.icons = GetTickCount64();
      }
      if (timeline_.modeRound < 0 && PanelText() != mode_) {
        timeline_.modeRound = round;
        timeline_.mode = GetTickCount64();
      }
      Ramp now{};
      if (timeline_.gammaRound < 0 && ReadScreenRamp(&now) && now != ramp_) {
        timeline_.gammaRound = round;
        timeline_.gamma = GetTickCount64();
      }
      if (timeline_.cursorRound < 0 && ShownCursor() != cursor_) {
        timeline_.cursorRound = round;
        timeline_.cursor = GetTickCount64();
      }
      if (last) break;
      Sleep(5);
    }
  }

  std::string PanelText() const {
    char text[64] = {};
    GetWindowTextA(panel_, text, sizeof text);
    return text;
  }

  StandinDesktop* desktop_;
  HWND panel_;
  Ramp ramp_{};
  std::string mode_;
  HCURSOR cursor_ = nullptr;
  long moves_ = 0;
  Timeline timeline_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Every label, check box and radio button shows its whole text, measured with the
// dialog's font as this display gives it (Tahoma, from the fonts Wine ships).
void ExpectTextsFit(HWND dialog) {
  HDC screen = GetDC(nullptr);
  ASSERT_TRUE(screen);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  HFONT font = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  const HGDIOBJ previous = SelectObject(screen, font);
  for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
    char type[32] = {}, text[256] = {};
    GetClassNameA(control, type, sizeof type);
    const int length = GetWindowTextA(control, text, sizeof text);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    int room = client.right;
    if (lstrcmpiA(type, "Static") == 0) {
      if ((style & SS_TYPEMASK) != SS_LEFT && (style & SS_TYPEMASK) != SS_RIGHT) continue;
    } else if (lstrcmpiA(type, "Button") == 0) {
      const LONG kind = style & BS_TYPEMASK;
      if (kind != BS_AUTOCHECKBOX && kind != BS_AUTORADIOBUTTON) continue;
      room -= MulDiv(16, dpi, 96);  // the box and the gap before the text
    } else {
      continue;
    }
    SIZE size = {};
    GetTextExtentPoint32A(screen, text, length, &size);
    EXPECT_LE(size.cx, room) << "control " << GetDlgCtrlID(control) << " cuts \"" << text << "\"";
  }
  SelectObject(screen, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
}

class KestrinE2E : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(guard_.saved()) << "the test display gives its gamma ramp";
    std::string error;
    dir_ = ProgramDirectory::Create(&error);
    ASSERT_TRUE(dir_) << error;
  }

  void TearDown() override {
    // Processes first: the stand-in holds the directory's Lumiq.dll, and nothing may
    // change the screen after the guard has put it back.
    if (kestrin_) ExpectNoBoxes();
    kestrin_.reset();
    desktop_.reset();
    dir_.reset();
    EXPECT_EQ("", guard_.Restore());
  }

  void StartDesktop(const std::vector<StandinIcon>& icons) {
    desktop_.reset();
    std::string error;
    desktop_ = StandinDesktop::Start(StandinOptions(), &error);
    ASSERT_TRUE(desktop_) << error;
    for (const StandinIcon& icon : icons) ASSERT_TRUE(desktop_->AddIcon(icon.label, icon.x, icon.y));
  }

  // Kestrin from the test's directory, up to its visible main window.
  void StartKestrin(const std::string& arguments = "") {
    kestrin_.reset();
    std::string error;
    kestrin_ = Kestrin::Start(dir_->ProgramPath(), arguments, dir_->WorkDirectory(), &error);
    ASSERT_TRUE(kestrin_) << error;
    ASSERT_TRUE(kestrin_->WaitForMainWindow(kStartTimeoutMs)) << "no main window";
    ASSERT_TRUE(kestrin_->WaitIdle());
  }

  void Restart(const std::vector<StandinIcon>& icons = {}) {
    kestrin_.reset();
    ASSERT_NO_FATAL_FAILURE(StartDesktop(icons));
    ASSERT_NO_FATAL_FAILURE(StartKestrin());
  }

  void ExpectEnded() {
    DWORD code = 1;
    ASSERT_TRUE(kestrin_->WaitForExit(kExitTimeoutMs, &code)) << "Kestrin did not end";
    EXPECT_EQ(0u, code);
  }

  void ExpectNoBoxes() {
    for (const SeenBox& box : kestrin_->TakeBoxes()) ADD_FAILURE() << "message box: " << box.text;
  }

  void ExpectBox(const SeenBox& box, const std::string& text, BoxIcon icon) {
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(BoxIconName(icon), std::string(BoxIconName(box.icon))) << box.text;
    EXPECT_EQ("Kestrin", box.caption);
    EXPECT_EQ(kestrin_->main(), box.owner) << box.text;
  }

  void ExpectIconsAt(const std::vector<StandinIcon>& expected) {
    std::vector<StandinIcon> icons;
    ASSERT_TRUE(desktop_->Icons(&icons));
    ASSERT_EQ(expected.size(), icons.size());
    for (size_t i = 0; i < icons.size(); ++i) {
      EXPECT_EQ(Hex(expected[i].label), Hex(icons[i].label)) << "icon " << i;
      EXPECT_EQ(expected[i].x, icons[i].x) << icons[i].label;
      EXPECT_EQ(expected[i].y, icons[i].y) << icons[i].label;
    }
  }

  void MoveIcons(const std::vector<StandinIcon>& to) {
    for (size_t i = 0; i < to.size(); ++i) ASSERT_TRUE(desktop_->MoveIcon(static_cast<int>(i), to[i].x, to[i].y));
    ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(to));
  }

  // Kestrin run with `arguments` to its end, its standard error kept.
  struct CommandRun {
    DWORD code = 99;
    std::string lines;
    bool sawWindow = true;
    size_t boxes = 99;
  };
  CommandRun RunCommand(const std::string& arguments) {
    CommandRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const std::string path = dir_->WorkDirectory() + "stderr.txt";
    HANDLE output = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, output);
    std::string error;
    auto k = Kestrin::Start(dir_->ProgramPath(), arguments, dir_->WorkDirectory(), &error, output);
    EXPECT_TRUE(k) << error;
    if (k) {
      EXPECT_TRUE(k->WaitForExit(60000, &run.code)) << arguments << " did not end";
      run.sawWindow = k->SawVisibleWindow();
      run.boxes = k->TakeBoxes().size();
    }
    CloseHandle(output);
    ReadFileBytes(path, &run.lines);
    return run;
  }

  void ExpectRamp(const Ramp& expected, const char* what) {
    Ramp now{};
    ASSERT_TRUE(ReadScreenRamp(&now));
    EXPECT_TRUE(now == expected) << what;
  }

  void ExpectChecks(int icons, int resolution, int gamma) {
    EXPECT_EQ(icons, kestrin_->CheckState(IDC_RESTORE_ICONS_CHECK));
    EXPECT_EQ(resolution, kestrin_->CheckState(IDC_RESTORE_MODE_CHECK));
    EXPECT_EQ(gamma, kestrin_->CheckState(IDC_RESTORE_GAMMA_CHECK));
  }

  // Saves what the screen shows of `window` under the screenshot directory.
  void Screenshot(HWND window, const std::string& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(kestrin_->WaitIdle());
    Sleep(300);
    const std::string path = ScreenshotDirectory() + name + "-" + Architecture() + ".bmp";
    std::string error;
    ASSERT_TRUE(SaveWindowShot(window, path, &error)) << error;
    RECT rect;
    GetWindowRect(window, &rect);
    const size_t stride = (static_cast<size_t>(rect.right - rect.left) * 3 + 3) & ~size_t{3};
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(54 + stride * static_cast<size_t>(rect.bottom - rect.top), bytes.size()) << path;
  }

  HWND WaitForAbout() {
    for (int i = 0; i < 1000; ++i) {
      if (HWND about = kestrin_->FindWindowTitled(kAboutTitle)) return about;
      Sleep(10);
    }
    return nullptr;
  }

  void CloseAbout(HWND about, bool byEscape) {
    if (byEscape) {
      kestrin_->PostKey(VK_ESCAPE);
    } else {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
    }
    for (int i = 0; i < 500 && IsWindow(about); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(about)) << "the About box did not close";
    ASSERT_TRUE(kestrin_->WaitIdle());
  }

  // Wine gap: cursor handles belong to their process under Wine, so which cursor Kestrin
  // shows cannot be told here; only that another one shows and that the one before comes
  // back once the icons have moved.
  void ExpectCursorChangedUntilIcons(const Timeline& t) {
    EXPECT_EQ(kestrin_->main(), GetForegroundWindow()) << "the cursor seen is the foreground thread's";
    EXPECT_GE(t.cursorRound, 0) << "no wait cursor";
    EXPECT_GE(t.cursorBackRound, t.iconsRound) << "the cursor came back before the icons moved";
  }

  ScreenStateGuard guard_;  // first, so it is destroyed last
  std::unique_ptr<ProgramDirectory> dir_;
  std::unique_ptr<StandinDesktop> desktop_;
  std::unique_ptr<Kestrin> kestrin_;
};

TEST_F(KestrinE2E, FirstStartFoldsUnfoldsAndEnterExits) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;
  ExpectNoBoxes();
  char title[64] = {};
  GetWindowTextA(k.main(), title, sizeof title);
  EXPECT_STREQ("Kestrin", title);

  // Nothing saved yet.
  EXPECT_EQ("More >>", k.Text(IDC_FOLD));
  for (int id : {IDC_SAVED_SIZE, IDC_SAVED_BITS, IDC_SAVED_FREQUENCY, IDC_SAVE_TIME}) EXPECT_EQ("?", k.Text(id)) << id;
  for (int id : {IDC_RESTORE_SAVED, IDC_APPLY_SAVED_MODE, IDC_APPLY_SAVED_ICONS, IDC_APPLY_SAVED_GAMMA})
    EXPECT_FALSE(k.IsEnabled(id)) << id;
  EXPECT_EQ(k.Control(IDCANCEL), k.Focus()) << "the focus starts on Exit";

  ModeInfo now, registry;
  ASSERT_TRUE(ReadDisplayModes(&now, &registry));
  EXPECT_EQ(now.Size(), k.Text(IDC_CURRENT_SIZE));
  EXPECT_EQ(std::to_string(now.bits), k.Text(IDC_CURRENT_BITS));
  EXPECT_EQ(std::to_string(now.frequency), k.Text(IDC_CURRENT_FREQUENCY));
  EXPECT_EQ("Hz.", k.Text(kCurrentHzLabel));
  EXPECT_EQ("Hz", k.Text(kSavedHzLabel));

  // The texts written over the template's, the options' defaults and the hidden buttons.
  const std::pair<int, const char*> texts[] = {
      {1002, "Save Current"}, {1015, "Restore Saved"}, {1019, "Undo"}, {2, "Exit"},
      {1009, "Apply Saved"}, {1020, "Undo"}, {1013, "Try to restore system default"},
      {1016, "Apply Saved"}, {1017, "Undo"}, {1010, "Apply temporarily"},
      {1011, "Apply and save as default"}, {1012, "Affects all users on the machine"},
      {1021, "Resolution"}, {1022, "Icons"}, {1023, "Screen resolution:"}, {1024, "Color resolution:"},
      {1025, "bits"}, {1026, "Frequency:"}, {1028, "Screen resolution:"}, {1029, "Color resolution:"},
      {1030, "bits"}, {1031, "Frequency:"}, {1039, " Saved "}, {1038, " Current "}, {1040, "Save time:"},
      {1043, "Gamma"}, {1044, "Restore icons when \"Restore Saved\" button pressed"},
      {1045, "Restore resolution when \"Restore Saved\" button pressed"},
      {1046, "Restore gamma when \"Restore Saved\" button pressed"}, {1033, "Apply Saved"}, {1034, "Undo"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(text, k.Text(id)) << id;
  ExpectChecks(BST_CHECKED, BST_CHECKED, BST_CHECKED);
  EXPECT_EQ(BST_CHECKED, k.CheckState(IDC_APPLY_AND_SAVE));
  EXPECT_EQ(BST_UNCHECKED, k.CheckState(IDC_APPLY_TEMPORARILY));
  EXPECT_EQ(BST_UNCHECKED, k.CheckState(IDC_ALL_USERS));
  for (int id : {kHiddenOk, IDC_VIEW_CURRENT, IDC_VIEW_SAVED}) EXPECT_FALSE(k.IsVisible(id)) << id;
  EXPECT_FALSE(k.IsEnabled(kHiddenOk));

  // Folded 13 pixels below Exit, above the sections.
  const RECT folded = k.WindowRect();
  EXPECT_EQ(k.ControlRect(IDCANCEL).bottom + kFoldMargin, folded.bottom);
  EXPECT_LE(folded.bottom, k.ControlRect(IDC_RESTORE_ICONS_CHECK).top) << "the sections lie below the fold";
  ASSERT_NO_FATAL_FAILURE(Screenshot(k.main(), "folded"));
  // Folded, the keyboard reaches only what shows: every tab stop is visible and above the fold.
  std::vector<HWND> stops;
  for (HWND at = GetNextDlgTabItem(k.main(), nullptr, FALSE);
       at && std::find(stops.begin(), stops.end(), at) == stops.end(); at = GetNextDlgTabItem(k.main(), at, FALSE)) {
    stops.push_back(at);
    RECT rect;
    GetWindowRect(at, &rect);
    EXPECT_TRUE(IsWindowVisible(at)) << "tab reaches hidden control " << GetDlgCtrlID(at);
    EXPECT_LE(rect.bottom, folded.bottom) << "tab reaches control " << GetDlgCtrlID(at) << " below the fold";
  }
  EXPECT_GE(stops.size(), 4u) << "Save Current, Undo, More and Exit at least";

  ASSERT_TRUE(k.Command(IDC_FOLD));
  const RECT full = k.WindowRect();
  EXPECT_EQ("Less <<", k.Text(IDC_FOLD));
  EXPECT_EQ(folded.left, full.left);
  EXPECT_EQ(folded.top, full.top);
  EXPECT_EQ(folded.right, full.right);
  // Full height is the template's: the dialog unit comes from the Resolution frame.
  const RECT frame = k.ControlRect(kResolutionFrame);
  const int framePixels = frame.bottom - frame.top;
  const int unitY = (framePixels * 8 + kResolutionFrameHeight / 2) / kResolutionFrameHeight;
  ASSERT_EQ(framePixels, MulDiv(kResolutionFrameHeight, unitY, 8));
  RECT client;
  ASSERT_TRUE(GetClientRect(k.main(), &client));
  EXPECT_EQ(MulDiv(kTemplateHeight, unitY, 8), client.bottom);
  EXPECT_GT(full.bottom, k.ControlRect(IDC_SAVE_TIME).bottom);
  // Centred at full size in the work area.
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_NEAR(work.left + (work.right - work.left - (full.right - full.left)) / 2, full.left, 1);
  EXPECT_NEAR(work.top + (work.bottom - work.top - (full.bottom - full.top)) / 2, full.top, 1);
  ASSERT_NO_FATAL_FAILURE(Screenshot(k.main(), "unfolded"));
  ASSERT_NO_FATAL_FAILURE(ExpectTextsFit(k.main()));
  for (int id : {IDC_RESTORE_ICONS_CHECK, IDC_RESTORE_DEFAULT_MODE, IDC_ALL_USERS})
    EXPECT_TRUE(k.IsVisible(id)) << id << " shows again when unfolded";

  ASSERT_TRUE(k.Command(IDC_FOLD));
  const RECT again = k.WindowRect();
  EXPECT_EQ("More >>", k.Text(IDC_FOLD));
  EXPECT_TRUE(EqualRect(&folded, &again)) << again.left << "," << again.top << "," << again.right << "," << again.bottom;

  // Enter with the focus still on Exit presses it: the options are written, the program ends.
  EXPECT_FALSE(FileExists(dir_->OptionsPath()));
  ASSERT_EQ(k.Control(IDCANCEL), k.Focus());
  const bool exitIsDefault = (GetWindowLongPtrA(k.Control(IDCANCEL), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  if (UnderWine() && !exitIsDefault) {
    // Wine gap: Wine's dialog manager gives the first focus with a plain SetFocus, which
    // leaves the hidden, disabled OK the default button, so Enter does nothing there.
    std::printf("[ WINE GAP ] Enter at once does not press Exit: Wine does not make the focused button the default\n");
    k.Press(IDCANCEL);
  } else {
    k.PostKey(VK_RETURN);
  }
  ASSERT_NO_FATAL_FAILURE(ExpectEnded());
  EXPECT_EQ(Options(1, 1, 1), OptionsLines(dir_->OptionsPath()));
  ExpectNoBoxes();
}

TEST_F(KestrinE2E, SaveCurrentWritesTheSnapshotAndFillsTheSavedPanel) {
  ASSERT_TRUE(SetScreenRamp(IdentityRamp()));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;
  std::vector<StandinIcon> icons;
  ASSERT_TRUE(desktop_->Icons(&icons));
  ASSERT_EQ(kDesktopIcons.size(), icons.size());
  const std::string snapshot = dir_->SnapshotPath();
  ASSERT_FALSE(FileExists(snapshot));

  const std::string record = ExpectedDisplayRecord();
  ASSERT_TRUE(k.Command(IDC_SAVE_CURRENT));
  ExpectNoBoxes();

  std::string file;
  ASSERT_TRUE(ReadFileBytes(snapshot, &file)) << snapshot;
  const std::string blob = ExpectedBlob(icons);
  ASSERT_EQ(156 + blob.size() + 24, file.size());
  EXPECT_EQ(Hex(WithoutFixedOutput(record)), Hex(WithoutFixedOutput(file.substr(0, 156)))) << "display record";
  EXPECT_EQ(CurrentSize(), ModeSize(file.substr(0, 156)));
  EXPECT_EQ(Hex(blob), Hex(file.substr(156, blob.size()))) << "icon layout";
  EXPECT_EQ(std::vector<double>({1.0, 1.0, 1.0}), GammaIn(file, 156 + blob.size())) << "identity ramp";

  // The panel shows the file, and everything that needs a snapshot is enabled.
  DEVMODEA mode;
  std::memcpy(&mode, record.data(), sizeof mode);
  EXPECT_EQ(ModeSize(record), k.Text(IDC_SAVED_SIZE));
  EXPECT_EQ(std::to_string(mode.dmBitsPerPel), k.Text(IDC_SAVED_BITS));
  EXPECT_EQ(std::to_string(mode.dmDisplayFrequency), k.Text(IDC_SAVED_FREQUENCY));
  EXPECT_EQ(SaveTimeText(snapshot), k.Text(IDC_SAVE_TIME));
  for (int id : {IDC_RESTORE_SAVED, IDC_APPLY_SAVED_MODE, IDC_APPLY_SAVED_ICONS, IDC_APPLY_SAVED_GAMMA})
    EXPECT_TRUE(k.IsEnabled(id)) << id;
  // Nothing else is left beside the program.
  const std::string name = snapshot.substr(snapshot.find_last_of('\\') + 1);
  std::vector<std::string> expected = {"Kestrin.exe", "Lumiq.dll", name};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, FileNames(dir_->path()));
}

// Under Wine a running program does not see display mode changes made by another
// process, so every change Kestrin must know of is made before it starts or by Kestrin
// itself ("Try to restore system default" returns to the registry's 1280 x 1024).
// A user's day on one desktop: a second start while Kestrin runs brings the running
// window forward and ends; Save; the program is killed; started again on the same shell,
// which still holds the library, it connects and puts the icons back.
TEST_F(KestrinE2E, RunsAgainOnTheSameDesktopAfterASecondStartAndAKilledRun) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  std::string error;
  auto second = Kestrin::Start(dir_->ProgramPath(), "", dir_->WorkDirectory(), &error);
  ASSERT_TRUE(second) << error;
  DWORD code = 1;
  ASSERT_TRUE(second->WaitForExit(kExitTimeoutMs, &code)) << "the second start ends by itself";
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(second->SawVisibleWindow()) << "no second window";
  EXPECT_TRUE(second->TakeBoxes().empty());
  EXPECT_EQ(kestrin_->main(), GetForegroundWindow()) << "the running window is brought forward";

  ASSERT_TRUE(kestrin_->Command(IDC_SAVE_CURRENT));
  ExpectNoBoxes();
  ASSERT_TRUE(FileExists(dir_->SnapshotPath()));
  kestrin_.reset();  // killed: no WM_CLOSE for its agent, its hook gone with it
  ASSERT_TRUE(desktop_->MoveIcon(0, 600, 400));
  ASSERT_TRUE(desktop_->MoveIcon(2, 500, 300));

  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  ExpectNoBoxes();
  ASSERT_TRUE(kestrin_->Command(IDC_APPLY_SAVED_ICONS));
  ExpectNoBoxes();
  ExpectIconsAt(kDesktopIcons);
  EXPECT_EQ(0, desktop_->Faults()) << "memory faults inside the stand-in (the shell)";
}

// Names the system's code page cannot hold (Wine's is 1252): CJK, Cyrillic, emoji, and two
// pairs that differ only in such characters. Every icon comes back by its UTF-16 name;
// a snapshot without the names block, or with a damaged one, still brings back the
// icons whose labels hold their names.
TEST_F(KestrinE2E, IconsNamedOutsideTheCodePageComeBack) {
  const std::vector<std::wstring> names = {L"Plain", L"R\u00E9sum\u00E9", L"\u6587\u6863", L"\u6587\u4EF6",
                                           L"\U0001F4C1 Projects", L"\U0001F4C2 Projects", L"\u0416\u0443\u0440\u043D\u0430\u043B"};
  ASSERT_NO_FATAL_FAILURE(StartDesktop({}));
  for (size_t i = 0; i < names.size(); ++i)
    ASSERT_TRUE(desktop_->AddIconUtf16(names[i], 20 + 90 * static_cast<int>(i), 40));
  std::vector<StandinIcon> home;
  ASSERT_TRUE(desktop_->Icons(&home));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  ASSERT_TRUE(kestrin_->Command(IDC_SAVE_CURRENT));
  ExpectNoBoxes();
  std::string file;
  ASSERT_TRUE(ReadFileBytes(dir_->SnapshotPath(), &file));
  const size_t plainSize = 180 + 8 + 268 * names.size();
  ASSERT_GT(file.size(), plainSize) << "the names block follows the gamma triple";
  EXPECT_EQ("KUN1", file.substr(plainSize, 4));

  std::vector<StandinIcon> away = home;
  for (size_t i = 0; i < away.size(); ++i) away[i].x = 700 - 90 * static_cast<int>(i), away[i].y = 400;
  for (int command : {IDC_APPLY_SAVED_ICONS, IDC_RESTORE_SAVED}) {
    ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
    ASSERT_TRUE(kestrin_->Command(command)) << command;
    ExpectNoBoxes();
    ExpectIconsAt(home);
  }

  // Without the block, and with a damaged one: the labels "Plain" and "R\xE9sum\xE9" hold
  // their names and come back; the rest cannot be told apart by their labels.
  std::string damaged = file;
  damaged[damaged.size() - 3] ^= 0x20;
  for (const std::string& older : {file.substr(0, plainSize), damaged}) {
    ASSERT_TRUE(WriteFileBytes(dir_->SnapshotPath(), older));
    ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
    ASSERT_TRUE(kestrin_->Command(IDC_APPLY_SAVED_ICONS));
    ExpectNoBoxes();
    std::vector<StandinIcon> now;
    ASSERT_TRUE(desktop_->Icons(&now));
    for (size_t i : {size_t{0}, size_t{1}}) {
      EXPECT_EQ(home[i].x, now[i].x) << "icon " << i;
      EXPECT_EQ(home[i].y, now[i].y) << "icon " << i;
    }
  }
  EXPECT_EQ(0, desktop_->Faults()) << "memory faults inside the stand-in (the shell)";
}

// On a work area smaller than the unfolded window, the window starts with its title bar
// on screen rather than centred above the top.
TEST_F(KestrinE2E, SmallWorkAreaKeepsTheTitleBarOnScreen) {
  ASSERT_TRUE(SetCurrentSize(800, 600));
  ASSERT_EQ("800 x 600", CurrentSize());
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  const RECT folded = kestrin_->WindowRect();
  ASSERT_TRUE(kestrin_->Command(IDC_FOLD));
  const RECT full = kestrin_->WindowRect();
  ASSERT_GT(full.bottom - full.top, 600) << "the unfolded window is taller than the screen";
  EXPECT_EQ(0, full.top) << "title bar at the top of the work area";
  EXPECT_EQ(folded.top, full.top);
  EXPECT_GE(full.left, 0);
}

// Kestrin from the command line, without its window or a message box: /Save writes what
// "Save Current" writes; /Restore and each of its parts put back just those; /Run puts
// back what a program changed and passes its exit code on; mistakes are one line each.
TEST_F(KestrinE2E, CommandLineSavesRestoresAndRunsWithoutAWindow) {
  ASSERT_TRUE(SetScreenRamp(IdentityRamp()));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  auto quiet = [](const CommandRun& run, const std::string& what) {
    EXPECT_EQ(0u, run.code) << what << ": " << run.lines;
    EXPECT_EQ("", run.lines) << what;
    EXPECT_FALSE(run.sawWindow) << what;
    EXPECT_EQ(0u, run.boxes) << what;
  };
  quiet(RunCommand("/Save"), "/Save");
  std::string saved, byWindow;
  ASSERT_TRUE(ReadFileBytes(dir_->SnapshotPath(), &saved));
  ASSERT_TRUE(DeleteFileA(dir_->SnapshotPath().c_str()));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  ASSERT_TRUE(kestrin_->Command(IDC_SAVE_CURRENT));
  ASSERT_TRUE(ReadFileBytes(dir_->SnapshotPath(), &byWindow));
  ASSERT_EQ(byWindow.size(), saved.size());
  EXPECT_EQ(Hex(WithoutFixedOutput(byWindow.substr(0, 156))), Hex(WithoutFixedOutput(saved.substr(0, 156))));
  EXPECT_EQ(Hex(byWindow.substr(156)), Hex(saved.substr(156))) << "the same icons and gamma as Save Current";

  // Each part alone, then all three as the options say; the window runs meanwhile.
  const Ramp identity = ProgramRampOnDisplay(1.0, 1.0, 1.0);
  const Ramp darker = ProgramRampOnDisplay(1.6, 1.6, 1.6);
  const std::vector<StandinIcon> away = {{"Recycle Bin", 400, 300}, {"My Documents", 480, 300}, {"Notes \xE9t\xE9.txt", 560, 300}};
  auto change = [&] {
    ASSERT_TRUE(SetCurrentSize(1024, 768));
    ASSERT_TRUE(SetScreenRamp(darker));
    ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
  };
  ASSERT_NO_FATAL_FAILURE(change());
  quiet(RunCommand("/Restore /Icons"), "/Restore /Icons");
  ExpectIconsAt(kDesktopIcons);
  EXPECT_EQ("1024 x 768", CurrentSize());
  ExpectRamp(darker, "/Restore /Icons leaves the gamma");
  quiet(RunCommand("/restore /GAMMA"), "/Restore /Gamma");
  ExpectRamp(identity, "/Restore /Gamma");
  EXPECT_EQ("1024 x 768", CurrentSize());
  quiet(RunCommand("/Restore /Resolution"), "/Restore /Resolution");
  EXPECT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  ASSERT_NO_FATAL_FAILURE(change());
  quiet(RunCommand("/Restore"), "/Restore");
  EXPECT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  ExpectRamp(identity, "/Restore");
  ExpectIconsAt(kDesktopIcons);
  ASSERT_TRUE(kestrin_->Command(IDC_APPLY_SAVED_ICONS)) << "the window's agent link still works";
  ExpectNoBoxes();

  // A program that changes the mode, the gamma and the icons, and ends with 42.
  CommandRun run = RunCommand("/Run \"" + ExecutableDirectory() + "display_probe.exe\" 800 600 1.6 42");
  EXPECT_EQ(42u, run.code) << run.lines;
  EXPECT_EQ("", run.lines);
  EXPECT_EQ(0u, run.boxes);
  EXPECT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  EXPECT_EQ("1280 x 1024", RegistrySize());
  ExpectRamp(identity, "/Run puts the gamma back");
  ExpectIconsAt(kDesktopIcons);

  run = RunCommand("/Run C:\\no\\such\\game.exe");
  EXPECT_EQ(1u, run.code);
  EXPECT_EQ(0u, run.lines.find("Unable to start C:\\no\\such\\game.exe : ")) << run.lines;
  EXPECT_EQ(0u, run.boxes);
  run = RunCommand("/Frobnicate");
  EXPECT_EQ(2u, run.code);
  EXPECT_EQ("unknown switch \"/Frobnicate\"\r\nusage: Kestrin [/Save | /Restore [/Icons] [/Resolution] [/Gamma] | /Run "
            "PROGRAM [ARGUMENTS...] | /Uninstall]\r\n",
            run.lines);
  EXPECT_FALSE(run.sawWindow);
}

TEST_F(KestrinE2E, RestoreSavedBringsBackGammaThenModeThenIconsAsTicked) {
  const Ramp savedRamp = ProgramRampOnDisplay(1.3, 1.6, 2.2);
  ASSERT_EQ("1280 x 1024", RegistrySize()) << "the test display's registry mode";
  ASSERT_TRUE(SetCurrentSize(1024, 768));
  ASSERT_TRUE(SetScreenRamp(savedRamp));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;
  EXPECT_EQ("1024 x 768", k.Text(IDC_CURRENT_SIZE));
  ASSERT_TRUE(k.Command(IDC_SAVE_CURRENT));
  std::string file;
  ASSERT_TRUE(ReadFileBytes(dir_->SnapshotPath(), &file));
  const size_t gammaAt = 156 + 8 + 268 * kDesktopIcons.size();
  EXPECT_EQ(std::vector<double>({1.3, 1.6, 2.2}), GammaIn(file, gammaAt));
  EXPECT_EQ("1024 x 768", k.Text(IDC_SAVED_SIZE));

  // The screen moves on; everything comes back, in order, with the pause before the icons.
  ASSERT_TRUE(k.Command(IDC_RESTORE_DEFAULT_MODE));
  ASSERT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  ASSERT_TRUE(SetScreenRamp(IdentityRamp()));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(Offset(kDesktopIcons, 300, 40)));
  {
    ChangeRecorder recorder(desktop_.get(), k.Control(IDC_CURRENT_SIZE));
    const ULONGLONG pressed = GetTickCount64();
    k.Press(IDC_RESTORE_SAVED);
    ASSERT_TRUE(k.WaitIdle());
    const ULONGLONG took = GetTickCount64() - pressed;
    const Timeline t = recorder.Stop();
    ExpectNoBoxes();
    ExpectRamp(savedRamp, "saved gamma");
    EXPECT_EQ("1024 x 768", CurrentSizeSettlingAt("1024 x 768"));
    EXPECT_EQ("1024 x 768", RegistrySize()) << "\"Apply and save as default\" is checked";
    EXPECT_EQ("1024 x 768", k.Text(IDC_CURRENT_SIZE));
    ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(kDesktopIcons));
    ASSERT_GE(t.gammaRound, 0);
    ASSERT_GE(t.modeRound, 0);
    ASSERT_GE(t.iconsRound, 0);
    // The mode's test and change take tens of milliseconds after the gamma: some rounds.
    EXPECT_LT(t.gammaRound, t.modeRound) << "the gamma comes before the display mode";
    EXPECT_GE(t.icons - t.mode, kPauseAtLeastMs) << "the icons come after the pause";
    EXPECT_GE(took, kModeSettleMs);
    ExpectCursorChangedUntilIcons(t);
    EXPECT_LE(t.cursorRound, t.gammaRound) << "the wait cursor shows before the gamma changes";
  }

  // Only the icons ticked: they alone come back, at once (the pause follows any attempt
  // at the display mode, so its absence shows that none was made).
  ASSERT_TRUE(k.Click(IDC_RESTORE_MODE_CHECK));
  ASSERT_TRUE(k.Click(IDC_RESTORE_GAMMA_CHECK));
  ExpectChecks(BST_CHECKED, BST_UNCHECKED, BST_UNCHECKED);
  ASSERT_TRUE(SetScreenRamp(IdentityRamp()));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(Offset(kDesktopIcons, 200, 200)));
  const ULONGLONG pressed = GetTickCount64();
  ASSERT_TRUE(k.Command(IDC_RESTORE_SAVED));
  EXPECT_LT(GetTickCount64() - pressed, kNoPauseBelowMs) << "no pause without a display mode";
  ExpectNoBoxes();
  ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(kDesktopIcons));
  ExpectRamp(IdentityRamp(), "gamma untouched");
}

TEST_F(KestrinE2E, UndoAndTheSectionCommandsActOnTheScreen) {
  // Start-up: 1024 x 768 (the registry keeps 1280 x 1024), the identity ramp, the icons.
  ASSERT_EQ("1280 x 1024", RegistrySize()) << "the test display's registry mode";
  ASSERT_TRUE(SetCurrentSize(1024, 768));
  ASSERT_TRUE(SetScreenRamp(IdentityRamp()));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kDesktopIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;

  // Saved: 1280 x 1024, another gamma, other icon positions.
  const Ramp savedRamp = ProgramRampOnDisplay(2.2, 1.6, 1.3);
  const std::vector<StandinIcon> savedIcons = Offset(kDesktopIcons, 250, 60);
  ASSERT_TRUE(k.Command(IDC_RESTORE_DEFAULT_MODE));
  ASSERT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  ASSERT_TRUE(SetScreenRamp(savedRamp));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(savedIcons));
  ASSERT_TRUE(k.Command(IDC_SAVE_CURRENT));
  EXPECT_EQ("1280 x 1024", k.Text(IDC_SAVED_SIZE));

  // "Undo": the start-up mode, then after the pause the start-up icons; the gamma stays.
  {
    ChangeRecorder recorder(desktop_.get(), k.Control(IDC_CURRENT_SIZE));
    k.Press(IDC_UNDO_ALL);
    ASSERT_TRUE(k.WaitIdle());
    const Timeline t = recorder.Stop();
    EXPECT_EQ("1024 x 768", CurrentSizeSettlingAt("1024 x 768"));
    EXPECT_EQ("1024 x 768", RegistrySize()) << "\"Apply and save as default\" is checked";
    EXPECT_EQ("1024 x 768", k.Text(IDC_CURRENT_SIZE));
    ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(kDesktopIcons));
    ExpectRamp(savedRamp, "\"Undo\" leaves the gamma");
    EXPECT_EQ(-1, t.gammaRound);
    ASSERT_GE(t.modeRound, 0);
    ASSERT_GE(t.iconsRound, 0);
    EXPECT_GE(t.icons - t.mode, kPauseAtLeastMs);
    ExpectCursorChangedUntilIcons(t);
    EXPECT_GE(t.icons - t.cursor, kPauseAtLeastMs) << "the wait cursor shows for the pause";
  }

  // Icons.
  ASSERT_TRUE(k.Command(IDC_APPLY_SAVED_ICONS));
  ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(savedIcons));
  ASSERT_TRUE(k.Command(IDC_UNDO_ICONS));
  ASSERT_NO_FATAL_FAILURE(ExpectIconsAt(kDesktopIcons));

  // Gamma: the start-up ramp read as 1.0, 1.0, 1.0 comes back as the program builds it.
  ASSERT_TRUE(k.Command(IDC_UNDO_GAMMA));
  ExpectRamp(ProgramRampOnDisplay(1.0, 1.0, 1.0), "start-up gamma");
  ASSERT_TRUE(k.Command(IDC_APPLY_SAVED_GAMMA));
  ExpectRamp(savedRamp, "saved gamma");

  // Resolution: saved as default, back, then a temporary change and the registry's mode.
  ASSERT_TRUE(k.Command(IDC_APPLY_SAVED_MODE));
  EXPECT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  EXPECT_EQ("1280 x 1024", RegistrySize());
  EXPECT_EQ("1280 x 1024", k.Text(IDC_CURRENT_SIZE));
  ASSERT_TRUE(k.Command(IDC_UNDO_MODE));
  EXPECT_EQ("1024 x 768", CurrentSizeSettlingAt("1024 x 768"));
  EXPECT_EQ("1024 x 768", RegistrySize());
  EXPECT_EQ("1024 x 768", k.Text(IDC_CURRENT_SIZE));
  ASSERT_TRUE(k.Command(IDC_FOLD));  // a user unfolds to reach the radio buttons
  ASSERT_TRUE(k.Click(IDC_APPLY_TEMPORARILY));
  EXPECT_EQ(BST_UNCHECKED, k.CheckState(IDC_APPLY_AND_SAVE));
  ASSERT_TRUE(k.Command(IDC_APPLY_SAVED_MODE));
  EXPECT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  EXPECT_EQ("1024 x 768", RegistrySize()) << "a temporary change leaves the registry";
  ASSERT_TRUE(k.Command(IDC_RESTORE_DEFAULT_MODE));
  EXPECT_EQ("1024 x 768", CurrentSizeSettlingAt("1024 x 768"));
  EXPECT_EQ("1024 x 768", k.Text(IDC_CURRENT_SIZE));
  ExpectNoBoxes();
}

TEST_F(KestrinE2E, ExitEscapeAndCloseBoxWriteTheOptionsASessionEndDoesNot) {
  const std::string options = dir_->OptionsPath();

  // "Exit", with one box cleared: the missing file is created.
  ASSERT_NO_FATAL_FAILURE(Restart());
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_MODE_CHECK));
  kestrin_->Press(IDCANCEL);
  ASSERT_NO_FATAL_FAILURE(ExpectEnded());
  EXPECT_EQ(Options(1, 0, 1), OptionsLines(options));

  // Escape: the boxes come back as stored. Enter on a check box does not end the program;
  // the Space after it shows when both keys have been handled.
  ASSERT_NO_FATAL_FAILURE(Restart());
  ExpectChecks(BST_CHECKED, BST_UNCHECKED, BST_CHECKED);
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_MODE_CHECK));
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_ICONS_CHECK));
  ASSERT_EQ(kestrin_->Control(IDC_RESTORE_ICONS_CHECK), kestrin_->Focus());
  kestrin_->PostKey(VK_RETURN);
  kestrin_->PostKey(VK_SPACE);
  for (int i = 0; i < 500 && kestrin_->CheckState(IDC_RESTORE_ICONS_CHECK) != BST_CHECKED; ++i) Sleep(10);
  EXPECT_TRUE(kestrin_->IsRunning()) << "Enter on a check box ended the program";
  ExpectChecks(BST_CHECKED, BST_CHECKED, BST_CHECKED);
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_ICONS_CHECK));
  kestrin_->PostKey(VK_ESCAPE);
  ASSERT_NO_FATAL_FAILURE(ExpectEnded());
  EXPECT_EQ(Options(0, 1, 1), OptionsLines(options));

  // The close box.
  ASSERT_NO_FATAL_FAILURE(Restart());
  ExpectChecks(BST_UNCHECKED, BST_CHECKED, BST_CHECKED);
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_GAMMA_CHECK));
  kestrin_->SysCommand(SC_CLOSE);
  ASSERT_NO_FATAL_FAILURE(ExpectEnded());
  EXPECT_EQ(Options(0, 1, 0), OptionsLines(options));

  // The session ends: the agent goes at the query, and nothing is written.
  ASSERT_TRUE(DeleteFileA(options.c_str()));
  ASSERT_NO_FATAL_FAILURE(Restart());
  ASSERT_TRUE(kestrin_->Click(IDC_RESTORE_ICONS_CHECK));
  ASSERT_TRUE(FindWindowA(nullptr, kAgentTitle)) << "connected to the stand-in's agent";
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(kestrin_->main(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(1u, answer) << "the session may end";
  EXPECT_EQ(nullptr, FindWindowA(nullptr, kAgentTitle)) << "the agent window is closed";
  ASSERT_TRUE(SendMessageTimeoutA(kestrin_->main(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer));
  ExpectNoBoxes();
  kestrin_.reset();  // the session's end takes the process
  EXPECT_FALSE(FileExists(options));
}

TEST_F(KestrinE2E, UninstallDeletesEverySnapshotBesideTheProgramOnly) {
  const std::string ownSnapshot = dir_->SnapshotPath();
  const std::vector<std::string> snapshots = {ownSnapshot, dir_->File("PC1_desktop_anna.sav"),
                                              dir_->File("PC2_desktop_bob.sav")};
  const std::vector<std::pair<std::string, std::string>> kept = {
      {dir_->OptionsPath(), "[OPTIONS]\r\nCHECK_ICONS=0\r\n"},
      {dir_->File("notes.txt"), "notes"},
      {dir_->WorkDirectory() + "PC3_desktop_carl.sav", "not beside the program"}};
  for (const auto& [path, bytes] : kept) ASSERT_TRUE(WriteFileBytes(path, bytes));

  for (const char* form : {"/Uninstall", "/uninstall", "/UNINSTALL"}) {
    SCOPED_TRACE(form);
    for (const std::string& path : snapshots) ASSERT_TRUE(WriteFileBytes(path, "snapshot"));
    std::string error;
    auto k = Kestrin::Start(dir_->ProgramPath(), form, dir_->WorkDirectory(), &error);
    ASSERT_TRUE(k) << error;
    DWORD code = 1;
    ASSERT_TRUE(k->WaitForExit(kExitTimeoutMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(k->SawVisibleWindow());
    EXPECT_TRUE(k->TakeBoxes().empty());
    for (const std::string& path : snapshots) EXPECT_FALSE(FileExists(path)) << path;
    for (const auto& [path, bytes] : kept) {
      std::string now;
      EXPECT_TRUE(ReadFileBytes(path, &now) && now == bytes) << path;
    }
  }

  // As the second argument it is just an argument: a normal run that deletes nothing.
  const std::vector<std::string> others(snapshots.begin() + 1, snapshots.end());
  for (const std::string& path : others) ASSERT_TRUE(WriteFileBytes(path, "snapshot"));
  ASSERT_NO_FATAL_FAILURE(StartDesktop({}));
  ASSERT_NO_FATAL_FAILURE(StartKestrin("start /Uninstall"));
  ExpectNoBoxes();
  kestrin_->Press(IDCANCEL);
  ASSERT_NO_FATAL_FAILURE(ExpectEnded());
  for (const std::string& path : others) EXPECT_TRUE(FileExists(path)) << path;
}

TEST_F(KestrinE2E, AboutBoxOpensFromTheWindowMenuAndTheIconWithItsLink) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop({}));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;

  k.SysCommand(16);
  HWND about = WaitForAbout();
  ASSERT_TRUE(about) << "no About box from the window menu";
  EXPECT_EQ(k.main(), GetWindow(about, GW_OWNER));
  auto text = [about](int id) {
    char buffer[512] = {};
    GetWindowTextA(GetDlgItem(about, id), buffer, sizeof buffer);
    return std::string(buffer);
  };
  EXPECT_EQ("Kestrin Version 1.11", text(1033));
  EXPECT_EQ("README-Windows.txt", text(1037));
  EXPECT_EQ("The program provides possibility to save and restore screen resolution, gamma and desktop icons position.",
            text(1034));
  EXPECT_NE("", text(1035));

  // The address is a link label: its own window procedure, mouse notifications, drawn in
  // blue 250 and underlined on its bottom row from the left edge.
  HWND link = GetDlgItem(about, 1037);
  ASSERT_TRUE(link);
  EXPECT_TRUE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY);
  SetLastError(0);
  const LONG_PTR procedure = GetWindowLongPtrA(link, GWLP_WNDPROC);
  if (procedure == 0 && GetLastError() == ERROR_ACCESS_DENIED) {
    // Wine gap: another process's window procedure cannot be read under Wine.
    std::printf("[ WINE GAP ] the link's window procedure cannot be read across processes\n");
  } else {
    EXPECT_NE(static_cast<ULONG_PTR>(procedure), GetClassLongPtrA(link, GCLP_WNDPROC));
  }
  ASSERT_TRUE(k.WaitIdle());
  Sleep(300);
  RECT area;
  GetWindowRect(link, &area);
  const int width = area.right - area.left, height = area.bottom - area.top;
  const std::vector<uint32_t> pixels = ScreenPixels(area);
  ASSERT_EQ(static_cast<size_t>(width) * height, pixels.size());
  constexpr uint32_t kLinkBlue = 0x0000FA;  // COLORREF 0x00FA0000 as 0x00RRGGBB
  int underline = 0;
  while (underline < width && pixels[static_cast<size_t>(height - 1) * width + underline] == kLinkBlue) ++underline;
  EXPECT_GT(underline, 40) << "underline along the bottom row";
  size_t blue = 0;
  for (size_t i = 0; i < static_cast<size_t>(height - 1) * width; ++i) blue += pixels[i] == kLinkBlue;
  EXPECT_GT(blue, 40u) << "text drawn in the link colour";
  ASSERT_NO_FATAL_FAILURE(Screenshot(about, "about"));

  // The link opens the README beside the program; without one the user is told.
  PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_TRUE(k.WaitForBoxes(1, 10000));
  const std::vector<SeenBox> boxes = k.TakeBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("README-Windows.txt is missing beside the program", boxes[0].text);
  EXPECT_EQ(about, boxes[0].owner);
  ASSERT_TRUE(WriteFileBytes(dir_->File("README-Windows.txt"), "Kestrin\r\n"));
  PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  HWND viewer = nullptr;
  for (const ULONGLONG end = GetTickCount64() + 20000; !viewer && GetTickCount64() < end; Sleep(100)) {
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExA(nullptr, w, nullptr, nullptr)) {
      char title[256] = {};
      GetWindowTextA(w, title, sizeof title);
      if (IsWindowVisible(w) && std::strstr(title, "README-Windows")) viewer = w;
    }
  }
  EXPECT_TRUE(viewer) << "no viewer window showing README-Windows.txt";
  if (viewer) PostMessageA(viewer, WM_CLOSE, 0, 0);
  ASSERT_NO_FATAL_FAILURE(CloseAbout(about, false));

  // The low four bits of a window-menu command are masked off; the system's commands and
  // 32 are not About.
  for (WPARAM command : {WPARAM{17}, WPARAM{31}}) {
    k.SysCommand(command);
    about = WaitForAbout();
    ASSERT_TRUE(about) << "no About box for " << command;
    ASSERT_NO_FATAL_FAILURE(CloseAbout(about, true));
  }
  for (WPARAM command : {WPARAM{32}, WPARAM{SC_RESTORE}}) {
    k.SysCommand(command);
    ASSERT_TRUE(k.WaitIdle());
    EXPECT_EQ(nullptr, k.FindWindowTitled(kAboutTitle)) << command;
  }

  // The program icon: a click opens it, a double click's notification does not.
  k.Press(IDC_APP_ICON, STN_DBLCLK);
  ASSERT_TRUE(k.WaitIdle());
  EXPECT_EQ(nullptr, k.FindWindowTitled(kAboutTitle));
  k.Press(IDC_APP_ICON, STN_CLICKED);
  about = WaitForAbout();
  ASSERT_TRUE(about) << "no About box from the icon";
  EXPECT_EQ(k.main(), GetWindow(about, GW_OWNER));
  ASSERT_NO_FATAL_FAILURE(CloseAbout(about, false));
  ExpectNoBoxes();
}

TEST_F(KestrinE2E, StartWithoutADesktopShowsItsTwoMessagesFirst) {
  ASSERT_EQ(nullptr, FindWindowA("Progman", nullptr)) << "no shell may be running";
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *kestrin_;
  std::vector<SeenBox> boxes = k.TakeBoxes();
  ASSERT_EQ(2u, boxes.size());
  ExpectBox(boxes[0], "Unable to access desktop", BoxIcon::kStop);
  ExpectBox(boxes[1], "Unable to retrieve icons position", BoxIcon::kStop);
  for (const SeenBox& box : boxes) {
    EXPECT_FALSE(box.ownerVisible) << box.text << ": shown before the window";
    EXPECT_LE(box.tick, k.mainVisibleTick()) << box.text;
  }

  // "Undo" has no start-up layout to apply: it says so after its pause.
  ULONGLONG pressed = GetTickCount64();
  ASSERT_TRUE(k.Command(IDC_UNDO_ALL));
  boxes = k.TakeBoxes();
  ASSERT_EQ(1u, boxes.size());
  ExpectBox(boxes[0], "Unable to set icons position", BoxIcon::kStop);
  EXPECT_TRUE(boxes[0].ownerVisible);
  EXPECT_GE(boxes[0].tick - pressed, kPauseAtLeastMs);

  // The Icons section's "Undo" says it at once; "Save Current" cannot get the icons and
  // writes nothing.
  pressed = GetTickCount64();
  ASSERT_TRUE(k.Command(IDC_UNDO_ICONS));
  boxes = k.TakeBoxes();
  ASSERT_EQ(1u, boxes.size());
  ExpectBox(boxes[0], "Unable to set icons position", BoxIcon::kStop);
  EXPECT_LT(boxes[0].tick - pressed, kNoPauseBelowMs);
  ASSERT_TRUE(k.Command(IDC_SAVE_CURRENT));
  boxes = k.TakeBoxes();
  ASSERT_EQ(1u, boxes.size());
  ExpectBox(boxes[0], "Unable to retrieve icons position", BoxIcon::kStop);
  EXPECT_FALSE(FileExists(dir_->SnapshotPath()));
  EXPECT_EQ("?", k.Text(IDC_SAVED_SIZE));
}

}  // namespace
