// What the terminal shows of an operation: plain lines when the output is not a terminal, one redrawn
// progress line when it is.
#include <sstream>

#include <gtest/gtest.h>

#include "cli/TerminalControls.h"

namespace {

using torvane::cli::TerminalControls;
namespace ops = torvane::operations;

std::string Label(int id) { return "L" + std::to_string(id); }

TEST(TerminalControls, PlainOutputHasOneLinePerStageAndNoControlCodes) {
  std::ostringstream out, err;
  TerminalControls t(out, err, false, nullptr, Label);
  t.SetControlText(ops::kStatusLine, "Burning...");
  t.ShowControl(ops::kBarTotal, true);
  t.SetBarRange(ops::kBarTotal, 0, 9);
  t.SetBarPosition(ops::kBarTotal, 0);
  t.ShowControl(ops::kLabelEraseAndCheck, true);
  for (int a = 0; a < 13004; a += 100) t.SetBarPosition(ops::kBarStep, a);  // step moves print nothing
  t.SetBarPosition(ops::kBarTotal, 1);
  t.SetBarPosition(ops::kBarTotal, 1);
  t.ShowMessage("Check Flash Erase Failed!");
  EXPECT_EQ(out.str(), "Burning...\nstage 0/9\nL1007\nstage 1/9\n");
  EXPECT_EQ(err.str(), "Check Flash Erase Failed!\n");
}

TEST(TerminalControls, TerminalRedrawsOneLineAndEndsItBeforeText) {
  std::ostringstream out, err;
  TerminalControls t(out, err, true, nullptr, Label);
  t.SetBarRange(ops::kBarStep, 0, 100);
  t.SetBarPosition(ops::kBarStep, 50);
  t.SetBarPosition(ops::kBarStep, 50);  // same figure: not drawn again
  t.SetBarPosition(ops::kBarStep, 150);  // beyond the range: clamped, as a progress control does
  t.SetControlText(ops::kStatusLine, "Burn Successes!");
  const std::string s = out.str();
  EXPECT_NE(s.find("\r[###############...............] 50%"), std::string::npos) << s;
  EXPECT_NE(s.find("] 100%"), std::string::npos);
  EXPECT_EQ(s.find("50%", s.find("50%") + 1), std::string::npos);
  EXPECT_NE(s.find("\nBurn Successes!\n"), std::string::npos);
}

}  // namespace
