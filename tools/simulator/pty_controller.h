// A simulated engine controller behind a pseudo-terminal: the tool opens the
// slave device (e.g. /dev/pts/5) as if it were a serial port, and a
// background thread answers it through ControllerProtocol.
//
// Library: dentora_simulator. Include as "simulator/pty_controller.h".
//
// Both ends are in raw mode, so every byte value passes unchanged; the baud
// rate and framing the tool sets are accepted and have no effect: the line's
// timing is the configuration's line model (none by default). The server
// keeps a slave descriptor of its own open so that the tool can close and
// reopen the device between captures without hanging up the line. Because of
// that the terminal is never fully closed: a tool that takes exclusive access
// (TIOCEXCL) must give it back (TIOCNXCL) when it closes, as QSerialPort does,
// or its next open fails with EBUSY.
#pragma once

#include "simulator/controller_protocol.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace dentora::sim {

struct PtyStats {
    ProtocolStats protocol;
    std::uint64_t bytesWritten = 0;  // actually written to the line
    bool vanished = false;           // the device was closed by the vanish fault
    std::string failure;             // why serving stopped early; empty while all is well
};

class PtyController {
public:
    // Throws std::invalid_argument for a configuration the controller
    // cannot serve (see ControllerProtocol).
    explicit PtyController(const ControllerConfig& config);
    ~PtyController();
    PtyController(const PtyController&) = delete;
    PtyController& operator=(const PtyController&) = delete;

    // Opens the pseudo-terminal and starts serving. Returns the slave device
    // path. With a non-empty linkPath, also makes linkPath a symbolic link to
    // it (replacing an existing symbolic link, never another kind of file),
    // removed again by stop(). Throws std::system_error naming the failed step.
    std::string start(const std::string& linkPath = {});
    // Stops serving, joins the thread and closes the device. Idempotent.
    void stop();

    const std::string& devicePath() const { return devicePath_; }
    // Fixed at construction, so safe to read while serving.
    const EngineTiming& timing() const { return protocol_.timing(); }
    std::uint16_t announcedCount() const { return protocol_.announcedCount(); }
    PtyStats stats() const;

private:
    // A byte on its way through the line model, due at its delivery time.
    struct InTransit {
        ControllerProtocol::Clock::time_point due;
        std::uint8_t byte;
    };

    void serve();
    // Hands the protocol the requests that have arrived by now and puts its
    // answers on the line; true when the controller has vanished.
    bool exchange(ControllerProtocol::Clock::time_point now, const std::uint8_t* received, std::size_t count);
    std::optional<ControllerProtocol::Clock::time_point> nextDue() const;
    bool flushOutput();
    void recordFailure(const std::string& message);
    void closeDevice();

    ControllerProtocol protocol_;  // guarded by mutex_ once the thread runs
    mutable std::mutex mutex_;
    std::uint64_t bytesWritten_ = 0;  // guarded by mutex_
    std::string failure_;             // guarded by mutex_
    LineDirection towardController_;
    LineDirection towardTool_;
    std::deque<InTransit> requests_;           // serving thread only
    std::deque<InTransit> answers_;            // serving thread only
    std::vector<std::uint8_t> pendingOutput_;  // due, not yet written; serving thread only
    int master_ = -1;
    int slave_ = -1;
    std::string devicePath_;
    std::string linkPath_;
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

}  // namespace dentora::sim
