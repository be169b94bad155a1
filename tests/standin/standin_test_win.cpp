// Checks the stand-in desktop itself, so a failing Wine test points at Kestrin, not at it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

void ExpectIcons(StandinDesktop* desktop, const std::vector<StandinIcon>& expected) {
  std::vector<StandinIcon> icons;
  ASSERT_TRUE(desktop->Icons(&icons));
  ASSERT_EQ(icons.size(), expected.size());
  for (size_t i = 0; i < icons.size(); ++i) {
    EXPECT_EQ(std::make_tuple(icons[i].label, icons[i].x, icons[i].y),
              std::make_tuple(expected[i].label, expected[i].x, expected[i].y)) << "icon " << i;
  }
}

TEST(StandinDesktop, IconsKeepTheirTextsAndPositions) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  std::string longLabel;
  while (longLabel.size() < 300) longLabel += static_cast<char>('a' + longLabel.size() % 26);
  std::vector<StandinIcon> icons = {
      {"Recycle Bin", 10, 20}, {"", 120, 20}, {longLabel, 200, 150}, {"Caf\xE9 \x80\xFF", -40, -8}};
  for (const StandinIcon& icon : icons) ASSERT_TRUE(desktop->AddIcon(icon.label, icon.x, icon.y));
  ASSERT_TRUE(desktop->MoveIcon(2, 90000, -70000));  // beyond 16 bits both ways
  icons[2] = {longLabel, 90000, -70000};
  EXPECT_FALSE(desktop->MoveIcon(4, 1, 1));
  ExpectIcons(desktop.get(), icons);
}

TEST(StandinDesktop, WorkerWHostsTheDefViewInsteadOfProgman) {
  auto desktop = StartDesktop(true);
  ASSERT_TRUE(desktop);
  ASSERT_EQ(FindWindowA("Progman", nullptr), desktop->progman());
  EXPECT_EQ(GetTopWindow(desktop->progman()), nullptr);
  HWND host = GetAncestor(desktop->defView(), GA_PARENT);
  char name[32] = {};
  GetClassNameA(host, name, sizeof name);
  EXPECT_STREQ(name, "WorkerW");
  EXPECT_EQ(GetAncestor(host, GA_PARENT), GetDesktopWindow()) << "a top-level window";
  EXPECT_EQ(FindWindowExA(host, nullptr, "SHELLDLL_DefView", nullptr), desktop->defView());
  EXPECT_EQ(GetTopWindow(desktop->defView()), desktop->listView());
  ASSERT_TRUE(desktop->AddIcon("Documents", 64, 96));
  ExpectIcons(desktop.get(), {{"Documents", 64, 96}});
}

TEST(StandinDesktop, HangStopsTheListViewAnsweringWhileItLasts) {
  auto desktop = StartDesktop();
  ASSERT_TRUE(desktop);
  auto answers = [&](UINT ms) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(desktop->listView(), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, ms,
                               &result) != 0;
  };
  ASSERT_TRUE(answers(5000));
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(desktop->Hang(4000));
  EXPECT_FALSE(answers(300));
  bool answered = false;
  while (!answered && GetTickCount64() - start < 20000) answered = answers(200);
  EXPECT_TRUE(answered);
  EXPECT_GE(GetTickCount64() - start, 3500u);
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
}

}  // namespace
