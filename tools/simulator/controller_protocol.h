// The engine controller's side of the serial exchange, with no I/O and no
// threads: feed it the bytes the tool sends, with the time they arrived, and
// take from it the bytes to send back. Also usable to drive a fuzzer in memory.
//
// Library: dentora_simulator. Include as "simulator/controller_protocol.h".
//
// The exchange (tool -> controller, controller -> tool):
//   'g'  starts a capture: the log restarts at its first byte; after the
//        acknowledge delay the controller sends 'd' once, unsolicited.
//   'n'  answers the log's byte count, two bytes, low byte first.
//   'a'  answers the next byte of the log (three per record).
//   Any other byte is ignored.
// Asked past the announced count, the log goes on with the running engine
// for as long as 'a' is asked, unless the "log ends early" fault is set.
#pragma once

#include "simulator/engine_model.h"
#include "simulator/line_model.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace dentora::sim {

inline constexpr std::uint8_t kGoCommand = 'g';
inline constexpr std::uint8_t kCountCommand = 'n';
inline constexpr std::uint8_t kNextByteCommand = 'a';
inline constexpr std::uint8_t kAcknowledge = 'd';

// A count of more records (4100) than the tool's 8100-byte capture buffer
// holds (4049).
inline constexpr std::uint16_t kOversizedCount = 12300;

// Ways the controller can misbehave. Positions count from 0 since the last
// 'g': record 0 is the first calibration record, byte 0 its type byte.
struct ControllerFaults {
    bool neverAcknowledge = false;
    bool ignoreCount = false;             // acknowledges, then never answers 'n'
    bool silent = false;                  // answers nothing at all, not even 'd'
    unsigned noiseBeforeAcknowledge = 0;  // random bytes, never 'd', sent at once on 'g'
    std::optional<std::size_t> badTypeAtRecord;
    std::uint8_t badTypeByte = 'X';
    std::optional<std::size_t> dropAnswerAtByte;       // that 'a' gets no answer; the byte is lost
    std::optional<std::size_t> duplicateAnswerAtByte;  // that 'a' is answered twice; later ones go on in order
    bool logEndsEarly = false;                         // silent to 'a' past the announced count
    bool zeroCalibration = false;                      // both calibration tick counts 0
    std::optional<std::size_t> vanishAfterRecord;      // the 'a' after this record closes the device
    bool randomAnswers = false;                        // every answer and the count are random bytes

    // Counter faults, for the trigger analysis to find (the signal's own
    // faults are the engine's: EngineConfig::faults).
    std::optional<std::size_t> saturateAtRecord;  // that record's tick count reads 65535
};

struct ControllerConfig {
    EngineConfig engine;
    unsigned records = 300;                      // announced count = 3 * records
    std::optional<std::uint16_t> countOverride;  // announced as is, whatever the log holds
    std::chrono::milliseconds acknowledgeDelay{500};
    std::uint32_t seed = 1;  // for the noise and random-answer faults
    ControllerFaults faults;
    LineModel line;  // how PtyController's line carries the bytes
};

struct ProtocolStats {
    std::uint64_t goCommands = 0;
    std::uint64_t countCommands = 0;
    std::uint64_t nextByteCommands = 0;
    std::uint64_t ignoredBytes = 0;
    std::uint64_t bytesQueued = 0;  // handed out by TakeOutput()
};

class ControllerProtocol {
public:
    using Clock = std::chrono::steady_clock;

    // Throws std::invalid_argument for an engine that does not fit the log
    // format (see ResolveTiming) or a record count whose byte count does not
    // fit in 16 bits.
    explicit ControllerProtocol(const ControllerConfig& config);

    // Handles one byte from the tool. Timed events due by `now` are released
    // first, so answers always follow an acknowledge that was already due.
    void Receive(std::uint8_t byte, Clock::time_point now);
    // Releases the timed events due by `now` (the delayed acknowledge).
    void AdvanceTo(Clock::time_point now);
    std::optional<Clock::time_point> NextEventTime() const;
    std::vector<std::uint8_t> TakeOutput();

    // True once the controller has vanished: the device must close, and
    // nothing more is answered.
    bool Vanished() const { return m_vanished; }

    std::uint16_t AnnouncedCount() const { return m_announcedCount; }
    const EngineTiming& Timing() const { return m_timing; }
    const ProtocolStats& Stats() const { return m_stats; }

private:
    void StartCapture(Clock::time_point now);
    void AnswerCount();
    void AnswerNextByte();
    std::uint8_t LogByte(std::size_t position);
    std::uint8_t RandomByte();

    ControllerConfig m_config;
    EngineTiming m_timing;
    std::uint16_t m_announcedCount = 0;
    TachLog m_log;
    std::size_t m_logPosition = 0;         // byte index of the next 'a' answer
    std::size_t m_currentRecordIndex = 0;  // records taken from m_log
    Record m_currentRecord;
    std::optional<Clock::time_point> m_acknowledgeDue;
    std::mt19937 m_random;
    std::vector<std::uint8_t> m_output;
    ProtocolStats m_stats;
    bool m_vanished = false;
};

}  // namespace dentora::sim
