#include "platform/ui/fallback_host.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace platform::ui;

// What code that runs without a front end (tools, simulators, a failure
// before main chose a host) meets: nobody is asked, nothing waits.
TEST(FallbackHost, IsInForceWithoutAFrontEndAndNeverSaysOkToAQuestion) {
  EXPECT_NE(dynamic_cast<FallbackHost*>(&platform::Use<Host>()), nullptr);

  std::ostringstream err;
  FallbackHost host(&err);
  EXPECT_EQ(host.MessageBox({"Overwrite the unit?\n", std::string("VE-ZER"), Buttons::OkCancel}), Answer::Cancel);
  EXPECT_EQ(host.MessageBox({"GetProcAddress failed", std::nullopt, Buttons::Ok}), Answer::Ok);
  EXPECT_EQ(err.str(), "VE-ZER: Overwrite the unit? -> Cancel\nError: GetProcAddress failed\n");
}

TEST(FallbackHost, ADialogInitialisesAndIsCancelledUnlessItEndedItself) {
  struct Events : DialogEvents {
    DialogWindow* window = nullptr;
    int inits = 0;
    int endWith = -1;
    bool OnInitDialog() override {
      ++inits;
      if (endWith < 0) return true;
      window->EndDialog(endWith);
      return false;
    }
    void OnCommand(int) override {}
  };
  FallbackHost host;
  Events shown;
  auto window = host.CreateDialog(DialogTemplate{}, shown, nullptr);
  shown.window = window.get();
  EXPECT_EQ(window->RunModal(), 2);
  EXPECT_EQ(shown.inits, 1);

  Events refused;
  refused.endWith = 1;
  auto other = host.CreateDialog(DialogTemplate{}, refused, nullptr);
  refused.window = other.get();
  EXPECT_EQ(other->RunModal(), 1);
}

}  // namespace
