// The serial link against a real pseudo-terminal: the test holds the
// controller's end and the link opens the other as its port.
#include "fresh_state.h"
#include "serial/serial_link.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

class RawPty {
public:
    RawPty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        std::array<char, 128> name{};
        if (::ptsname_r(m_master, name.data(), name.size()) != 0)
            return;
        m_path = QString::fromLocal8Bit(name.data());
        termios settings{};
        ::tcgetattr(m_master, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(m_master, TCSANOW, &settings);
    }
    ~RawPty() { Hangup(); }

    const QString& path() const { return m_path; }
    int master() const { return m_master; }

    void Send(const char* bytes, std::size_t count) const
    {
        ASSERT_EQ(::write(m_master, bytes, count), ssize_t(count));
    }

    // As when the adapter is pulled: the other end goes away.
    void Hangup()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};

qint64 MillisecondsOf(const std::function<void()>& action)
{
    QElapsedTimer clock;
    clock.start();
    action();
    return clock.elapsed();
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        ASSERT_FALSE(m_pty.path().isEmpty()) << "no pseudo-terminal";
    }
    void TearDown() override { CloseCommPort(); }

    void OpenPty()
    {
        SelectCommPort(-1, m_pty.path());
        ASSERT_TRUE(OpenCommPort()) << LastCommError().toStdString();
    }

    RawPty m_pty;
};

TEST_F(SerialLinkTest, OpensTheTypedDeviceAt115200Baud8N1)
{
    OpenPty();
    ASSERT_NE(g_hComm, nullptr);
    termios settings{};
    ASSERT_EQ(::tcgetattr(m_pty.master(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), speed_t(B115200));
    EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
}

TEST_F(SerialLinkTest, HoldsThePortForItselfUntilClosedAndClosingTwiceIsHarmless)
{
    OpenPty();
    QSerialPort intruder;
    intruder.setPortName(m_pty.path());
    EXPECT_FALSE(intruder.open(QIODevice::ReadWrite));

    CloseCommPort();
    EXPECT_EQ(g_hComm, nullptr);
    CloseCommPort();
    EXPECT_EQ(g_hComm, nullptr);

    // Closing gave the line back: the next test run can open it again.
    EXPECT_TRUE(OpenCommPort()) << LastCommError().toStdString();
}

TEST_F(SerialLinkTest, ReadsWaitingBytesInOrderWithoutLosingBufferedOnes)
{
    OpenPty();
    m_pty.Send("dR\x01", 3);
    std::array<unsigned char, 3> read{};
    for (unsigned char& byte : read)
        ASSERT_TRUE(ReadCommByte(&byte));
    EXPECT_EQ(read, (std::array<unsigned char, 3>{'d', 'R', 0x01}));
}

// A read whose thread gets the processor back only after its deadline (a
// loaded machine) still takes the byte that arrived in the meantime: the
// time-out is reported only after a look at what the system holds.
TEST_F(SerialLinkTest, ByteThatArrivedInTimeIsReadAlthoughTheDeadlineHasPassed)
{
    OpenPty();
    m_pty.Send("d", 1);
    unsigned char byte = 0;
    bool read = false;
    // No time left at all: only the last look can find the byte. Tried for a
    // while, as the system may take a moment to pass the byte on.
    QElapsedTimer clock;
    clock.start();
    while (!read && clock.elapsed() < 2000)
        read = g_hComm->ReadByte(&byte, 0);
    EXPECT_TRUE(read);
    EXPECT_EQ(byte, 'd');
    EXPECT_FALSE(g_hComm->ReadByte(&byte, 0)) << "one byte sent, one read";
}

TEST_F(SerialLinkTest, SilentLineGivesUpAfterAboutAQuarterSecondAndLeavesTheByte)
{
    OpenPty();
    unsigned char byte = 0x5A;
    bool result = true;
    const qint64 elapsed = MillisecondsOf([&] { result = ReadCommByte(&byte); });
    EXPECT_FALSE(result);
    EXPECT_EQ(byte, 0x5A);
    // 250 ms; the upper bound leaves room for a loaded machine, not for 1 s.
    EXPECT_GE(elapsed, 240);
    EXPECT_LT(elapsed, 900);
    EXPECT_FALSE(CommLinkLost());
}

TEST_F(SerialLinkTest, ByteArrivingDuringTheWaitIsRead)
{
    OpenPty();
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_pty.Send("d", 1);
    });
    unsigned char byte = 0;
    EXPECT_TRUE(ReadCommByte(&byte));
    late.join();
    EXPECT_EQ(byte, 'd');
}

TEST_F(SerialLinkTest, DrainOnAQuietLineCostsOneTimeOut)
{
    OpenPty();
    m_pty.Send("xyz", 3);
    const qint64 elapsed = MillisecondsOf(DrainCommInput);
    EXPECT_GE(elapsed, 240);
    EXPECT_LT(elapsed, 900);
    unsigned char byte = 0;
    EXPECT_FALSE(ReadCommByte(&byte)) << "drain left a byte behind";
}

