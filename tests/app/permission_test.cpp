// What the tool advises when the user may not open a serial device: the
// real executable, run as an unprivileged user, on a pseudo-terminal whose
// owner, group and mode are set as a device's would be.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

namespace {

constexpr uid_t kNobody = 65534;

struct Case {
    const char* group;
    mode_t mode;
    bool adviseJoining;
};

class PermissionAdviceTest : public ::testing::TestWithParam<Case> {};

// The message box's text as --snapshot reports it, for a run as nobody.
QString OpenFailureAsNobody(const QString& device)
{
    QTemporaryDir directory;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), directory.path());
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(99);
    });
    process.start(QStringLiteral(DENTORA_EXECUTABLE),
                  {QStringLiteral("--port"), device, QStringLiteral("--snapshot"), QStringLiteral("/nonexistent.png")});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    return QString::fromUtf8(process.readAllStandardError());
}

TEST_P(PermissionAdviceTest, JoiningAGroupIsAdvisedOnlyWhereItIsEnoughAndSafe)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand a device to another user";
    const Case& c = GetParam();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString device = QString::fromLocal8Bit(::ptsname(master));
    const struct group* group = ::getgrnam(c.group);
    ASSERT_NE(group, nullptr) << c.group;
    ASSERT_EQ(::chown(::ptsname(master), 0, group->gr_gid), 0);
    ASSERT_EQ(::chmod(::ptsname(master), c.mode), 0);

    const QString message = OpenFailureAsNobody(device);
    ::close(master);
    ASSERT_TRUE(message.contains(QStringLiteral("Error in Opening COM Port"))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("-aG root"))) << message.toStdString();
    if (c.adviseJoining) {
        EXPECT_TRUE(message.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(QLatin1String(c.group))))
            << message.toStdString();
    } else {
        EXPECT_FALSE(message.contains(QStringLiteral("usermod"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("not accessible to your user"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("udev rule"))) << message.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, PermissionAdviceTest,
                         ::testing::Values(Case{"dialout", 0660, true}, Case{"root", 0600, false},
                                           Case{"root", 0660, false}, Case{"dialout", 0600, false},
                                           Case{"disk", 0660, false}, Case{"tty", 0660, false}));

}  // namespace
