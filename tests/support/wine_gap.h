// The one way a test marks a check Wine cannot make: WINE_GAP(condition, why) is true
// under Wine when `condition` holds, after recording why; the caller then skips or
// replaces the check. scripts/test counts and lists the gaps met in its summary.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <windows.h>

namespace kestrin::test {

inline bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

inline bool RecordWineGap(const char* why) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const char* suite = test ? test->test_suite_name() : "?";
  const char* name = test ? test->name() : "?";
  std::printf("[ WINE GAP ] %s.%s: %s\n", suite, name, why);
  if (const char* log = std::getenv("KESTRIN_WINE_GAPS"))
    if (FILE* file = std::fopen(log, "a")) std::fprintf(file, "%s.%s: %s\n", suite, name, why), std::fclose(file);
  return true;
}

}  // namespace kestrin::test

#define WINE_GAP(condition, why) (::kestrin::test::UnderWine() && (condition) && ::kestrin::test::RecordWineGap(why))
