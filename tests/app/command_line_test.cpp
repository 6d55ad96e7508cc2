// The dentora executable's own command line.
#include "res/resource.h"
#include "run_dentora.h"


#include <gtest/gtest.h>

namespace {


TEST(CommandLine, VersionPrintsTheBuildVersion)
{
    const ProcessResult run = RunDentora({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("dentora 1.0.0.1"));
    EXPECT_STREQ(AppVersionString(), "1.0.0.1");
}

TEST(CommandLine, HelpSaysWhatTheToolDoes)
{
    const ProcessResult run = RunDentora({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("--version")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("serial")));
}

TEST(CommandLine, TickLengthMustBeAPositiveNumber)
{
    for (const char* value : {"0", "-4", "fast", "1e7"}) {
        const ProcessResult run = RunDentora({QStringLiteral("--tick-us"), QLatin1String(value)});
        EXPECT_EQ(run.exitCode, 2) << value;
        EXPECT_TRUE(run.err.contains(QStringLiteral("--tick-us"))) << value;
    }
    EXPECT_TRUE(RunDentora({QStringLiteral("--help")}).out.contains(QStringLiteral("--tick-us MICROSECONDS")));
}

TEST(CommandLine, UnknownArgumentIsRefusedWithUsage)
{
    const ProcessResult run = RunDentora({QStringLiteral("--frobnicate")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Usage")));
}

}  // namespace
