// The gamma ramp set and read for real on the test display.
#include <gtest/gtest.h>

#include "engine_test_support_win.h"
#include "gamma_win.h"

using namespace kestrin;

namespace {

bool ScreenRamp(GammaRamp* ramp, bool set) {
  HDC dc = GetDC(nullptr);
  if (!dc) return false;
  const BOOL ok = set ? SetDeviceGammaRamp(dc, ramp->data()) : GetDeviceGammaRamp(dc, ramp->data());
  ReleaseDC(nullptr, dc);
  return ok != FALSE;
}

// Wine gap: the dummy display under Wine keeps only the top 8 bits of each entry and gives entry e back
// as (e >> 8) * 257, so what was set reads back at that precision, not entry for entry.
GammaRamp OnDisplay(double red, double green, double blue) {
  GammaRamp ramp;
  BuildGammaRamp(red, green, blue, ramp);
  for (uint16_t& e : ramp) e = static_cast<uint16_t>((e >> 8) * 257);
  return ramp;
}

// Puts back the ramp the screen had when the test started, whatever the test did.
class ScreenRampGuard {
 public:
  ScreenRampGuard() : saved_(ScreenRamp(&ramp_, false)) {}
  ~ScreenRampGuard() {
    if (saved_) ScreenRamp(&ramp_, true);
  }
  bool saved() const { return saved_; }
  const GammaRamp& ramp() const { return ramp_; }

 private:
  GammaRamp ramp_{};
  bool saved_;
};

class EngineGamma : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.hwnd());
    ASSERT_TRUE(guard_.saved()) << "the test display gives its gamma ramp";
  }
  GammaRamp Screen() {
    GammaRamp ramp{};
    EXPECT_TRUE(ScreenRamp(&ramp, false));
    return ramp;
  }
  void ExpectOneSetFailure(MessageBoxWatcher& watcher) {
    const std::vector<ShownMessage> shown = watcher.Take();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("Unable to set gamma adjustment", shown[0].text);
    EXPECT_EQ(BoxIcon::kExclamation, shown[0].icon);
    EXPECT_EQ(TestProgramTitle(), shown[0].caption);
    EXPECT_EQ(dialog_.hwnd(), shown[0].owner);
  }

  ScreenRampGuard guard_;
  EngineTestDialog dialog_;
};

}  // namespace

TEST_F(EngineGamma, TripleIsSetAndReadsBackAsItself) {
  MessageBoxWatcher watcher;
  ASSERT_EQ(1, ApplyGamma(dialog_.hwnd(), GammaTriple{1.3, 1.6, 2.2}));
  EXPECT_EQ(OnDisplay(1.3, 1.6, 2.2), Screen());

  GammaTriple read{0.0, 0.0, 0.0};
  ASSERT_EQ(1, ReadGamma(dialog_.hwnd(), &read));
  EXPECT_EQ(1.3, read.red);
  EXPECT_EQ(1.6, read.green);
  EXPECT_EQ(2.2, read.blue);
  EXPECT_TRUE(watcher.Take().empty());
}

TEST_F(EngineGamma, RefusedRampIsReportedAndTheScreenKeepsItsRamp) {
  ASSERT_NE(0, BuildAndSetGamma(1.1, 1.6, 1.1));
  MessageBoxWatcher watcher;
  // The platform here refuses exponents below 1.0.
  EXPECT_EQ(0, BuildAndSetGamma(1.1, 0.7, 1.1));
  EXPECT_TRUE(watcher.Take().empty()) << "the plain set shows nothing";
  EXPECT_EQ(0, ApplyGamma(dialog_.hwnd(), GammaTriple{1.0, 1.0, 0.5}));
  ExpectOneSetFailure(watcher);
  EXPECT_EQ(OnDisplay(1.1, 1.6, 1.1), Screen());
}

TEST_F(EngineGamma, UndoSetsTheStartupTriple) {
  ASSERT_NE(0, BuildAndSetGamma(1.6, 1.6, 1.6));
  MessageBoxWatcher watcher;
  StartupState startup;
  startup.startupGamma = GammaTriple{2.2, 1.3, 1.0};
  UndoGamma(dialog_.hwnd(), startup);
  EXPECT_EQ(OnDisplay(2.2, 1.3, 1.0), Screen());
  // A failed start-up read left 1.0, 1.0, 1.0: "Undo" then sets the linear ramp.
  UndoGamma(dialog_.hwnd(), StartupState{});
  EXPECT_EQ(OnDisplay(1.0, 1.0, 1.0), Screen());
  EXPECT_TRUE(watcher.Take().empty());

  startup.startupGamma = GammaTriple{0.9, 1.0, 1.0};
  UndoGamma(dialog_.hwnd(), startup);
  ExpectOneSetFailure(watcher);
  EXPECT_EQ(OnDisplay(1.0, 1.0, 1.0), Screen());
}

// Wine gap: ReadGamma's failure path (no ramp from the display) cannot be reached here, as
// the test display always gives its ramp. The callback's handling of a failed device call
// is checked on a memory context, which has no ramp.
TEST_F(EngineGamma, MonitorProcReportsTheDeviceCallOnTheContextItIsHanded) {
  GammaRamp ramp{};
  GammaRequest request;
  request.readMode = 1;
  request.ramp = &ramp;
  HDC screen = GetDC(nullptr);
  ASSERT_TRUE(screen);
  EXPECT_EQ(FALSE, GammaMonitorProc(nullptr, screen, nullptr, reinterpret_cast<LPARAM>(&request)));
  ReleaseDC(nullptr, screen);
  EXPECT_NE(0, request.result);
  EXPECT_EQ(guard_.ramp(), ramp);

  HDC memory = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(memory);
  for (int32_t mode : {1, 0}) {
    request.result = 1;
    request.readMode = mode;
    EXPECT_EQ(FALSE, GammaMonitorProc(nullptr, memory, nullptr, reinterpret_cast<LPARAM>(&request)));
    EXPECT_EQ(0, request.result) << "readMode " << mode;
  }
  DeleteDC(memory);
}

TEST_F(EngineGamma, EstimateRoundTripHoldsWithThisRuntime) {
  // The estimate's text round trip goes through this build's own C runtime.
  for (int k = 1; k <= 59; ++k) {
    GammaRamp ramp;
    BuildGammaRamp(k / 10.0, k / 10.0, k / 10.0, ramp);
    for (int c = 0; c < 3; ++c)
      ASSERT_EQ(k / 10.0, EstimateGammaExponent(ramp.data(), c)) << k << " channel " << c;
  }
}
