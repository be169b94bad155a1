// The snapshot and options files beside engine_tests.exe, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "agent_client_win.h"
#include "agent_link_win.h"
#include "display_mode_win.h"
#include "engine_test_support_win.h"
#include "gamma_win.h"
#include "lumiq_win.h"
#include "message_box_win.h"
#include "options_file_win.h"
#include "saved_panel_win.h"
#include "snapshot_file_win.h"
#include "snapshot_paths_win.h"
#include "standin_client_win.h"
#include "uninstall_win.h"
#include "text_rules.h"

using namespace kestrin;

namespace {

std::string BinDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string text = path;
  return text.substr(0, text.find_last_of('\\') + 1);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

// Moves the files the tests touch out of the way and back afterwards, whatever happens;
// removes what the tests made. Restores the current directory, which DeleteAllSnapshots
// changes.
class FileGuard {
 public:
  explicit FileGuard(std::vector<std::string> paths) : paths_(std::move(paths)) {
    GetCurrentDirectoryA(MAX_PATH, cwd_);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    aside_ = std::string(temp) + "kestrin-snapshot-aside-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(aside_.c_str(), nullptr);
    for (size_t i = 0; i < paths_.size(); ++i)
      MoveFileExA(paths_[i].c_str(), Aside(i).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
  }
  ~FileGuard() {
    for (size_t i = 0; i < paths_.size(); ++i) {
      SetFileAttributesA(paths_[i].c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileA(paths_[i].c_str())) RemoveDirectoryA(paths_[i].c_str());
      MoveFileExA(Aside(i).c_str(), paths_[i].c_str(), MOVEFILE_COPY_ALLOWED);
    }
    RemoveDirectoryA(aside_.c_str());
    SetCurrentDirectoryA(cwd_);
    // Wine keeps the last profile read in memory: no stale options for the next test.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
  }

 private:
  std::string Aside(size_t i) const { return aside_ + std::to_string(i); }
  std::vector<std::string> paths_;
  std::string aside_;
  char cwd_[MAX_PATH] = {};
};

OwnedIconLayout Owned(const std::vector<uint8_t>& blob) {
  OwnedIconLayout layout;
  layout.length = uint32_t(blob.size());
  layout.bytes.reset(new uint8_t[blob.size() + 2]());
  std::memcpy(layout.bytes.get(), blob.data(), blob.size());
  return layout;
}
const std::vector<TestIcon> kTwoIcons = {{"Recycle Bin", 20, 30}, {"Notes", 300, 40}};

DEVMODEA Mode(DWORD width, DWORD height, DWORD bits, DWORD frequency) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmBitsPerPel = bits;
  mode.dmDisplayFrequency = frequency;
  return mode;
}

// The file as its layout demands, put together here: record (dmSize 156, dmDriverExtra 0,
// the bytes the system did not fill zero), blob, three little-endian doubles.
std::string ExpectedFile(const DEVMODEA& mode, const OwnedIconLayout& icons, GammaTriple g) {
  std::string bytes(156, '\0');
  std::memcpy(&bytes[0], &mode, mode.dmSize);
  bytes[36] = char(156);
  bytes[37] = bytes[38] = bytes[39] = 0;
  bytes.append(reinterpret_cast<const char*>(icons.bytes.get()), icons.length);
  const double triple[3] = {g.red, g.green, g.blue};  // x86 and x64 are little-endian
  return bytes.append(reinterpret_cast<const char*>(triple), 24);
}

std::string SystemText(DWORD error) {
  std::string text;
  EXPECT_TRUE(SystemErrorText(error, &text)) << error;
  return text;
}

void ExpectOneBox(MessageBoxWatcher& watcher, HWND owner, const std::string& text, BoxIcon icon = BoxIcon::kExclamation) {
  const std::vector<ShownMessage> shown = watcher.Take();
  ASSERT_EQ(1u, shown.size()) << text;
  EXPECT_EQ(text, shown[0].text);
  EXPECT_EQ(icon, shown[0].icon);
  EXPECT_EQ(TestProgramTitle(), shown[0].caption);
  EXPECT_EQ(owner, shown[0].owner);
}

constexpr int kSavedButtons[] = {1015, 1009, 1016, 1033};

// Records the order in which buttons are enabled.
std::vector<int> g_enabled;
std::map<HWND, WNDPROC> g_original;
LRESULT CALLBACK RecordEnable(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENABLE && wParam) g_enabled.push_back(GetDlgCtrlID(button));
  return CallWindowProcA(g_original[button], button, message, wParam, lParam);
}

