// Kestrin.exe end to end, as a user's day runs: started from its own directory, driven from this process by control id,
// with a stand-in desktop as the shell. What it did is checked by our own means: the files it wrote, the display mode
// and gamma ramp the display reports, the icon positions the stand-in reports. Under Wine a running program does not
// see mode changes made by another process, so the changes Kestrin must know of are made before it starts or by it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>

#include "agent_protocol.h"
#include "kestrin_driver_win.h"
#include "standin_client_win.h"

using namespace kestrin::test;

namespace {

constexpr LONGLONG kPauseAtLeastMs = 1800;  // the 2 s settle pause, less what sampling loses
constexpr LONGLONG kNoPauseBelowMs = 1500;
constexpr size_t kRecordSize = 156, kIconRecordSize = 268, kTripleSize = 24, kRampBlockSize = 1552;

const std::vector<StandinIcon> kIcons = {
    {"Recycle Bin", 20, 20}, {"My Documents", 20, 110}, {"Notes \xE9t\xE9.txt", 120, 20}};

std::vector<StandinIcon> Offset(std::vector<StandinIcon> icons, int dx, int dy) {
  for (StandinIcon& icon : icons) icon.x += dx, icon.y += dy;
  return icons;
}

std::string Options(const std::string& checks) {  // "110": icons, resolution, gamma
  return "[OPTIONS]\r\nCHECK_ICONS=" + checks.substr(0, 1) + "\r\nCHECK_RESOLUTION=" + checks.substr(1, 1) +
         "\r\nCHECK_GAMMA=" + checks.substr(2, 1) + "\r\n";
}

// The test display: its ramp, and its modes as a fresh process reads them (under Wine a process sees only its own
// mode changes).
using Ramp = std::array<uint16_t, 768>;  // red, green, blue: 256 entries each
bool ReadScreenRamp(Ramp* ramp) { return GetDeviceGammaRamp(kestrin::ScreenDC().get(), ramp->data()); }
bool SetScreenRamp(const Ramp& ramp) {
  return SetDeviceGammaRamp(kestrin::ScreenDC().get(), const_cast<uint16_t*>(ramp.data()));
}
// The ramp the program builds from three exponents, as the test display gives it back (the top 8 bits of each
// entry).
Ramp ProgramRamp(double red, double green, double blue) {
  const double exponents[3] = {red, green, blue};
  Ramp ramp;
  for (int i = 0; i < 768; ++i) {
    const double entry = std::fmin(std::pow((i % 256 + 1) / 256.0, exponents[i / 256]) * 65535.0 + 0.5, 65535.0);
    ramp[i] = static_cast<uint16_t>((static_cast<unsigned>(entry) >> 8) * 257);
  }
  return ramp;
}
const Ramp kIdentity = [] {
  Ramp ramp;
  for (int i = 0; i < 768; ++i) ramp[i] = static_cast<uint16_t>(257 * (i % 256));
  return ramp;
}();

// The current and the registry's mode, width height bits frequency each, as a fresh process reads them.
using Modes = std::array<unsigned long, 8>;
Modes DisplayModes() {
  std::string out;
  Modes m{};
  RunAndRead(ExecutableDirectory() + "standin.exe", "--display", &out);
  std::sscanf(out.c_str(), "%lu %lu %lu %lu %lu %lu %lu %lu", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &m[6], &m[7]);
  return m;
}
std::string Size(const Modes& m, int at) { return std::to_string(m[at]) + " x " + std::to_string(m[at + 1]); }
std::string RegistrySize() { return Size(DisplayModes(), 4); }
// Other processes learn of a mode change a moment after it returns: a bounded wait.
std::string CurrentSizeSettlingAt(const std::string& expected) {
  std::string size;
  for (int i = 0; i < 30 && (size = Size(DisplayModes(), 0)) != expected; ++i) Sleep(100);
  return size;
}
bool SetCurrentSize(DWORD width, DWORD height) {  // a dynamic change, registry untouched
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
}

bool MakeShortcut(const std::string& path, const std::string& target, const std::string& arguments,
                  const std::string& folder) {
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  const bool made = SUCCEEDED(CoInitialize(nullptr)) &&
                    SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                               reinterpret_cast<void**>(&link))) &&
                    SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->SetArguments(arguments.c_str())) &&
                    SUCCEEDED(link->SetWorkingDirectory(folder.c_str())) &&
                    SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                    SUCCEEDED(file->Save(std::wstring(path.begin(), path.end()).c_str(), TRUE));
  if (file) file->Release();
  if (link) link->Release();
  return made;
}

