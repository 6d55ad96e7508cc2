// The dentora executable's own command line.
#include "res/resource.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct ProcessResult {
    int exitCode;
    QString out;
    QString err;
};

ProcessResult RunDentora(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(DENTORA_EXECUTABLE), arguments);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(CommandLine, VersionPrintsTheBuildVersion)
{
    const ProcessResult run = RunDentora({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("dentora 1.0.0.1"));
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

}  // namespace
