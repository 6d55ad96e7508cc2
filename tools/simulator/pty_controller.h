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
    // removed again by Stop(). Throws std::system_error naming the failed step.
    std::string Start(const std::string& linkPath = {});
    // Stops serving, joins the thread and closes the device. Idempotent.
    void Stop();

    const std::string& DevicePath() const { return m_devicePath; }
    // Fixed at construction, so safe to read while serving.
    const EngineTiming& Timing() const { return m_protocol.Timing(); }
    std::uint16_t AnnouncedCount() const { return m_protocol.AnnouncedCount(); }
    PtyStats Stats() const;

private:
    // A byte on its way through the line model, due at its delivery time.
    struct InTransit {
        ControllerProtocol::Clock::time_point due;
        std::uint8_t byte;
    };

    void Serve();
    // Hands the protocol the requests that have arrived by now and puts its
    // answers on the line; true when the controller has vanished.
    bool Exchange(ControllerProtocol::Clock::time_point now, const std::uint8_t* received, std::size_t count);
    std::optional<ControllerProtocol::Clock::time_point> NextDue() const;
    bool FlushOutput();
    void RecordFailure(const std::string& message);
    void CloseDevice();

    ControllerProtocol m_protocol;  // guarded by m_mutex once the thread runs
    mutable std::mutex m_mutex;
    std::uint64_t m_bytesWritten = 0;  // guarded by m_mutex
    std::string m_failure;             // guarded by m_mutex
    LineDirection m_towardController;
    LineDirection m_towardTool;
    std::deque<InTransit> m_requests;           // serving thread only
    std::deque<InTransit> m_answers;            // serving thread only
    std::vector<std::uint8_t> m_pendingOutput;  // due, not yet written; serving thread only
    int m_master = -1;
    int m_slave = -1;
    std::string m_devicePath;
    std::string m_linkPath;
    std::atomic<bool> m_stopRequested{false};
    std::thread m_thread;
};

}  // namespace dentora::sim