class KestrinE2E : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(0u, start_[4]) << "the test display gives its modes";
    std::string error;
    ASSERT_TRUE(dir_ = ProgramDirectory::Create(&error)) << error;
  }
  void TearDown() override {
    if (k_) ExpectBoxes({});
    k_.reset();  // processes first: nothing may change the screen after this
    desktop_.reset();
    std::string output;  // the start's registry mode, on the screen too, and the identity ramp
    const std::string size = std::to_string(start_[4]) + " " + std::to_string(start_[5]);
    EXPECT_EQ(0, RunAndRead(ExecutableDirectory() + "standin.exe", "--display " + size, &output)) << output;
  }

  void StartDesktop(const std::vector<StandinIcon>& icons, bool underWorkerW = false) {
    std::string error;
    desktop_.reset();
    ASSERT_TRUE(desktop_ = StandinDesktop::Start(&error, underWorkerW)) << error;
    for (const StandinIcon& icon : icons) ASSERT_TRUE(desktop_->AddIcon(icon.label, icon.x, icon.y));
  }
  void StartKestrin() {
    std::string error;
    if (k_) ExpectBoxes({});
    k_.reset();
    ASSERT_TRUE(k_ = Kestrin::Start(dir_->File("Kestrin.exe"), "", &error)) << error;
    ASSERT_TRUE(k_->WaitForMainWindow(30000)) << "no main window";
    ASSERT_TRUE(k_->WaitIdle());
  }
  // The boxes shown since the last look, all captioned "Kestrin" and owned by the window.
  std::vector<SeenBox> ExpectBoxes(const std::vector<std::string>& texts, HWND owner = nullptr) {
    const std::vector<SeenBox> boxes = k_->TakeBoxes();
    std::vector<std::string> seen;
    for (const SeenBox& box : boxes) {
      seen.push_back(box.text);
      EXPECT_TRUE(box.caption == "Kestrin" && box.owner == (owner ? owner : k_->main())) << box.text;
    }
    EXPECT_EQ(texts, seen);
    return boxes;
  }
  void MoveIcons(const std::vector<StandinIcon>& to) {
    for (size_t i = 0; i < to.size(); ++i) ASSERT_TRUE(desktop_->MoveIcon(i, to[i].x, to[i].y)) << to[i];
  }
  // The display mode as a fresh process sees it, the ramp, the icons as the stand-in has them.
  void ExpectScreen(const std::string& size, const Ramp& ramp, const std::vector<StandinIcon>& icons,
                    const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(size, CurrentSizeSettlingAt(size));
    Ramp now{};
    EXPECT_TRUE(ReadScreenRamp(&now) && now == ramp) << "the gamma ramp";
    EXPECT_EQ(icons, desktop_->Icons());
  }
  // The icons, resolution and gamma check boxes, "1" ticked: "110".
  std::string Checks() {
    std::string checks;
    for (int id : {IDC_RESTORE_ICONS_CHECK, IDC_RESTORE_MODE_CHECK, IDC_RESTORE_GAMMA_CHECK})
      checks += std::to_string(k_->CheckState(id));
    return checks;
  }
  std::string File(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
  }
  // How long a command took, from the press until the window is idle again.
  LONGLONG CommandMs(int id) {
    const ULONGLONG pressed = GetTickCount64();
    EXPECT_TRUE(k_->Command(id)) << id;
    return static_cast<LONGLONG>(GetTickCount64() - pressed);
  }
  // Kestrin's command line to its end, from the test's directory or `from`: its exit code, and the lines it printed,
  // exactly or up to a final '*'.
  void ExpectRun(const std::string& arguments, long code, std::string lines = "", const ProgramDirectory* from = {}) {
    std::string out;
    EXPECT_EQ(code, RunAndRead((from ? from : dir_.get())->File("Kestrin.exe"), arguments, &out)) << arguments << out;
    if (!lines.empty() && lines.back() == '*') lines.pop_back(), out.resize(std::min(out.size(), lines.size()));
    EXPECT_EQ(lines, out) << arguments;
  }
  // Whether `done` holds within `ms`, asked every 100 ms.
  static bool Soon(const std::function<bool()>& done, int ms = 30000) {
    for (int waited = 0; waited < ms && !done(); waited += 100) Sleep(100);
    return done();
  }
  // Runs the command and checks what the shell saw of it: a mode change, after the pause the icons, while the wait
  // cursor shows; the gamma not yet changed when the icons move.
  void ExpectModePauseIcons(int command) {
    Ramp ramp{};
    ASSERT_TRUE(ReadScreenRamp(&ramp) && desktop_->Command("mark"));
    ASSERT_TRUE(k_->Command(command));
    const standin::State& seen = desktop_->state();
    ASSERT_TRUE(seen.displayChangedAt && seen.firstMoveAt) << "a mode change and moved icons";
    EXPECT_GE(seen.firstMoveAt - seen.displayChangedAt, kPauseAtLeastMs) << "the icons come after the pause";
    EXPECT_EQ(ramp[128], seen.rampAtFirstMove) << "the gamma comes after the icons";
    EXPECT_NE(seen.cursorAtMark, seen.cursorAtDisplayChange) << "the wait cursor shows before the mode changes";
    EXPECT_NE(seen.cursorAtMark, seen.cursorAtFirstMove) << "the wait cursor shows until the icons move";
  }

  const Modes start_ = DisplayModes();  // the registry's when the test started
  std::unique_ptr<ProgramDirectory> dir_;
  std::unique_ptr<ProgramDirectory> inner_;  // inside dir_, removed once the stand-in that holds its Lumiq.dll has gone
  std::unique_ptr<StandinDesktop> desktop_;
  std::unique_ptr<Kestrin> k_;
};

