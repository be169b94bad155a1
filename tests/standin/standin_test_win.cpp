// Checks the stand-in desktop itself, so a failing Wine test points at Kestrin, not at it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin_client_win.h"

namespace {

std::unique_ptr<StandinDesktop> StartDesktop(bool underWorkerW = false) {
  StandinOptions options;
  options.underWorkerW = underWorkerW;
  std::string error;
  std::unique_ptr<StandinDesktop> desktop = StandinDesktop::Start(options, &error);
  EXPECT_NE(desktop, nullptr) << error;
  return desktop;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  int n = GetClassNameA(hwnd, name, sizeof name);
  return std::string(name, n > 0 ? static_cast<size_t>(n) : 0);
}

void ExpectIcons(StandinDesktop* desktop, const std::vector<StandinIcon>& expected) {
  std::vector<StandinIcon> icons;
  ASSERT_TRUE(desktop->Icons(&icons));
  ASSERT_EQ(icons.size(), expected.size());
  for (size_t i = 0; i < icons.size(); ++i) {
    EXPECT_EQ(icons[i].label, expected[i].label) << "icon " << i;
    EXPECT_EQ(icons[i].x, expected[i].x) << "icon " << i;
    EXPECT_EQ(icons[i].y, expected[i].y) << "icon " << i;
  }
}

std::string LongLabel() {
  std::string label;
  for (int i = 0; label.size() < 300; ++i) label += static_cast<char>('a' + i % 26);
  return label;
}

TEST(StandinDesktop, WindowTreeIsTheOneKestrinLooksFor) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  EXPECT_EQ(FindWindowA("Progman", "Program Manager"), desktop->progman());
  EXPECT_EQ(GetTopWindow(desktop->progman()), desktop->defView());
  EXPECT_EQ(GetTopWindow(desktop->defView()), desktop->listView());
  EXPECT_EQ(ClassOf(desktop->defView()), "SHELLDLL_DefView");
  EXPECT_EQ(ClassOf(desktop->listView()), "SysListView32");
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(desktop->listView(), &pid), desktop->uiThreadId());
  EXPECT_EQ(pid, desktop->processId());
  EXPECT_EQ(GetProcessId(desktop->process()), desktop->processId());
  EXPECT_EQ(GetWindowThreadProcessId(desktop->progman(), nullptr), desktop->uiThreadId());
}

TEST(StandinDesktop, IconsKeepTheirTextsAndPositions) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  std::vector<StandinIcon> icons = {{"Recycle Bin", 10, 20},
                                    {"", 120, 20},
                                    {LongLabel(), 200, 150},
                                    {"Caf\xE9 \x80\xFF\x01 \xC4\xD6", 300, 400},
                                    {" two  spaces ", -40, -8}};
  for (size_t i = 0; i < icons.size(); ++i) {
    int index = -1;
    ASSERT_TRUE(desktop->AddIcon(icons[i].label, icons[i].x, icons[i].y, &index));
    EXPECT_EQ(index, static_cast<int>(i));
  }
  ExpectIcons(desktop.get(), icons);

  ASSERT_TRUE(desktop->MoveIcon(2, 500, 60));
  icons[2].x = 500;
  icons[2].y = 60;
  ASSERT_TRUE(desktop->MoveIcon(0, 90000, -70000));  // beyond 16 bits both ways
  icons[0].x = 90000;
  icons[0].y = -70000;
  ExpectIcons(desktop.get(), icons);

  EXPECT_FALSE(desktop->MoveIcon(5, 1, 1));
  EXPECT_FALSE(desktop->MoveIcon(-1, 1, 1));
  ExpectIcons(desktop.get(), icons);
}

TEST(StandinDesktop, AutoArrangeTogglesTheStyleBit) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  unsigned style = 0;
  ASSERT_TRUE(desktop->ListViewStyle(&style));
  EXPECT_EQ(style & LVS_TYPEMASK, static_cast<unsigned>(LVS_ICON));
  EXPECT_EQ(style & LVS_AUTOARRANGE, 0u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(desktop->listView(), GWL_STYLE)), style);

  ASSERT_TRUE(desktop->SetAutoArrange(true));
  ASSERT_TRUE(desktop->ListViewStyle(&style));
  EXPECT_NE(style & LVS_AUTOARRANGE, 0u);
  EXPECT_NE(GetWindowLongPtrA(desktop->listView(), GWL_STYLE) & LVS_AUTOARRANGE, 0);

  ASSERT_TRUE(desktop->SetAutoArrange(false));
  ASSERT_TRUE(desktop->ListViewStyle(&style));
  EXPECT_EQ(style & LVS_AUTOARRANGE, 0u);
  EXPECT_EQ(style & LVS_TYPEMASK, static_cast<unsigned>(LVS_ICON));
}