TEST_F(SerialLinkTest, DrainOnAChattyLineWaitsForThePause)
{
    OpenPty();
    constexpr int kChatMs = 600;
    std::atomic<bool> chatting{true};
    std::thread chatter([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChatMs);
        while (std::chrono::steady_clock::now() < end) {
            m_pty.Send("~", 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        chatting = false;
    });
    DrainCommInput();
    EXPECT_FALSE(chatting) << "drain returned while the line was still sending";
    chatter.join();
    m_pty.Send("d", 1);
    unsigned char byte = 0;
    EXPECT_TRUE(ReadCommByte(&byte));
    EXPECT_EQ(byte, 'd');
}

TEST_F(SerialLinkTest, VanishedDeviceIsReportedAsLostNotAsSilence)
{
    OpenPty();
    m_pty.Hangup();
    unsigned char byte = 0x11;
    EXPECT_FALSE(ReadCommByte(&byte));
    EXPECT_TRUE(CommLinkLost());
    EXPECT_EQ(byte, 0x11);
    EXPECT_TRUE(LastCommError().contains(m_pty.path())) << LastCommError().toStdString();
    const unsigned char command = 'a';
    EXPECT_FALSE(WriteComm(&command, 1));

    CloseCommPort();
    EXPECT_EQ(g_hComm, nullptr);
}

TEST(SerialLinkOpen, NoPortSelectedFailsWithAReason)
{
    ResetProcessState();
    SelectCommPort(-1, QString());
    EXPECT_EQ(g_nComPort, 0);
    EXPECT_FALSE(OpenCommPort());
    EXPECT_EQ(g_hComm, nullptr);
    EXPECT_FALSE(LastCommError().isEmpty());
}

TEST(SerialLinkOpen, MissingDeviceFailsNamingIt)
{
    ResetProcessState();
    SelectCommPort(-1, QStringLiteral("/dev/ttyDentoraMissing7"));
    EXPECT_FALSE(OpenCommPort());
    EXPECT_EQ(g_hComm, nullptr);
    EXPECT_TRUE(LastCommError().startsWith(QStringLiteral("/dev/ttyDentoraMissing7: ")))
        << LastCommError().toStdString();
}

TEST(SerialLinkOpen, PortWithoutADeviceFailsNamingThePort)
{
    ResetProcessState();
    SelectCommPort(11, QString());
    ASSERT_EQ(g_nComPort, 12);
    if (PortListDevices()[11])
        GTEST_SKIP() << "this machine has twelve serial devices";
    EXPECT_FALSE(OpenCommPort());
    EXPECT_TRUE(LastCommError().contains(QStringLiteral("COM12"))) << LastCommError().toStdString();
}

// Mode 0600 leaves no group that could be joined: the advice is a udev
// rule or the device's mode, never a group (the owner's least of all).
TEST(SerialLinkOpen, RefusedPermissionOnAnOwnerOnlyDeviceAdvisesNoGroup)
{
    ResetProcessState();
    RawPty pty;
    const QByteArray path = pty.path().toLocal8Bit();
    ASSERT_EQ(::chmod(path.constData(), 0600), 0);
    // Root may open anything; look at the device as an ordinary user does.
    const bool dropRoot = ::geteuid() == 0;
    if (dropRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    SelectCommPort(-1, pty.path());
    const bool opened = OpenCommPort();
    if (dropRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_FALSE(opened);
    const QString reason = LastCommError();
    EXPECT_TRUE(reason.startsWith(pty.path() + QStringLiteral(": "))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("not accessible to your user"))) << reason.toStdString();
    EXPECT_FALSE(reason.contains(QStringLiteral("usermod"))) << reason.toStdString();
}

TEST(SerialLinkPortChoice, TypedComNameMeansThatPortAndOtherTextIsADevice)
{
    SelectCommPort(-1, QStringLiteral("com10"));
    EXPECT_EQ(g_nComPort, 10);
    EXPECT_TRUE(g_strComDevice.isEmpty());

    SelectCommPort(2, QString());
    EXPECT_EQ(g_nComPort, 3);
    EXPECT_TRUE(g_strComDevice.isEmpty());

    SelectCommPort(-1, QStringLiteral("/dev/ttyUSB3"));
    EXPECT_EQ(g_nComPort, 0);
    EXPECT_EQ(g_strComDevice, QStringLiteral("/dev/ttyUSB3"));
}

TEST(SerialLinkPortChoice, UsbThenAcmThenTheRestWithNumbersInNumericOrder)
{
    const std::vector<CommDevice> sorted = SortCommDevices({
        {QStringLiteral("/dev/ttyS0"), {}},
        {QStringLiteral("/dev/ttyUSB10"), {}},
        {QStringLiteral("/dev/ttyACM0"), {}},
        {QStringLiteral("/dev/ttyUSB2"), {}},
        {QStringLiteral("/dev/ttyAMA0"), {}},
    });
    std::vector<QString> paths;
    for (const CommDevice& device : sorted)
        paths.push_back(device.path);
    EXPECT_EQ(paths,
              (std::vector<QString>{QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyUSB10"),
                                    QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyAMA0"),
                                    QStringLiteral("/dev/ttyS0")}));
}

// On Windows every port is opened by its device namespace name, listed by
// the system or not; only that form reaches COM10 and up.
TEST(SerialLinkPortChoice, WindowsPortsOpenByTheirDeviceNamespaceName)
{
    EXPECT_EQ(WindowsComDevicePath(3), QStringLiteral(R"(\\.\COM3)"));
    EXPECT_EQ(WindowsComDevicePath(12), QStringLiteral(R"(\\.\COM12)"));
}

}  // namespace
