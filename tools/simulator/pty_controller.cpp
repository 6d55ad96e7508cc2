#include "simulator/pty_controller.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace dentora::sim {

namespace {

using Clock = ControllerProtocol::Clock;

// Short enough that Stop() returns promptly, long enough not to spin.
constexpr std::chrono::milliseconds kPollInterval{20};

std::string DescribeErrno(const std::string& step)
{
    return step + ": " + std::generic_category().message(errno);
}

[[noreturn]] void throwErrno(const std::string& step)
{
    throw std::system_error(errno, std::generic_category(), step);
}

void MakeRaw(int fd, const std::string& what)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        throwErrno("tcgetattr on " + what);
    }
    cfmakeraw(&settings);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        throwErrno("tcsetattr on " + what);
    }
}

void CloseIfOpen(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool IsSymlinkTo(const std::string& linkPath, const std::string& target)
{
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(linkPath.c_str(), buffer.data(), buffer.size() - 1);
    return length >= 0 && target == std::string(buffer.data(), static_cast<std::size_t>(length));
}

timespec PollTimeout(std::optional<Clock::time_point> due, Clock::time_point now)
{
    std::chrono::nanoseconds timeout = kPollInterval;
    if (due) {
        timeout = std::clamp<std::chrono::nanoseconds>(*due - now, std::chrono::nanoseconds{0}, timeout);
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a, std::optional<Clock::time_point> b)
{
    if (!a || !b) {
        return a ? a : b;
    }
    return std::min(*a, *b);
}

}  // namespace

PtyController::PtyController(const ControllerConfig& config)
    : m_protocol(config), m_towardController(TowardController(config.line)), m_towardTool(TowardTool(config.line))
{
}

PtyController::~PtyController()
{
    Stop();
}

std::string PtyController::Start(const std::string& linkPath)
{
    if (m_thread.joinable() || m_master >= 0) {
        throw std::logic_error("the simulated controller is already started");
    }
    try {
        // Close-on-exec: a program the host starts must not keep the line
        // open, or the device could never hang up (the vanish fault).
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0) {
            throwErrno("posix_openpt");
        }
        if (::grantpt(m_master) != 0) {
            throwErrno("grantpt");
        }
        if (::unlockpt(m_master) != 0) {
            throwErrno("unlockpt");
        }
        std::array<char, 256> name{};
        if (const int error = ::ptsname_r(m_master, name.data(), name.size()); error != 0) {
            errno = error;
            throwErrno("ptsname_r");
        }
        m_devicePath = name.data();
        m_slave = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slave < 0) {
            throwErrno("open " + m_devicePath);
        }
        MakeRaw(m_slave, m_devicePath);
        MakeRaw(m_master, "the pseudo-terminal master");
        const int flags = ::fcntl(m_master, F_GETFL);
        if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
            throwErrno("fcntl O_NONBLOCK on the pseudo-terminal master");
        }
        if (!linkPath.empty()) {
            struct stat existing {};
            if (::lstat(linkPath.c_str(), &existing) == 0) {
                if (!S_ISLNK(existing.st_mode)) {
                    errno = EEXIST;
                    throwErrno(linkPath + " exists and is not a symbolic link; not replacing it");
                }
                if (::unlink(linkPath.c_str()) != 0) {
                    throwErrno("unlink old link " + linkPath);
                }
            }
            if (::symlink(m_devicePath.c_str(), linkPath.c_str()) != 0) {
                throwErrno("symlink " + linkPath + " -> " + m_devicePath);
            }
            m_linkPath = linkPath;
        }
    } catch (...) {
        CloseDevice();
        m_devicePath.clear();
        throw;
    }
    m_stopRequested = false;
    m_thread = std::thread(&PtyController::Serve, this);
    return m_devicePath;
}

void PtyController::Stop()
{
    m_stopRequested = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    CloseDevice();
}

PtyStats PtyController::Stats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PtyStats stats;
    stats.protocol = m_protocol.Stats();
    stats.bytesWritten = m_bytesWritten;
    stats.vanished = m_protocol.Vanished();
    stats.failure = m_failure;
    return stats;
}

void PtyController::Serve()
{
    std::array<std::uint8_t, 256> received{};
    while (!m_stopRequested) {
        pollfd watched{m_master, static_cast<short>(POLLIN | (m_pendingOutput.empty() ? 0 : POLLOUT)), 0};
        const timespec timeout = PollTimeout(NextDue(), Clock::now());
        if (::ppoll(&watched, 1, &timeout, nullptr) < 0 && errno != EINTR) {
            RecordFailure(DescribeErrno("poll"));
            return;
        }
        if (watched.revents & (POLLERR | POLLNVAL)) {
            RecordFailure("poll reported an error on the pseudo-terminal master");
            return;
        }
        ssize_t count = 0;
        if (watched.revents & POLLIN) {
            count = ::read(m_master, received.data(), received.size());
            if (count < 0 && errno != EAGAIN && errno != EINTR) {
                RecordFailure(DescribeErrno("read from the pseudo-terminal master"));
                return;
            }
        }
        const bool vanished =
            Exchange(Clock::now(), received.data(), static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        if (!FlushOutput()) {
            RecordFailure(DescribeErrno("write to the pseudo-terminal master"));
            return;
        }
        if (vanished) {
            CloseDevice();
            return;
        }
    }
}

bool PtyController::Exchange(Clock::time_point now, const std::uint8_t* received, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        m_requests.push_back({m_towardController.Deliver(now), received[i]});
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    // The controller answers each request the moment it has arrived.
    while (!m_requests.empty() && m_requests.front().due <= now) {
        const InTransit request = m_requests.front();
        m_requests.pop_front();
        m_protocol.Receive(request.byte, request.due);
        for (const std::uint8_t answer : m_protocol.TakeOutput()) {
            m_answers.push_back({m_towardTool.Deliver(request.due), answer});
        }
    }
    m_protocol.AdvanceTo(now);
    for (const std::uint8_t answer : m_protocol.TakeOutput()) {
        m_answers.push_back({m_towardTool.Deliver(now), answer});
    }
    while (!m_answers.empty() && m_answers.front().due <= now) {
        m_pendingOutput.push_back(m_answers.front().byte);
        m_answers.pop_front();
    }
    return m_protocol.Vanished();
}

std::optional<Clock::time_point> PtyController::NextDue() const
{
    std::optional<Clock::time_point> due;
    if (!m_requests.empty()) {
        due = m_requests.front().due;
    }
    if (!m_answers.empty()) {
        due = Earliest(due, m_answers.front().due);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return Earliest(due, m_protocol.NextEventTime());
}

bool PtyController::FlushOutput()
{
    while (!m_pendingOutput.empty()) {
        const ssize_t written = ::write(m_master, m_pendingOutput.data(), m_pendingOutput.size());
        if (written < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        m_pendingOutput.erase(m_pendingOutput.begin(), m_pendingOutput.begin() + written);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bytesWritten += static_cast<std::uint64_t>(written);
    }
    return true;
}

void PtyController::RecordFailure(const std::string& message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failure = message;
}

void PtyController::CloseDevice()
{
    if (!m_linkPath.empty() && IsSymlinkTo(m_linkPath, m_devicePath)) {
        ::unlink(m_linkPath.c_str());
    }
    m_linkPath.clear();
    CloseIfOpen(m_slave);
    CloseIfOpen(m_master);
}

}  // namespace dentora::sim
