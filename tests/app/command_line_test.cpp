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

TEST(CommandLine, UnknownArgumentIsRefusedWithUsage)
{
    const ProcessResult run = RunDentora({QStringLiteral("--frobnicate")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Usage")));
}

TEST(CommandLine, DepthOutsideOneToSixtyFourIsRefused)
{
    for (const QString& depth : {QStringLiteral("0"), QStringLiteral("65"), QStringLiteral("deep")}) {
        const ProcessResult run = RunDentora({QStringLiteral("--ahead"), depth});
        EXPECT_EQ(run.exitCode, 2) << depth.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("--ahead needs a number of requests from 1 to 64")))
            << run.err.toStdString();
    }
}

}  // namespace
