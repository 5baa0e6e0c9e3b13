#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace ztlive::cli {
namespace {

const std::vector<OptionSpec> kOptions = {{"from", true}, {"preview", false}};

TEST(CommandLine, OptionsTakeValuesInBothFormsAndPositionalsKeepTheirOrder) {
  const ParsedArguments parsed =
      ParseArguments({"in.wav", "--from", "1.5", "--preview", "-1", "--from=2", "out.wav"}, kOptions, "process");
  EXPECT_TRUE(parsed.error.empty());
  EXPECT_EQ(parsed.values.at("from"), "2");
  EXPECT_TRUE(parsed.Has("preview"));
  EXPECT_EQ(parsed.positional, (std::vector<std::string>{"in.wav", "-1", "out.wav"}));
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
  const ParsedArguments parsed = ParseArguments({"--", "--preview", "--from"}, kOptions, "process");
  EXPECT_TRUE(parsed.error.empty());
  EXPECT_FALSE(parsed.Has("preview"));
  EXPECT_EQ(parsed.positional, (std::vector<std::string>{"--preview", "--from"}));
}

TEST(CommandLine, UnknownOptionsMissingValuesAndValuedFlagsAreErrors) {
  EXPECT_EQ(ParseArguments({"--loud"}, kOptions, "process").error,
            "Unknown option \"--loud\" for \"process\".");
  EXPECT_EQ(ParseArguments({"x", "--from"}, kOptions, "process").error, "The option \"--from\" needs a value.");
  EXPECT_FALSE(ParseArguments({"--preview=1"}, kOptions, "process").error.empty());
}

}  // namespace
}  // namespace ztlive::cli