// First start, the fold, a second start, Save Current, every "Undo" and "Apply Saved", Restore Saved, the About box, a
// killed run and the runs after it on the same shell, each way out, a session's end.
TEST_F(KestrinE2E, ADayOnOneDesktop) {
  ASSERT_EQ("1280 x 1024", RegistrySize()) << "the test display's registry mode";
  ASSERT_TRUE(SetCurrentSize(1024, 768) && SetScreenRamp(kIdentity));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  Kestrin& k = *k_;

  // Nothing saved yet; the Current panel shows the mode.
  const Modes modes = DisplayModes();
  EXPECT_EQ("1024 x 768" + std::to_string(modes[2]) + std::to_string(modes[3]),
            k.Text(IDC_CURRENT_SIZE) + k.Text(IDC_CURRENT_BITS) + k.Text(IDC_CURRENT_FREQUENCY));
  for (int id : {IDC_SAVED_SIZE, IDC_SAVED_BITS, IDC_SAVED_FREQUENCY, IDC_SAVE_TIME}) EXPECT_EQ("?", k.Text(id)) << id;
  for (int id : {IDC_RESTORE_SAVED, IDC_APPLY_SAVED_MODE, IDC_APPLY_SAVED_ICONS, IDC_APPLY_SAVED_GAMMA})
    EXPECT_FALSE(k.IsEnabled(id)) << id;
  EXPECT_TRUE(Checks() == "111" && k.CheckState(IDC_APPLY_AND_SAVE) == BST_CHECKED);
  EXPECT_EQ(k.Control(IDCANCEL), k.Focus()) << "the focus starts on Exit";

  // Folded 13 pixels below Exit, and unfolded.
  EXPECT_EQ(k.Rect(IDCANCEL).bottom + 13, k.Rect().bottom);
  EXPECT_FALSE(IsWindowVisible(k.Control(IDC_ALL_USERS))) << "the keyboard reaches only what shows";
  ASSERT_TRUE(k.Command(IDC_FOLD));
  EXPECT_TRUE(k.Text(IDC_FOLD) == "Less <<" && k.Rect().bottom > k.Rect(IDC_SAVE_TIME).bottom);
  EXPECT_TRUE(IsWindowVisible(k.Control(IDC_ALL_USERS))) << "shows again when unfolded";

  // A second start brings the running window forward and ends.
  std::string error;
  auto second = Kestrin::Start(dir_->File("Kestrin.exe"), "", &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(0, second->ExitCode());
  EXPECT_TRUE(!second->SawVisibleWindow() && second->TakeBoxes().empty());
  EXPECT_EQ(k.main(), GetForegroundWindow()) << "the running window is brought forward";

  // Save Current at the registry's mode, another gamma, moved icons; the exact ramp follows the exponents.
  const Ramp savedRamp = ProgramRamp(1.3, 1.6, 2.2);
  const std::vector<StandinIcon> savedIcons = Offset(kIcons, 250, 60);
  ASSERT_TRUE(k.Command(IDC_RESTORE_DEFAULT_MODE));
  ASSERT_EQ("1280 x 1024", CurrentSizeSettlingAt("1280 x 1024"));
  EXPECT_EQ("1280 x 1024", k.Text(IDC_CURRENT_SIZE));
  ASSERT_TRUE(SetScreenRamp(savedRamp));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(savedIcons));
  ASSERT_TRUE(k.Command(IDC_SAVE_CURRENT));
  const std::string file = File(dir_->SnapshotPath()), blob = IconBlob(savedIcons);
  const double triple[3] = {1.3, 1.6, 2.2};
  ASSERT_EQ(kRecordSize + blob.size() + kTripleSize + kRampBlockSize, file.size());
  EXPECT_EQ(blob + std::string(reinterpret_cast<const char*>(triple), kTripleSize) + "KRP1",
            file.substr(kRecordSize, blob.size() + kTripleSize + 4))
      << "the icon layout, the gamma triple, the ramp block";
  EXPECT_EQ("1280 x 1024" + std::to_string(modes[6]) + std::to_string(modes[7]),
            k.Text(IDC_SAVED_SIZE) + k.Text(IDC_SAVED_BITS) + k.Text(IDC_SAVED_FREQUENCY));
  EXPECT_EQ(21u, k.Text(IDC_SAVE_TIME).size()) << "dd/mm/yyyy - hh:mm:ss";
  for (int id : {IDC_RESTORE_SAVED, IDC_APPLY_SAVED_MODE, IDC_APPLY_SAVED_ICONS, IDC_APPLY_SAVED_GAMMA})
    EXPECT_TRUE(k.IsEnabled(id)) << id;
  EXPECT_EQ(std::vector<std::string>({"Kestrin.exe", "Lumiq.dll", dir_->SnapshotName()}), FileNames(dir_->path));

  // "Undo": the start-up mode, then after the pause the start-up icons; the gamma stays.
  ExpectModePauseIcons(IDC_UNDO_ALL);
  ExpectScreen("1024 x 768", savedRamp, kIcons, "\"Undo\" leaves the gamma");
  EXPECT_EQ("1024 x 768", RegistrySize()) << "\"Apply and save as default\" is checked";

  // Each section's "Apply Saved" and "Undo", each changing its own part alone; modes for all users.
  ASSERT_TRUE(k.Click(IDC_ALL_USERS));
  const Ramp startRamp = ProgramRamp(1.0, 1.0, 1.0);  // the identity, read as 1.0 each
  const std::tuple<int, const char*, const Ramp&, const std::vector<StandinIcon>&> steps[] = {
      {IDC_APPLY_SAVED_ICONS, "1024 x 768", savedRamp, savedIcons},
      {IDC_UNDO_ICONS, "1024 x 768", savedRamp, kIcons},
      {IDC_UNDO_GAMMA, "1024 x 768", startRamp, kIcons},
      {IDC_APPLY_SAVED_GAMMA, "1024 x 768", savedRamp, kIcons},
      {IDC_APPLY_SAVED_MODE, "1280 x 1024", savedRamp, kIcons},
      {IDC_UNDO_MODE, "1024 x 768", savedRamp, kIcons}};
  for (const auto& [command, size, ramp, icons] : steps) {
    ASSERT_TRUE(k.Command(command));
    ExpectScreen(size, ramp, icons, "after command " + std::to_string(command));
    EXPECT_EQ(size, RegistrySize()) << "\"Apply and save as default\" is checked";
    EXPECT_EQ(size, k.Text(IDC_CURRENT_SIZE));
  }
  ASSERT_TRUE(k.Click(IDC_APPLY_TEMPORARILY) && k.Command(IDC_APPLY_SAVED_MODE));
  EXPECT_TRUE(k.CheckState(IDC_APPLY_AND_SAVE) == BST_UNCHECKED &&
              CurrentSizeSettlingAt("1280 x 1024") == "1280 x 1024");
  EXPECT_EQ("1024 x 768", RegistrySize()) << "a temporary change leaves the registry";
  ASSERT_TRUE(k.Command(IDC_RESTORE_DEFAULT_MODE) && k.Click(IDC_APPLY_AND_SAVE));
  EXPECT_EQ("1024 x 768", CurrentSizeSettlingAt("1024 x 768"));

  // Restore Saved: the mode, after the pause the icons, then the gamma, which a driver may reset on a mode change.
  ASSERT_TRUE(SetScreenRamp(kIdentity));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(kIcons));
  ExpectModePauseIcons(IDC_RESTORE_SAVED);
  ExpectScreen("1280 x 1024", savedRamp, savedIcons, "Restore Saved");
  EXPECT_EQ("1280 x 1024", RegistrySize());

  // The About box, from the window menu; its link opens the README beside the program.
  HWND about = nullptr;
  k.SysCommand(SYSCMD_ABOUT | 15);  // the low four bits are masked off
  ASSERT_TRUE(Soon([&] { return IsWindowVisible(about = FindWindowA("#32770", "About Kestrin")); }, 10000));
  EXPECT_EQ(k.main(), GetWindow(about, GW_OWNER));
  HWND link = GetDlgItem(about, IDC_ABOUT_LINK);
  EXPECT_EQ(0u, WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)).find("Kestrin Version 1."));
  EXPECT_EQ("README-Windows.txt", WindowText(link));
  ASSERT_TRUE(WriteFileBytes(dir_->File("README-Windows.txt"), "Kestrin\r\n"));
  PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  HWND viewer = nullptr;
  EXPECT_TRUE(Soon([&] {
    for (HWND w = nullptr; !viewer && (w = FindWindowExA(nullptr, w, nullptr, nullptr)) != nullptr;)
      if (IsWindowVisible(w) && WindowText(w).find("README-Windows") != std::string::npos) viewer = w;
    return viewer != nullptr;
  })) << "no viewer window showing README-Windows.txt";
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(k.WaitIdle());
  ExpectBoxes({});

  // Killed with two boxes unticked: no goodbye to its agent, no options written. The next run on the same shell
  // connects and works.
  ASSERT_TRUE(k.Click(IDC_RESTORE_MODE_CHECK) && k.Click(IDC_RESTORE_GAMMA_CHECK));
  k_.reset();
  ASSERT_NO_FATAL_FAILURE(MoveIcons(kIcons));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  ASSERT_TRUE(k_->Command(IDC_APPLY_SAVED_ICONS));
  EXPECT_EQ(savedIcons, desktop_->Icons());
  EXPECT_EQ("111", Checks()) << "the killed run had two boxes unticked";
  // Every way out writes the three check boxes, which come back at the next start.
  const std::tuple<int, std::function<void()>, std::string> waysOut[] = {
      {IDC_RESTORE_GAMMA_CHECK, [&] { k_->PostKey(VK_ESCAPE); }, "110"},
      {IDC_RESTORE_MODE_CHECK, [&] { k_->Press(IDCANCEL); }, "100"},
      {IDC_RESTORE_ICONS_CHECK, [&] { k_->SysCommand(SC_CLOSE); }, "000"}};
  for (const auto& [check, leave, checks] : waysOut) {
    ASSERT_TRUE(k_->Click(check));
    leave();
    ASSERT_EQ(0, k_->ExitCode()) << "Kestrin ended";
    EXPECT_EQ(Options(checks), File(dir_->File("Kestrin.ini")));
    ASSERT_NO_FATAL_FAILURE(StartKestrin());
    EXPECT_EQ(checks, Checks()) << "at the next start";
  }
  // The session ends: the agent goes at the query, and nothing is written.
  ASSERT_TRUE(DeleteFileA(dir_->File("Kestrin.ini").c_str()));
  ASSERT_TRUE(FindWindowA(nullptr, kestrin::kAgentWindowTitle)) << "connected to the stand-in's agent";
  EXPECT_EQ(1, k_->Send(WM_QUERYENDSESSION)) << "the session may end";
  EXPECT_EQ(nullptr, FindWindowA(nullptr, kestrin::kAgentWindowTitle)) << "the agent window is closed";
  k_->Send(WM_ENDSESSION, TRUE);
  k_.reset();  // the session's end takes the process
  EXPECT_FALSE(FileExists(dir_->File("Kestrin.ini")));
  EXPECT_EQ(0, desktop_->state().faults) << "memory faults inside the shell";
}