class SnapshotFileTest : public testing::Test {
 protected:
  SnapshotFileTest()
      : dir_(BinDirectory()),
        guard_({dir_ + "engine_tests.ini", Snapshot(), Temporary(), dir_ + "notes.save",
                dir_ + "data.savings", dir_ + "other.sav", dir_ + "keep.txt",
                dir_ + "PC1_desktop_anna.sav", dir_ + "pc2_DESKTOP_bob.SAV"}) {}
  void SetUp() override { ASSERT_TRUE(dialog_.hwnd()); }

  static std::string Snapshot() {
    std::string path;
    EXPECT_TRUE(SnapshotPath(&path));
    return path;
  }
  static std::string Temporary() { return Snapshot().substr(0, Snapshot().size() - 4) + ".tmp"; }
  int Save(const DEVMODEA& mode, const OwnedIconLayout& icons, GammaTriple gamma = {}) {
    return WriteSnapshotFile(dialog_.hwnd(), mode, icons, gamma);
  }
  int Load(OwnedIconLayout* icons, DEVMODEA* mode = nullptr, GammaTriple* gamma = nullptr) {
    DEVMODEA m;
    GammaTriple g;
    SYSTEMTIME time;
    return LoadSnapshot(dialog_.hwnd(), mode ? mode : &m, icons, &time, gamma ? gamma : &g);
  }

  std::string dir_;
  FileGuard guard_;
  EngineTestDialog dialog_;
};

}  // namespace

TEST_F(SnapshotFileTest, PathsLieBesideTheProgram) {
  char user[300] = {}, computer[32] = {};
  DWORD userSize = sizeof user, computerSize = sizeof computer;
  ASSERT_TRUE(GetUserNameA(user, &userSize) && GetComputerNameA(computer, &computerSize));
  EXPECT_EQ(dir_ + computer + "_desktop_" + user + ".sav", Snapshot());
  std::string options;
  ASSERT_TRUE(OptionsPath(&options));
  EXPECT_EQ(dir_ + "engine_tests.ini", options);
}

