#include "expected_log.h"
#include "simulator/pty_controller.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace dentora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr milliseconds kReadTimeout{2000};

// The slave end opened the way the tool opens a serial port.
class SerialLine {
public:
    explicit SerialLine(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY))
    {
        if (m_fd < 0) {
            throw std::system_error(errno, std::generic_category(), "open " + path);
        }
        ::ioctl(m_fd, TIOCEXCL);
        termios settings{};
        ::tcgetattr(m_fd, &settings);
        cfmakeraw(&settings);
        cfsetspeed(&settings, B115200);
        settings.c_cflag = (settings.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | CS8 | CLOCAL | CREAD;
        if (::tcsetattr(m_fd, TCSANOW, &settings) != 0) {
            throw std::system_error(errno, std::generic_category(), "tcsetattr");
        }
    }
    ~SerialLine()
    {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }

    void Write(std::uint8_t byte) { ASSERT_EQ(::write(m_fd, &byte, 1), 1); }

    // One byte, or nothing on time-out, end of file or error (see LastRead()).
    std::optional<std::uint8_t> Read(milliseconds timeout = kReadTimeout)
    {
        pollfd watched{m_fd, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(timeout.count())) <= 0) {
            m_lastRead = 0;
            m_lastErrno = ETIMEDOUT;
            return std::nullopt;
        }
        std::uint8_t byte = 0;
        m_lastRead = ::read(m_fd, &byte, 1);
        m_lastErrno = m_lastRead < 0 ? errno : 0;
        return m_lastRead == 1 ? std::optional<std::uint8_t>(byte) : std::nullopt;
    }

    Bytes Ask(std::uint8_t command, std::size_t answers)
    {
        Write(command);
        Bytes received;
        while (received.size() < answers) {
            const auto byte = Read();
            if (!byte) {
                break;
            }
            received.push_back(*byte);
        }
        return received;
    }

    Bytes Fetch(std::size_t logBytes)
    {
        Bytes received;
        for (std::size_t i = 0; i < logBytes; ++i) {
            const Bytes answer = Ask(kNextByteCommand, 1);
            received.insert(received.end(), answer.begin(), answer.end());
        }
        return received;
    }

    ssize_t LastRead() const { return m_lastRead; }
    int LastErrno() const { return m_lastErrno; }

private:
    int m_fd;
    ssize_t m_lastRead = 0;
    int m_lastErrno = 0;
};

ControllerConfig QuickConfig()
{
    ControllerConfig config;
    config.acknowledgeDelay = milliseconds(50);
    return config;
}

TEST(PtyController, ServesACaptureOverTheDeviceAndReopens)
{
    const ControllerConfig config = QuickConfig();
    PtyController controller(config);
    const std::string device = controller.Start();
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;

    for (int capture = 0; capture < 2; ++capture) {
        SerialLine line(device);
        const auto sent = std::chrono::steady_clock::now();
        line.Write(kGoCommand);
        EXPECT_EQ(line.Read(), kAcknowledge);
        EXPECT_GE(std::chrono::steady_clock::now() - sent, config.acknowledgeDelay);
        EXPECT_EQ(line.Ask(kCountCommand, 2), (Bytes{0x84, 0x03}));
        EXPECT_EQ(line.Fetch(15), ExpectedLogBytes(config, 15)) << "capture " << capture;
    }

    // The server counts a byte once its write returns, which may be just
    // after the reader has it.
    PtyStats stats = controller.Stats();
    for (int wait = 0; wait < 100 && stats.bytesWritten < 2u * (1 + 2 + 15); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        stats = controller.Stats();
    }
    EXPECT_EQ(stats.protocol.goCommands, 2u);
    EXPECT_EQ(stats.protocol.countCommands, 2u);
    EXPECT_EQ(stats.protocol.nextByteCommands, 30u);
    EXPECT_EQ(stats.bytesWritten, 2u * (1 + 2 + 15));
    EXPECT_TRUE(stats.failure.empty()) << stats.failure;
    controller.Stop();
    controller.Stop();
}

