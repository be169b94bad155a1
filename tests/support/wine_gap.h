// The one way a test marks a check Wine cannot make: WINE_GAP(condition, why) is true under
// Wine when `condition` holds, after recording why; the caller then skips or replaces the
// check. scripts/test counts and lists the gaps met (from $KESTRIN_WINE_GAPS) in its summary.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

inline bool RecordWineGap(const char* why) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string line = std::string(test->test_suite_name()) + "." + test->name() + ": " + why + "\n";
  std::fputs(("[ WINE GAP ] " + line).c_str(), stdout);
  FILE* log = std::getenv("KESTRIN_WINE_GAPS") ? std::fopen(std::getenv("KESTRIN_WINE_GAPS"), "a") : nullptr;
  return !log || (std::fputs(line.c_str(), log), std::fclose(log), true);
}

#define WINE_GAP(condition, why) \
  (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") && (condition) && RecordWineGap(why))
