#include <gtest/gtest.h>

#include "gui/Options.h"

namespace torvane::gui {
namespace {

TEST(Options, OnlyTheSimulatorOptionsAreTaken) {
  struct Case {
    std::vector<std::string> arguments;
    bool accepted;
    bool simulate;
    std::optional<std::string> config;
    std::optional<std::string> flash;
  };
  const std::vector<Case> cases{
      {{}, true, false, std::nullopt, std::nullopt},
      {{"--simulate"}, true, true, std::nullopt, std::nullopt},
      {{"--simulate=bench.cfg"}, true, true, "bench.cfg", std::nullopt},
      {{"--sim-flash", "flash.bin"}, true, true, std::nullopt, "flash.bin"},
      {{"--simulate", "--sim-flash=f.bin"}, true, true, std::nullopt, "f.bin"},
      {{"--sim-flash"}, false, false, std::nullopt, std::nullopt},
      {{"--simulate="}, false, false, std::nullopt, std::nullopt},
      {{"--verbose"}, false, false, std::nullopt, std::nullopt},
      {{"rom.src"}, false, false, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const OptionsResult result = ParseOptions(c.arguments);
    SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments[0]);
    ASSERT_EQ(result.options.has_value(), c.accepted);
    if (!c.accepted) {
      EXPECT_FALSE(result.error.empty());
      continue;
    }
    EXPECT_EQ(result.options->simulate, c.simulate);
    EXPECT_EQ(result.options->simulatorConfig, c.config);
    EXPECT_EQ(result.options->simulatorFlash, c.flash);
  }
}

}  // namespace
}  // namespace torvane::gui