TEST_F(SnapshotFileTest, SaveAndLoadRoundTripByteForByte) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  ASSERT_LE(mode.dmSize, 156) << "Wine reports 124 here, Windows 156: stored as 156 either way";
  const OwnedIconLayout icons = Owned(MakeBlob(kTwoIcons)), none = Owned(MakeBlob({}));
  MessageBoxWatcher watcher;
  ASSERT_EQ(1, Save(mode, icons, {1.3, 1.6, 2.2}));
  EXPECT_EQ(ExpectedFile(mode, icons, {1.3, 1.6, 2.2}), Read(Snapshot()));
  EXPECT_EQ(180u + 8 + 268 * 2, Read(Snapshot()).size());

  // Over an existing hidden snapshot: replaced whole, still hidden, no temporary left.
  ASSERT_TRUE(SetFileAttributesA(Snapshot().c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(1, Save(mode, none, {1.1, 1.0, 3.0}));
  EXPECT_EQ(ExpectedFile(mode, none, {1.1, 1.0, 3.0}), Read(Snapshot()));
  EXPECT_TRUE(GetFileAttributesA(Snapshot().c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(Exists(Temporary()));

  ASSERT_EQ(1, Save(mode, icons, {1.3, 1.6, 2.2}));
  DEVMODEA loaded;
  OwnedIconLayout loadedIcons;
  GammaTriple gamma;
  ASSERT_EQ(1, Load(&loadedIcons, &loaded, &gamma));
  EXPECT_EQ(Read(Snapshot()).substr(0, 156), std::string(reinterpret_cast<char*>(&loaded), 156));
  ASSERT_EQ(icons.length, loadedIcons.length);
  EXPECT_EQ(0, std::memcmp(icons.bytes.get(), loadedIcons.bytes.get(), icons.length));
  EXPECT_TRUE(gamma.red == 1.3 && gamma.green == 1.6 && gamma.blue == 2.2);
  EXPECT_TRUE(watcher.Take().empty());
}

TEST_F(SnapshotFileTest, SavedPanelShowsTheFileAndEnablesTheFourButtonsInOrder) {
  g_enabled.clear();
  for (int id : kSavedButtons) {
    HWND button = GetDlgItem(dialog_.hwnd(), id);
    g_original[button] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordEnable)));
  }
  MessageBoxWatcher watcher;
  ShowSavedSettings(dialog_.hwnd());  // no snapshot yet: nothing shown, nothing changes
  EXPECT_TRUE(watcher.Take().empty());
  EXPECT_EQ("?", dialog_.Text(1008));
  EXPECT_EQ("?", dialog_.Text(1041));
  EXPECT_TRUE(g_enabled.empty());

  ASSERT_EQ(1, Save(Mode(1024, 768, 16, 75), Owned(MakeBlob(kTwoIcons))));
  // Saved 5 March 2005, 21:07:09 UTC: shown in local time.
  SYSTEMTIME utc = {2005, 3, 0, 5, 21, 7, 9, 0}, local;
  FILETIME written;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &written) && SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  HANDLE file = CreateFileA(Snapshot().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
  ShowSavedSettings(dialog_.hwnd());
  EXPECT_EQ("1024 x 768", dialog_.Text(1008));
  EXPECT_EQ("16", dialog_.Text(1006));
  EXPECT_EQ("75", dialog_.Text(1007));
  EXPECT_EQ(SaveTimeText({local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond}),
            dialog_.Text(1041));
  EXPECT_EQ(std::vector<int>(std::begin(kSavedButtons), std::end(kSavedButtons)), g_enabled);
  EXPECT_TRUE(watcher.Take().empty());
  for (auto& [button, original] : g_original)
    SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  g_original.clear();
}

