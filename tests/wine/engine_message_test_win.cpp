// The engine's message boxes as the user sees them, read from another thread.
#include <gtest/gtest.h>

#include "engine_test_support_win.h"
#include "message_box_win.h"

using namespace kestrin;

TEST(EngineMessages, BoxesCarryTheProgramTitleOwnerAndIcon) {
  EngineTestDialog dialog;
  ASSERT_TRUE(dialog.hwnd());
  MessageBoxWatcher watcher;
  ShowMessage(dialog.hwnd(), "plain", kBoxPlain);
  ShowMessage(dialog.hwnd(), "exclamation", kBoxExclamation);
  ShowMessage(dialog.hwnd(), "stop", kBoxStop);
  const std::vector<ShownMessage> shown = watcher.Take();
  ASSERT_EQ(3u, shown.size());
  EXPECT_EQ("plain", shown[0].text);
  EXPECT_EQ(BoxIcon::kExclamation, shown[0].icon) << "type 0 gets the exclamation icon";
  EXPECT_EQ(BoxIcon::kExclamation, shown[1].icon);
  EXPECT_EQ(BoxIcon::kStop, shown[2].icon);
  for (const ShownMessage& m : shown) {
    EXPECT_EQ(TestProgramTitle(), m.caption);
    EXPECT_EQ(dialog.hwnd(), m.owner);
  }
}

TEST(EngineMessages, SystemTextIsAppendedAsTheSystemGivesIt) {
  std::string text = "unchanged";
  ASSERT_TRUE(SystemErrorText(ERROR_SHARING_VIOLATION, &text));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << "line break kept";
  EXPECT_EQ("Unable to save information : " + text,
            WithSystemErrorText("Unable to save information", ERROR_SHARING_VIOLATION));

  text = "unchanged";
  EXPECT_FALSE(SystemErrorText(0x2FFFFFFF, &text)) << "no text for an unknown code";
  EXPECT_EQ("unchanged", text);
  EXPECT_EQ("Unable to read information", WithSystemErrorText("Unable to read information", 0x2FFFFFFF));
}
