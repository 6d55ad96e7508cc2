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

// Help and the version come before any window system: no display needed.
TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(DENTORA_EXECUTABLE), {option});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << option.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << option.toStdString();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith(option == QLatin1String("--help") ? QStringLiteral("Usage: dentora")
                                                                     : QStringLiteral("dentora 1.0.0.1")))
            << out.toStdString();
        EXPECT_TRUE(process.readAllStandardError().isEmpty()) << option.toStdString();
    }
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
