// A serial line as a USB-serial adapter makes it: every byte takes its time
// on the wire in each direction (ten bits at the baud rate: 8N1), one after
// the other, and bytes to the tool reach it only after the adapter's
// latency. With no baud rate and no latency, bytes pass at once.
//
// Library: dentora_simulator. Include as "simulator/line_model.h".
#pragma once

#include <chrono>
#include <cstddef>

namespace dentora::sim {

struct LineModel {
    unsigned baud = 0;                     // 0: bytes take no time on the wire
    std::chrono::microseconds latency{0};  // from the wire to the tool's reader

    std::chrono::nanoseconds ByteTime() const;
};

// One direction of the line: when each byte handed to it is delivered.
class LineDirection {
public:
    using Clock = std::chrono::steady_clock;

    LineDirection(std::chrono::nanoseconds byteTime, std::chrono::nanoseconds delay)
        : m_byteTime(byteTime), m_delay(delay)
    {
    }

    // A byte handed over at `sent` goes onto the wire once the bytes before
    // it are off it, and is delivered its wire time and the delay later.
    Clock::time_point Deliver(Clock::time_point sent);

private:
    std::chrono::nanoseconds m_byteTime;
    std::chrono::nanoseconds m_delay;
    Clock::time_point m_wireFree{};
};

// The two directions of a line model: requests to the controller, answers
// to the tool (the only ones that wait for the adapter's latency).
LineDirection TowardController(const LineModel& line);
LineDirection TowardTool(const LineModel& line);

// The least time the line needs to carry `requests` one-byte requests, each
// answered by one byte at once, with at most `depth` requests unanswered at
// any time: from the first request handed to the line to the last answer
// reaching the tool. What no tool pacing on that line can beat.
std::chrono::nanoseconds PipelinedExchangeTime(const LineModel& line, std::size_t requests, std::size_t depth);

}  // namespace dentora::sim