// A screen smaller than the unfolded window and no shell at the start: both messages before the window shows. A shell
// that comes later is found; one that restarts connects again quietly. Then the snapshots a user may meet: icons named
// outside the code page, names lost or damaged, a snapshot held open by another program, a damaged file.
TEST_F(KestrinE2E, ShellsThatComeAndGoAndTheSnapshotsUsersMeet) {
  ASSERT_EQ(nullptr, FindWindowA("Progman", nullptr)) << "no shell may be running";
  ASSERT_TRUE(SetCurrentSize(800, 600));
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  for (const SeenBox& box : ExpectBoxes({"Unable to access desktop", "Unable to retrieve icons position"}))
    EXPECT_FALSE(box.ownerVisible) << box.text;
  ASSERT_TRUE(k_->Command(IDC_FOLD));
  EXPECT_GT(k_->Rect().bottom - k_->Rect().top, 600) << "the unfolded window is taller than the screen";
  EXPECT_EQ(0, k_->Rect().top) << "title bar at the top of the work area";
  EXPECT_GE(CommandMs(IDC_UNDO_ALL), kPauseAtLeastMs);
  ExpectBoxes({"Unable to set icons position"});  // no start-up layout, after the pause
  EXPECT_LT(CommandMs(IDC_UNDO_ICONS), kNoPauseBelowMs);
  ASSERT_TRUE(k_->Command(IDC_SAVE_CURRENT));
  ExpectBoxes({"Unable to set icons position", "Unable to retrieve icons position"});
  EXPECT_FALSE(FileExists(dir_->SnapshotPath())) << "nothing saved without the icons";

  ASSERT_NO_FATAL_FAILURE(StartDesktop(kIcons));
  ASSERT_TRUE(k_->Command(IDC_SAVE_CURRENT));
  EXPECT_EQ(IconBlob(kIcons), File(dir_->SnapshotPath()).substr(kRecordSize, IconBlob(kIcons).size()));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(Offset(kIcons, 300, 300), true));  // restarted, its DefView under a WorkerW
  ASSERT_TRUE(k_->Command(IDC_APPLY_SAVED_ICONS));
  EXPECT_EQ(kIcons, desktop_->Icons());
  ExpectBoxes({});

  // Restarted once more, with icons named outside the code page.
  const std::vector<std::wstring> names = {L"Plain", L"R\u00E9sum\u00E9", L"\U0001F4C1 Projects",
                                           L"\U0001F4C2 Projects"};
  ASSERT_NO_FATAL_FAILURE(StartDesktop({}));
  for (size_t i = 0; i < names.size(); ++i)
    ASSERT_TRUE(desktop_->AddIconUtf16(names[i], 20 + 90 * static_cast<int>(i), 40));
  const std::vector<StandinIcon> home = desktop_->Icons(), away = Offset(home, 10, 300);
  ASSERT_TRUE(k_->Command(IDC_SAVE_CURRENT));
  const std::string file = File(dir_->SnapshotPath());
  const size_t plainSize = kRecordSize + 8 + kIconRecordSize * names.size() + kTripleSize;
  ASSERT_GT(file.size(), plainSize) << "the names follow the gamma triple";
  EXPECT_EQ("KUN1", file.substr(plainSize, 4));
  for (int command : {IDC_APPLY_SAVED_ICONS, IDC_RESTORE_SAVED}) {
    ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
    ASSERT_TRUE(k_->Command(command));
    EXPECT_EQ(home, desktop_->Icons());
  }
  // Without the names, or with damaged ones, the labels that hold their names still work.
  std::string damaged = file;
  damaged[plainSize + 20] ^= 0x20;  // inside the first name
  for (const std::string& older : {file.substr(0, plainSize), damaged}) {
    ASSERT_TRUE(WriteFileBytes(dir_->SnapshotPath(), older));
    ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
    ASSERT_TRUE(k_->Command(IDC_APPLY_SAVED_ICONS));
    const std::vector<StandinIcon> now = desktop_->Icons();
    ASSERT_EQ(names.size(), now.size());
    EXPECT_TRUE(now[0].x == home[0].x && now[1].x == home[1].x && now[1].y == home[1].y && now[2].y == away[2].y);
  }
  ExpectBoxes({});

  // Held open by another program: neither saved over nor read, the system's reason told, no temporary file left.
  kestrin::UniqueHandle holder(
      CreateFileA(dir_->SnapshotPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  const std::string reason = SystemText(ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(k_->Command(IDC_SAVE_CURRENT) && k_->Command(IDC_APPLY_SAVED_ICONS));
  holder.reset();
  ExpectBoxes({"Unable to save information : " + reason, "Unable to access information : " + reason});
  EXPECT_EQ(damaged, File(dir_->SnapshotPath()));
  EXPECT_EQ(std::vector<std::string>({"Kestrin.exe", "Lumiq.dll", dir_->SnapshotName()}), FileNames(dir_->path));

  // Damaged: a length word past the end.
  ASSERT_TRUE(WriteFileBytes(dir_->SnapshotPath(), file.substr(0, kRecordSize) + "\xFF\xFF\xFF\xFF"));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(away));
  ASSERT_TRUE(k_->Command(IDC_APPLY_SAVED_ICONS));
  ExpectBoxes({"Unable to read information"});
  EXPECT_EQ(away, desktop_->Icons());
  EXPECT_EQ(0, desktop_->state().faults) << "memory faults inside the shell";
}

// Kestrin without its window: /Save writes what "Save Current" writes; /Restore and each of its parts put back just
// those; /Run puts back what a game changed, however it was started, and passes its exit code on; /Uninstall deletes
// the snapshots beside the program; mistakes are one line.
TEST_F(KestrinE2E, CommandLine) {
  const Ramp saved = ProgramRamp(1.3, 1.3, 1.3), darker = ProgramRamp(1.6, 1.6, 1.6);
  ASSERT_TRUE(SetScreenRamp(saved));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kIcons));
  ExpectRun("/Save", 0);
  const std::string file = File(dir_->SnapshotPath());
  ASSERT_NO_FATAL_FAILURE(StartKestrin());
  ASSERT_TRUE(k_->Command(IDC_SAVE_CURRENT));
  EXPECT_EQ(file.substr(kRecordSize), File(dir_->SnapshotPath()).substr(kRecordSize)) << "as Save Current";

  const std::tuple<const char*, const char*, const Ramp&> restores[] = {{"/Restore /Icons", "1024 x 768", darker},
                                                                        {"/restore /GAMMA", "1024 x 768", saved},
                                                                        {"/Restore /Resolution", "1280 x 1024", saved}};
  ASSERT_TRUE(SetCurrentSize(1024, 768) && SetScreenRamp(darker));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(Offset(kIcons, 400, 300)));
  for (const auto& [arguments, size, ramp] : restores) {  // each part alone, one after the other
    ExpectRun(arguments, 0);
    ExpectScreen(size, ramp, kIcons, arguments);
  }
  // From here on the display's driver resets the ramp on every mode change.
  ASSERT_TRUE(desktop_->Command("driver 1") && k_->Command(IDC_APPLY_SAVED_ICONS)) << "the window's agent still works";

  // From a program folder named outside the code page (Cyrillic "Zhe"): the snapshot and options beside it.
  std::string error;
  const ProgramDirectory* zhe = (inner_ = ProgramDirectory::Create(&error, dir_->File("\xD0\x96\\"))).get();
  ASSERT_TRUE(zhe) << error;
  ExpectRun("/Save", 0, "", zhe);
  ASSERT_TRUE(WriteFileBytes(zhe->File("Kestrin.ini"), Options("001")));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(Offset(kIcons, 400, 300)));
  ExpectRun("/Restore", 0, "", zhe);
  EXPECT_EQ(Offset(kIcons, 400, 300), desktop_->Icons()) << "its options: no icons";
  ExpectRun("/Restore /Icons", 0, "", zhe);
  EXPECT_EQ(kIcons, desktop_->Icons());
  ExpectRun("/Uninstall", 0, "", zhe);
  EXPECT_FALSE(FileExists(zhe->SnapshotPath()));

  // A game that changes mode, registry mode, gamma and icons, and ends with 42; one that is not there.
  ExpectRun("/Run \"" + ExecutableDirectory() + "standin.exe\" --display 800 600 1.6 42", 42);
  ExpectScreen("1280 x 1024", saved, kIcons, "/Run puts the screen back");
  EXPECT_EQ("1280 x 1024", RegistrySize());
  ExpectRun("/Run C:\\no\\such\\game.exe", 1, "Unable to start C:\\no\\such\\game.exe : *");

  // A game in a folder of its own, which it must start in, started by a launcher that ends at once; a broadcast sent
  // meanwhile is answered at once.
  const std::string game = dir_->path + "My Game\\", arguments = "--needs game.dat --display 800 600 1.6 42";
  ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr) && WriteFileBytes(game + "game.dat", "level 1") &&
              CopyFileA((ExecutableDirectory() + "standin.exe").c_str(), (game + "game.exe").c_str(), TRUE));
  auto run = Kestrin::Start(
      dir_->File("Kestrin.exe"),
      "/Run \"" + game + "game.exe\" --needs game.dat --launch --late 3000 --display 800 600 1.6 42", &error);
  ASSERT_TRUE(run) << error;
  ASSERT_FALSE(run->TopWindows("Kestrin.RunWait", 20000).empty())
      << "/Run waits with a window that hears the session end";
  for (HWND window : run->TopWindows()) {  // all of them, as a broadcast goes
    const ULONGLONG sent = GetTickCount64();
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"), SMTO_NORMAL,
                                    5000, &answer));
    EXPECT_LT(GetTickCount64() - sent, 1000u) << "a broadcast waits for the game";
  }
  EXPECT_EQ(3, run->ExitCode(30000)) << "the launcher's own exit code, once its game has ended";
  Sleep(3000);  // a game still running, 3 s late, would change the screen meanwhile
  ExpectScreen("1280 x 1024", saved, kIcons, "/Run waits for the game a launcher started");
  // The same game through its shortcut, which names the folder to start in; a saved game, a document that the game
  // opens, started as the shell would start it.
  ASSERT_TRUE(MakeShortcut(game + "My Game.lnk", game + "game.exe", arguments, game));
  ExpectRun("/Run \"" + game + "My Game.lnk\"", 42);
  ExpectScreen("1280 x 1024", saved, kIcons, "/Run of a shortcut");
  const std::string command = "\"" + game + "game.exe\" " + arguments;
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CLASSES_ROOT, ".kestrinsave", nullptr, REG_SZ, "KestrinTestSave", 16));
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CLASSES_ROOT, "KestrinTestSave\\shell\\open\\command", nullptr, REG_SZ,
                                           command.c_str(), static_cast<DWORD>(command.size() + 1)));
  ASSERT_TRUE(WriteFileBytes(game + "slot 1.kestrinsave", "level 2"));
  ExpectRun("/Run " + game + "slot 1.kestrinsave", 42);
  ExpectScreen("1280 x 1024", saved, kIcons, "/Run of a document");
  for (const char* key : {".kestrinsave", "KestrinTestSave"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);

  // The session ends while the game runs: the screen goes back before Kestrin is let go.
  ASSERT_TRUE(run = Kestrin::Start(dir_->File("Kestrin.exe"),
                                   "/Run \"" + game + "game.exe\" --display 800 600 1.6 0 --hold 5000", &error))
      << error;
  ASSERT_EQ("800 x 600", CurrentSizeSettlingAt("800 x 600"));
  for (UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
    for (HWND window : run->TopWindows("Kestrin.RunWait", 20000)) {
      DWORD_PTR answer = 0;
      EXPECT_TRUE(SendMessageTimeoutA(window, message, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 15000, &answer));
      EXPECT_TRUE(message != WM_QUERYENDSESSION || answer == TRUE) << "the session may end";
    }
  }
  ExpectScreen("1280 x 1024", saved, kIcons, "at the session's end");
  EXPECT_EQ(1, run->ExitCode()) << "the game's end was not seen";

  // The window last captured and applied three icons; a larger desktop is saved and restored beside it.
  ASSERT_TRUE(desktop_->Command("addmany 40"));
  const std::vector<StandinIcon> many = desktop_->Icons();
  ExpectRun("/Save", 0);
  ASSERT_NO_FATAL_FAILURE(MoveIcons(Offset(many, 5, 5)));
  ExpectRun("/Restore /Icons", 0);
  EXPECT_EQ(many, desktop_->Icons());
  ExpectRun("/Restore \"\" /Icons", 2, "an empty argument after /Restore\r\nusage: *");  // a batch file's missing %1
  ExpectRun("/Frobnicate", 2, "unknown switch \"/Frobnicate\"\r\nusage: Kestrin [/Save | /Restore [/Icons] *");

  // /Uninstall: every snapshot beside the program and a save's temporary one, nothing else; one held open is named.
  k_.reset();
  const std::string held = dir_->File("PC2_desktop_bob.sav");
  for (const char* name : {"PC1_desktop_anna.sav", "PC2_desktop_bob.sav", "PC1_desktop_anna.tmp", "notes.tmp"})
    ASSERT_TRUE(WriteFileBytes(dir_->File(name), name));
  kestrin::UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ExpectRun("/UNINSTALL", 1, "Unable to delete " + held + " : " + SystemText(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(std::vector<std::string>({"Kestrin.exe", "Lumiq.dll", "PC2_desktop_bob.sav", "notes.tmp"}),
            FileNames(dir_->path));
}

// /Watch guards the desktop through a week: each resolution's layout and ramp recorded once they stand, put back
// when the display returns to it (the shell having re-laid the icons) and when the shell restarts; beside it /Save,
// a second /Watch and /Watch /Stop.
TEST_F(KestrinE2E, AWeekUnderTheWatcher) {
  // The driver's own identity ramp comes back exactly; Wine refuses the calibrated one as read back, so its
  // exponents rebuild it.
  const Ramp calibrated = ProgramRamp(1.3, 1.3, 1.3), afterDriver = kIdentity;
  ASSERT_TRUE(SetScreenRamp(calibrated));
  ASSERT_NO_FATAL_FAILURE(StartDesktop(kIcons));
  ASSERT_TRUE(desktop_->Command("relay 1") && desktop_->Command("driver 1"));
  std::string error;
  auto watcher = Kestrin::Start(dir_->File("Kestrin.exe"), "/Watch", &error);
  ASSERT_TRUE(watcher) << error;
  // Started is not yet watching: a second /Watch before the first holds its mutex would be the watcher.
  ASSERT_FALSE(watcher->TopWindows("Kestrin.Watcher", 20000).empty());
  ExpectRun("/Watch", 0, "Kestrin is already watching this desktop\r\n");
  const std::string stem = dir_->SnapshotPath().substr(0, dir_->SnapshotPath().size() - 4);
  auto recorded = [&](const char* size, const std::vector<StandinIcon>& icons) {  // the size's record holds them
    std::string bytes, blob = IconBlob(icons);
    return Soon([&] {
      return ReadFileBytes(stem + "_" + size + ".sav", &bytes) && !bytes.compare(kRecordSize, blob.size(), blob);
    });
  };
  auto settlesAt = [&](const std::vector<StandinIcon>& icons) {  // within the 10 s the watcher allows itself
    return Soon([&] { return desktop_->Icons() == icons; }, 10000);
  };
  const std::vector<StandinIcon> home = Offset(kIcons, 200, 100), small = Offset(kIcons, 40, 20),
                                 relaid = {
                                     {kIcons[0].label, 10, 10}, {kIcons[1].label, 10, 90}, {kIcons[2].label, 10, 170}};
  ASSERT_NO_FATAL_FAILURE(MoveIcons(home));
  ASSERT_TRUE(recorded("1280x1024", home)) << "the layout the user left standing";

  // To 1024 x 768: the shell re-lays the icons and the driver resets the ramp. Nothing to put back yet; what the
  // user then arranges there is that size's own.
  ASSERT_TRUE(SetCurrentSize(1024, 768));
  ASSERT_TRUE(settlesAt(relaid));
  ASSERT_NO_FATAL_FAILURE(MoveIcons(small));
  ASSERT_TRUE(recorded("1024x768", small));
  // Back and forth: each size's icons and ramp return.
  for (const auto& [width, height, icons, ramp] :
       {std::make_tuple(1280, 1024, home, calibrated), std::make_tuple(1024, 768, small, afterDriver)}) {
    ASSERT_TRUE(SetCurrentSize(width, height));
    EXPECT_TRUE(settlesAt(icons)) << width;
    Ramp now{};
    EXPECT_TRUE(Soon([&] { return ReadScreenRamp(&now) && now == ramp; }, 5000))
        << "the ramp recorded with the icons at " << width;
  }

  // The shell restarts with its icons where it puts them, and says so: the watcher puts them back. Beside it the
  // command line saves.
  ASSERT_NO_FATAL_FAILURE(StartDesktop(relaid));
  EXPECT_TRUE(settlesAt(small)) << "after the shell's restart";
  ExpectRun("/Save", 0);
  // Back from sleep: the ramp may be lost, the record's comes back.
  HWND window = FindWindowA("Kestrin.Watcher", nullptr);
  ASSERT_TRUE(window);
  ASSERT_TRUE(SetScreenRamp(calibrated));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 10000, &ignored);
  Ramp now{};
  EXPECT_TRUE(ReadScreenRamp(&now) && now == afterDriver) << "the ramp after a resume";

  ExpectRun("/Watch /Stop", 0);
  EXPECT_EQ(0, watcher->ExitCode()) << "the watcher ends when asked";
  ExpectRun("/watch /stop", 1, "No Kestrin watcher is running\r\n");
  EXPECT_TRUE(watcher->TakeBoxes().empty());
}

}  // namespace