// 115200 baud 8N1: a byte is ten bits, 86.8 microseconds on the wire.
TEST(LineModel, ExchangeTimeFollowsTheWireAndTheLatency)
{
    const LineModel line{115200, std::chrono::milliseconds(1)};
    const auto byteTime = std::chrono::nanoseconds(86805);
    EXPECT_EQ(line.ByteTime(), byteTime);
    const auto roundTrip = 2 * byteTime + line.latency;
    // One request at a time: a round trip each.
    EXPECT_EQ(PipelinedExchangeTime(line, 300, 1), 300 * roundTrip);
    // Three in flight: three per round trip, as the wire is not yet full;
    // the last three follow each other by a byte time.
    EXPECT_EQ(PipelinedExchangeTime(line, 300, 3), 100 * roundTrip + 2 * byteTime);
    // Deep enough to keep the wire busy: one byte time per request, plus
    // the last answer's way back.
    EXPECT_EQ(PipelinedExchangeTime(line, 300, 48), 300 * byteTime + byteTime + line.latency);
    EXPECT_EQ(PipelinedExchangeTime(LineModel{}, 300, 3).count(), 0);
}

TEST(PtyController, LineModelDelaysAnswersByTheWireAndTheLatency)
{
    ControllerConfig config = QuickConfig();
    config.line = LineModel{9600, std::chrono::milliseconds(30)};  // a byte: 1.04 ms
    PtyController controller(config);
    SerialLine line(controller.Start());
    line.Write(kGoCommand);
    ASSERT_EQ(line.Read(), kAcknowledge);

    const auto sent = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
        line.Write(kNextByteCommand);
    Bytes received;
    for (int i = 0; i < 10; ++i)
        received.push_back(line.Read().value_or(0));
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(received, ExpectedLogBytes(config, 10));
    // Ten requests out back to back, the last answer back, then the latency.
    EXPECT_GE(took, PipelinedExchangeTime(config.line, 10, 10) - milliseconds(1));
    EXPECT_LT(took, milliseconds(2000));
}

// Random answers cover every byte value, so this shows the line passes
// control characters and 0x00/0xFF unchanged.
TEST(PtyController, PassesEveryByteValueUnchanged)
{
    ControllerConfig config = QuickConfig();
    config.faults.randomAnswers = true;
    ControllerProtocol reference(config);
    for (int i = 0; i < 1024; ++i) {
        reference.Receive(kNextByteCommand, {});
    }
    const Bytes expected = reference.TakeOutput();

    PtyController controller(config);
    SerialLine line(controller.Start());
    EXPECT_EQ(line.Fetch(expected.size()), expected);
}

TEST(PtyController, VanishingControllerLeavesTheToolAtEndOfFile)
{
    ControllerConfig config = QuickConfig();
    config.faults.vanishAfterRecord = 1;
    PtyController controller(config);
    SerialLine line(controller.Start());
    EXPECT_EQ(line.Fetch(6), ExpectedLogBytes(config, 6));
    line.Write(kNextByteCommand);
    EXPECT_FALSE(line.Read());
    const bool endOfFile = line.LastRead() == 0 && line.LastErrno() == 0;
    EXPECT_TRUE(endOfFile || line.LastErrno() == EIO)
        << "read gave " << line.LastRead() << ", errno " << line.LastErrno();
    EXPECT_TRUE(controller.Stats().vanished);
}

TEST(PtyController, LinkPointsAtTheDeviceWhileServing)
{
    const std::string link = ::testing::TempDir() + "dentora-sim-link-" + std::to_string(::getpid());
    ::unlink(link.c_str());
    {
        PtyController controller(QuickConfig());
        const std::string device = controller.Start(link);
        SerialLine line(link);
        line.Write(kGoCommand);
        EXPECT_EQ(line.Read(), kAcknowledge);
        controller.Stop();
        struct stat unused {};
        EXPECT_NE(::lstat(link.c_str(), &unused), 0) << "Stop() leaves the link behind";
    }

    std::ofstream(link) << "not a link";
    PtyController controller(QuickConfig());
    EXPECT_THROW(controller.Start(link), std::system_error);
    std::ifstream kept(link);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "not a link");
    ::unlink(link.c_str());
}

}  // namespace
}  // namespace dentora::sim
