// Clock and summary shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

inline double NowMicroseconds() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * 1e6 / double(frequency.QuadPart);
}

inline double NowMilliseconds() { return NowMicroseconds() / 1e3; }

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