TEST(StandinDesktop, WorkerWHostsTheDefViewInsteadOfProgman) {
  auto desktop = StartDesktop(true);
  ASSERT_TRUE(desktop);
  HWND progman = FindWindowA("Progman", nullptr);
  ASSERT_EQ(progman, desktop->progman());
  EXPECT_EQ(FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr), nullptr);
  EXPECT_EQ(GetTopWindow(progman), nullptr);

  HWND host = GetAncestor(desktop->defView(), GA_PARENT);
  EXPECT_EQ(ClassOf(host), "WorkerW");
  EXPECT_EQ(GetAncestor(desktop->defView(), GA_ROOT), host);
  HWND found = nullptr;
  for (HWND w = FindWindowExA(nullptr, nullptr, "WorkerW", nullptr); w && !found;
       w = FindWindowExA(nullptr, w, "WorkerW", nullptr))
    found = FindWindowExA(w, nullptr, "SHELLDLL_DefView", nullptr);
  EXPECT_EQ(found, desktop->defView());
  EXPECT_EQ(GetTopWindow(desktop->defView()), desktop->listView());

  ASSERT_TRUE(desktop->AddIcon("Documents", 64, 96));
  ExpectIcons(desktop.get(), {{"Documents", 64, 96}});
}

TEST(StandinDesktop, HangStopsTheListViewAnsweringWhileItLasts) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  DWORD_PTR result = 0;
  ASSERT_NE(SendMessageTimeoutA(desktop->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &result), 0);

  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(desktop->Hang(4000));
  EXPECT_LT(GetTickCount64() - start, 2000u) << "the hang reply must not wait for the hang";
  SetLastError(0);
  EXPECT_EQ(SendMessageTimeoutA(desktop->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 300, &result), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));

  bool answered = false;
  while (!answered && GetTickCount64() - start < 20000)
    answered = SendMessageTimeoutA(desktop->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 200, &result) != 0;
  EXPECT_TRUE(answered);
  EXPECT_GE(GetTickCount64() - start, 3500u);
  EXPECT_TRUE(desktop->AddIcon("after", 1, 2));
  ExpectIcons(desktop.get(), {{"after", 1, 2}});
}

TEST(StandinDesktop, FaultCounterCountsAccessViolations) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  long faults = -1;
  ASSERT_TRUE(desktop->FaultCount(&faults));
  EXPECT_EQ(faults, 0);
  ASSERT_TRUE(desktop->ProvokeFault());
  ASSERT_TRUE(desktop->FaultCount(&faults));
  EXPECT_EQ(faults, 1);
  EXPECT_TRUE(desktop->IsRunning());
  EXPECT_TRUE(desktop->AddIcon("still here", 5, 5));
  ExpectIcons(desktop.get(), {{"still here", 5, 5}});
}

TEST(StandinDesktop, FloorTimingsLeaveIconsWhereTheyWere) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  std::vector<StandinIcon> icons;
  for (int i = 0; i < 40; ++i)
    icons.push_back({"item " + std::to_string(i), (i % 8) * 90 - 200, (i / 8) * 110 - 30000});
  for (const StandinIcon& icon : icons) ASSERT_TRUE(desktop->AddIcon(icon.label, icon.x, icon.y));
  double us = -1;
  ASSERT_TRUE(desktop->FloorCaptureMicroseconds(&us));
  EXPECT_GT(us, 0);
  ASSERT_TRUE(desktop->FloorApplyMicroseconds(&us));
  EXPECT_GT(us, 0);
  // The apply writes 16-bit positions back; negative ones must survive that.
  ExpectIcons(desktop.get(), icons);
}

TEST(StandinDesktop, MalformedCommandsAreRefusedAndChangeNothing) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  const std::vector<std::string> bad = {"",
                                        "bogus",
                                        "list extra",
                                        "add 1 2",
                                        "add 1 2 4",
                                        "add 1 2 zz",
                                        "add 1 2 4100",
                                        "add 99999999999 2 41",
                                        "add 1 -2147483649 41",
                                        "add x 2 41",
                                        "add 1 2 41 41",
                                        "move 0 1 2",
                                        "autoarrange 2",
                                        "autoarrange",
                                        "hang -5",
                                        "hang 99999999999999999999",
                                        "faults 1",
                                        std::string(70000, 'a')};
  std::vector<std::string> reply;
  for (const std::string& command : bad) {
    ASSERT_TRUE(desktop->Exchange(command, &reply)) << command.substr(0, 40);
    ASSERT_EQ(reply.size(), 1u) << command.substr(0, 40);
    EXPECT_EQ(reply[0].compare(0, 6, "error "), 0) << command.substr(0, 40) << " -> " << reply[0];
  }
  ExpectIcons(desktop.get(), {});
  ASSERT_TRUE(desktop->Exchange("add -2147483648 2147483647 41", &reply));
  ExpectIcons(desktop.get(), {{"A", -2147483647 - 1, 2147483647}});
}

TEST(StandinDesktop, DestructionEndsEvenAHungStandin) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  standin::Handle process(OpenProcess(SYNCHRONIZE, FALSE, desktop->processId()));
  ASSERT_TRUE(process);
  ASSERT_TRUE(desktop->Hang(60000));
  const ULONGLONG start = GetTickCount64();
  desktop.reset();
  EXPECT_LT(GetTickCount64() - start, 20000u);
  EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