TEST_F(SnapshotFileTest, HeldSnapshotIsNeitherSavedOverNorRead) {
  ASSERT_TRUE(Write(Snapshot(), std::string("old\0\1", 5)));
  HANDLE holder = CreateFileA(Snapshot().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  MessageBoxWatcher watcher;
  EXPECT_EQ(0, Save(Mode(800, 600, 32, 60), Owned(MakeBlob(kTwoIcons))));
  ExpectOneBox(watcher, dialog_.hwnd(), "Unable to save information : " + SystemText(ERROR_SHARING_VIOLATION));
  OwnedIconLayout icons;
  EXPECT_EQ(0, Load(&icons));
  EXPECT_FALSE(icons.bytes);
  ExpectOneBox(watcher, dialog_.hwnd(), "Unable to access information : " + SystemText(ERROR_SHARING_VIOLATION));
  CloseHandle(holder);
  EXPECT_EQ(std::string("old\0\1", 5), Read(Snapshot()));
  EXPECT_FALSE(Exists(Temporary()));
}

TEST_F(SnapshotFileTest, FailedSaveKeepsTheOldSnapshotAndLeavesNoTemporary) {
  ASSERT_TRUE(Write(Snapshot(), "old"));
  MessageBoxWatcher watcher;
  ASSERT_TRUE(CreateDirectoryA(Temporary().c_str(), nullptr)) << "the temporary file's name taken";
  EXPECT_EQ(0, Save(Mode(800, 600, 32, 60), Owned(MakeBlob(kTwoIcons))));
  ExpectOneBox(watcher, dialog_.hwnd(), "Unable to save information : " + SystemText(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(GetFileAttributesA(Temporary().c_str()) & FILE_ATTRIBUTE_DIRECTORY) << "not ours to delete";
  ASSERT_TRUE(RemoveDirectoryA(Temporary().c_str()));

  OwnedIconLayout disagreeing = Owned(MakeBlob(kTwoIcons));
  disagreeing.length = 8;
  EXPECT_EQ(0, Save(Mode(800, 600, 32, 60), disagreeing));
  ExpectOneBox(watcher, dialog_.hwnd(), "Unable to save information");
  EXPECT_EQ("old", Read(Snapshot()));
  EXPECT_FALSE(Exists(Temporary()));
}

// ReplaceFile failing as the system can once the new file is complete. Whatever happens
// next, a snapshot is left under its own name: the new one wherever the system allows.
struct PlacementFailure {
  static DWORD replaceError, moveError;
  static bool replaceRemovesOld;
  static BOOL WINAPI Replace(LPCSTR replaced, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID) {
    if (replaceRemovesOld) DeleteFileA(replaced);
    SetLastError(replaceError);
    return FALSE;
  }
  static BOOL WINAPI Move(LPCSTR from, LPCSTR to, DWORD flags) {
    if (!moveError) return MoveFileExA(from, to, flags);
    SetLastError(moveError);
    return FALSE;
  }
  PlacementFailure() {
    snapshotPlacementCalls.replaceFile = Replace;
    snapshotPlacementCalls.moveFile = Move;
  }
  ~PlacementFailure() { snapshotPlacementCalls = SnapshotPlacementCalls(); }
};
DWORD PlacementFailure::replaceError, PlacementFailure::moveError;
bool PlacementFailure::replaceRemovesOld;

TEST_F(SnapshotFileTest, FailedReplaceStillLeavesASnapshotUnderItsOwnName) {
  PlacementFailure failing;
  MessageBoxWatcher watcher;
  const OwnedIconLayout icons = Owned(MakeBlob(kTwoIcons));
  struct Case {
    const char* what;
    DWORD replaceError;
    bool oldRemoved;
    DWORD moveError;
    bool saved;
  };
  for (const Case& c : {
           Case{"the old file could not be removed", ERROR_UNABLE_TO_REMOVE_REPLACED, false, 0, true},
           Case{"the old file vanished meanwhile", ERROR_FILE_NOT_FOUND, true, 0, true},
           Case{"the old file went, the new one could not move", ERROR_UNABLE_TO_MOVE_REPLACEMENT, true,
                ERROR_ACCESS_DENIED, true},
           Case{"neither call can do anything", ERROR_SHARING_VIOLATION, false, ERROR_SHARING_VIOLATION, false},
       }) {
    ASSERT_TRUE(Write(Snapshot(), "old")) << c.what;
    PlacementFailure::replaceError = c.replaceError;
    PlacementFailure::replaceRemovesOld = c.oldRemoved;
    PlacementFailure::moveError = c.moveError;
    EXPECT_EQ(c.saved ? 1 : 0, Save(Mode(800, 600, 32, 60), icons)) << c.what;
    OwnedIconLayout loaded;
    if (c.saved) {
      EXPECT_TRUE(watcher.Take().empty()) << c.what;
      EXPECT_EQ(1, Load(&loaded)) << c.what << ": the new snapshot is in place";
    } else {
      ExpectOneBox(watcher, dialog_.hwnd(), "Unable to save information : " + SystemText(ERROR_SHARING_VIOLATION));
      EXPECT_EQ("old", Read(Snapshot())) << c.what;
    }
    EXPECT_FALSE(Exists(Temporary())) << c.what;
  }
}

TEST_F(SnapshotFileTest, DamagedSnapshotsAreRefusedWithoutSystemText) {
  const DEVMODEA mode = Mode(800, 600, 32, 60);
  const std::string good = std::string(reinterpret_cast<const char*>(&mode), 156) +
                           std::string("\x14\x01\0\0\1\0\0\0", 8) + std::string(268 + 24, '\0');
  auto damaged = [&](size_t at, const std::string& bytes, size_t size) {
    return good.substr(0, at) + bytes + good.substr(at + bytes.size(), size - at - bytes.size());
  };
  MessageBoxWatcher watcher;
  for (const std::string& file : {damaged(0, "", 100), damaged(36, std::string("\x9b\0", 2), 188),  // dmSize 155
                                  damaged(38, std::string("\x04\0", 2), 188),                        // dmDriverExtra 4
                                  damaged(156, std::string("\4\0\0\0", 4), good.size()),
                                  damaged(156, "\xff\xff\xff\xff", good.size()),
                                  damaged(156, std::string("\x08\0\0\0", 4), good.size()),
                                  damaged(0, "", 156 + 200)}) {  // ends inside the icons
    ASSERT_TRUE(Write(Snapshot(), file));
    OwnedIconLayout icons;
    EXPECT_EQ(0, Load(&icons)) << file.size();
    EXPECT_TRUE(!icons.bytes && icons.length == 0);
    ExpectOneBox(watcher, dialog_.hwnd(), "Unable to read information");
  }
  for (int id : kSavedButtons) EXPECT_FALSE(dialog_.IsEnabled(id)) << id;

  ASSERT_TRUE(Write(Snapshot(), good.substr(0, 156 + 276)));
  OwnedIconLayout icons;
  GammaTriple gamma{2.0, 2.0, 2.0};
  EXPECT_EQ(1, Load(&icons, nullptr, &gamma)) << "ending right after the icons";
  EXPECT_TRUE(gamma.red == 1.0 && gamma.green == 1.0 && gamma.blue == 1.0);
  EXPECT_TRUE(watcher.Take().empty());
}

TEST_F(SnapshotFileTest, OptionsDefaultsValuesAndKeysWrittenInOrder) {
  auto boxes = [&] {
    for (int id : {1044, 1045, 1046}) dialog_.SetChecked(id, id == 1044);
    ReadOptions(dialog_.hwnd());
    return std::vector<bool>{dialog_.IsChecked(1044), dialog_.IsChecked(1045), dialog_.IsChecked(1046)};
  };
  const std::string ini = dir_ + "engine_tests.ini";
  EXPECT_EQ((std::vector<bool>{true, true, true}), boxes()) << "no file";
  ASSERT_TRUE(Write(ini, "[OPTIONS]\r\nCHECK_GAMMA=0\r\n"));
  EXPECT_EQ((std::vector<bool>{true, true, false}), boxes());
  for (const auto& [value, checked] : std::map<std::string, bool>{
           {"abc", false}, {"", false}, {"2", true}, {"-1", true}, {std::string(100, '9'), true}}) {
    ASSERT_TRUE(Write(ini, "[OPTIONS]\r\nCHECK_RESOLUTION=" + value + "\r\n"));
    EXPECT_EQ(checked, boxes()[1]) << '"' << value << '"';
  }

  ASSERT_TRUE(DeleteFileA(ini.c_str()));
  for (int id : {1044, 1045, 1046}) dialog_.SetChecked(id, id == 1045);
  WriteOptions(dialog_.hwnd());
  const std::string text = Read(ini);
  const size_t icons = text.find("CHECK_ICONS=0"), mode = text.find("CHECK_RESOLUTION=1"),
               gamma = text.find("CHECK_GAMMA=0");
  EXPECT_TRUE(text.find("[OPTIONS]") < icons && icons < mode && mode < gamma && gamma != std::string::npos)
      << "a missing file is created, the keys in order: " << text;
  EXPECT_EQ((std::vector<bool>{false, true, false}), boxes());
}

TEST_F(SnapshotFileTest, DeleteAllSnapshotsRemovesOnlySnapshotsOfTheProgramDirectory) {
  const std::vector<std::string> kept = {"engine_tests.ini", "notes.save", "data.savings", "other.sav", "keep.txt"};
  for (const std::string& name : kept) ASSERT_TRUE(Write(dir_ + name, name));
  for (const std::string& path : {dir_ + "PC1_desktop_anna.sav", dir_ + "pc2_DESKTOP_bob.SAV", Snapshot()})
    ASSERT_TRUE(Write(path, "snapshot"));
  // The system's "*.sav" search reaches the look-alikes through their 8.3 names.
  WIN32_FIND_DATAA entry;
  std::vector<std::string> matched;
  HANDLE search = FindFirstFileA((dir_ + "*.sav").c_str(), &entry);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  do matched.push_back(entry.cFileName);
  while (FindNextFileA(search, &entry));
  FindClose(search);
  EXPECT_NE(matched.end(), std::find(matched.begin(), matched.end(), "notes.save"));

  // A snapshot in the current directory, not the program's, stays.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string elsewhere = std::string(temp) + "kestrin-snapshot-cwd\\", foreign = elsewhere + "PC3_desktop_carl.sav";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(Write(foreign, "foreign") && SetCurrentDirectoryA(elsewhere.c_str()));

  DeleteAllSnapshots();
  for (const std::string& name : kept) EXPECT_TRUE(Exists(dir_ + name)) << name;
  for (const std::string& path : {dir_ + "PC1_desktop_anna.sav", dir_ + "pc2_DESKTOP_bob.SAV", Snapshot()})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_TRUE(Exists(foreign));
  DeleteFileA(foreign.c_str());
  SetCurrentDirectoryA(dir_.c_str());
  RemoveDirectoryA(elsewhere.c_str());
}

TEST_F(SnapshotFileTest, SaveCurrentStoresTheScreenAndTheStandinIcons) {
  std::string error;
  auto desktop = StandinDesktop::Start({}, &error);
  ASSERT_TRUE(desktop) << error;
  for (const TestIcon& icon : kTwoIcons) ASSERT_TRUE(desktop->AddIcon(icon.label, icon.x, icon.y));
  AgentClient client;
  struct Unhook {
    AgentClient* client;
    ~Unhook() { DisconnectAgent(client), SetExplorerHook(0); }
  } unhook{&client};
  MessageBoxWatcher watcher;
  ASSERT_EQ(1, ConnectAgent(dialog_.hwnd(), &client, true));

  SaveSnapshot(dialog_.hwnd(), &client);
  EXPECT_TRUE(watcher.Take().empty());
  DEVMODEA mode;
  GammaTriple gamma;
  ASSERT_TRUE(ReadCurrentDisplayMode(&mode) && ReadGamma(dialog_.hwnd(), &gamma));
  const std::string saved = Read(Snapshot());
  EXPECT_EQ(ExpectedFile(mode, Owned(MakeBlob(kTwoIcons)), gamma), saved);
  EXPECT_EQ(std::to_string(mode.dmPelsWidth) + " x " + std::to_string(mode.dmPelsHeight), dialog_.Text(1008));
  for (int id : kSavedButtons) EXPECT_TRUE(dialog_.IsEnabled(id)) << id;

  // Without a shell to reach, nothing is written over the snapshot.
  desktop.reset();
  SaveSnapshot(dialog_.hwnd(), &client);
  ExpectOneBox(watcher, dialog_.hwnd(), "Unable to retrieve icons position", BoxIcon::kStop);
  EXPECT_EQ(saved, Read(Snapshot()));
}
