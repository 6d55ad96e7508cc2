// The parser the three programs share, on the cases their users meet.
#include "options/option_parser.h"

#include <gtest/gtest.h>

namespace dentora::options {
namespace {

const std::vector<OptionForm> kSpecs = {{"--port", "DEVICE"}, {"-o", "FILE"}, {"--json", ""}, {"--shift", "DEGREES"}};

TEST(OptionParser, GivesOptionsInTheOrderGivenInBothSpellings)
{
    const ParsedArguments parsed = ParseArguments(
        kSpecs, {"--port=/dev/a", "input", "--shift", "-20", "--json", "-o", "x.dentora", "--port", "/dev/b", "-h"},
        {1, false, ""});
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"--port", "/dev/a"}, {"--shift", "-20"}, {"--json", ""}, {"-o", "x.dentora"}, {"--port", "/dev/b"}};
    ASSERT_EQ(parsed.options.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(parsed.options[i].name, expected[i].first);
        EXPECT_EQ(parsed.options[i].value, expected[i].second);
    }
    EXPECT_EQ(parsed.positionals, std::vector<std::string>{"input"});
    EXPECT_TRUE(parsed.help);
}

TEST(OptionParser, RefusesWhatIsNotOnTheTableNamingIt)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "cmd: unknown option '--bogus'"},
        {{"-o=x"}, "cmd: unknown option '-o=x'"},
        {{"-ox"}, "cmd: unknown option '-ox'"},
        {{"--json=yes"}, "cmd: --json takes no value"},
        {{"--port"}, "cmd: --port needs a value (DEVICE)"},
        {{"--port="}, "cmd: --port needs a value (DEVICE)"},
        {{"a", "b"}, "cmd: unexpected argument 'b'"},
        {{"--json", "--json"}, "cmd: --json is given more than once"},
    };
    for (const auto& [arguments, message] : cases) {
        try {
            ParseArguments(kSpecs, arguments, {1, true, "cmd: "});
            ADD_FAILURE() << "accepted " << arguments.front();
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
}

}  // namespace
}  // namespace dentora::options
