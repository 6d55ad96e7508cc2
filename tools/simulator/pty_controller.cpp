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

// Short enough that stop() returns promptly, long enough not to spin.
constexpr std::chrono::milliseconds kPollInterval{20};

std::string describeErrno(const std::string& step) {
    return step + ": " + std::generic_category().message(errno);
}

[[noreturn]] void throwErrno(const std::string& step) {
    throw std::system_error(errno, std::generic_category(), step);
}

void makeRaw(int fd, const std::string& what) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        throwErrno("tcgetattr on " + what);
    }
    cfmakeraw(&settings);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        throwErrno("tcsetattr on " + what);
    }
}

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool isSymlinkTo(const std::string& linkPath, const std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(linkPath.c_str(), buffer.data(), buffer.size() - 1);
    return length >= 0 && target == std::string(buffer.data(), static_cast<std::size_t>(length));
}

timespec pollTimeout(std::optional<Clock::time_point> due, Clock::time_point now) {
    std::chrono::nanoseconds timeout = kPollInterval;
    if (due) {
        timeout = std::clamp<std::chrono::nanoseconds>(*due - now, std::chrono::nanoseconds{0}, timeout);
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
}

std::optional<Clock::time_point> earliest(std::optional<Clock::time_point> a, std::optional<Clock::time_point> b) {
    if (!a || !b) {
        return a ? a : b;
    }
    return std::min(*a, *b);
}

}  // namespace

PtyController::PtyController(const ControllerConfig& config)
    : protocol_(config), towardController_(towardController(config.line)), towardTool_(towardTool(config.line)) {}

PtyController::~PtyController() { stop(); }

std::string PtyController::start(const std::string& linkPath) {
    if (thread_.joinable() || master_ >= 0) {
        throw std::logic_error("the simulated controller is already started");
    }
    try {
        // Close-on-exec: a program the host starts must not keep the line
        // open, or the device could never hang up (the vanish fault).
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) {
            throwErrno("posix_openpt");
        }
        if (::grantpt(master_) != 0) {
            throwErrno("grantpt");
        }
        if (::unlockpt(master_) != 0) {
            throwErrno("unlockpt");
        }
        std::array<char, 256> name{};
        if (const int error = ::ptsname_r(master_, name.data(), name.size()); error != 0) {
            errno = error;
            throwErrno("ptsname_r");
        }
        devicePath_ = name.data();
        slave_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            throwErrno("open " + devicePath_);
        }
        makeRaw(slave_, devicePath_);
        makeRaw(master_, "the pseudo-terminal master");
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
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
            if (::symlink(devicePath_.c_str(), linkPath.c_str()) != 0) {
                throwErrno("symlink " + linkPath + " -> " + devicePath_);
            }
            linkPath_ = linkPath;
        }
    } catch (...) {
        closeDevice();
        devicePath_.clear();
        throw;
    }
    stopRequested_ = false;
    thread_ = std::thread(&PtyController::serve, this);
    return devicePath_;
}

void PtyController::stop() {
    stopRequested_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    closeDevice();
}

PtyStats PtyController::stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    PtyStats stats;
    stats.protocol = protocol_.stats();
    stats.bytesWritten = bytesWritten_;
    stats.vanished = protocol_.vanished();
    stats.failure = failure_;
    return stats;
}

void PtyController::serve() {
    std::array<std::uint8_t, 256> received{};
    while (!stopRequested_) {
        pollfd watched{master_, static_cast<short>(POLLIN | (pendingOutput_.empty() ? 0 : POLLOUT)), 0};
        const timespec timeout = pollTimeout(nextDue(), Clock::now());
        if (::ppoll(&watched, 1, &timeout, nullptr) < 0 && errno != EINTR) {
            recordFailure(describeErrno("poll"));
            return;
        }
        if (watched.revents & (POLLERR | POLLNVAL)) {
            recordFailure("poll reported an error on the pseudo-terminal master");
            return;
        }
        ssize_t count = 0;
        if (watched.revents & POLLIN) {
            count = ::read(master_, received.data(), received.size());
            if (count < 0 && errno != EAGAIN && errno != EINTR) {
                recordFailure(describeErrno("read from the pseudo-terminal master"));
                return;
            }
        }
        const bool vanished = exchange(Clock::now(), received.data(), static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        if (!flushOutput()) {
            recordFailure(describeErrno("write to the pseudo-terminal master"));
            return;
        }
        if (vanished) {
            closeDevice();
            return;
        }
    }
}

bool PtyController::exchange(Clock::time_point now, const std::uint8_t* received, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        requests_.push_back({towardController_.deliver(now), received[i]});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // The controller answers each request the moment it has arrived.
    while (!requests_.empty() && requests_.front().due <= now) {
        const InTransit request = requests_.front();
        requests_.pop_front();
        protocol_.receive(request.byte, request.due);
        for (const std::uint8_t answer : protocol_.takeOutput()) {
            answers_.push_back({towardTool_.deliver(request.due), answer});
        }
    }
    protocol_.advanceTo(now);
    for (const std::uint8_t answer : protocol_.takeOutput()) {
        answers_.push_back({towardTool_.deliver(now), answer});
    }
    while (!answers_.empty() && answers_.front().due <= now) {
        pendingOutput_.push_back(answers_.front().byte);
        answers_.pop_front();
    }
    return protocol_.vanished();
}

std::optional<Clock::time_point> PtyController::nextDue() const {
    std::optional<Clock::time_point> due;
    if (!requests_.empty()) {
        due = requests_.front().due;
    }
    if (!answers_.empty()) {
        due = earliest(due, answers_.front().due);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return earliest(due, protocol_.nextEventTime());
}

bool PtyController::flushOutput() {
    while (!pendingOutput_.empty()) {
        const ssize_t written = ::write(master_, pendingOutput_.data(), pendingOutput_.size());
        if (written < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        pendingOutput_.erase(pendingOutput_.begin(), pendingOutput_.begin() + written);
        std::lock_guard<std::mutex> lock(mutex_);
        bytesWritten_ += static_cast<std::uint64_t>(written);
    }
    return true;
}

void PtyController::recordFailure(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = message;
}

void PtyController::closeDevice() {
    if (!linkPath_.empty() && isSymlinkTo(linkPath_, devicePath_)) {
        ::unlink(linkPath_.c_str());
    }
    linkPath_.clear();
    closeIfOpen(slave_);
    closeIfOpen(master_);
}

}  // namespace dentora::sim
