#include "simulator/line_model.h"

#include <algorithm>
#include <vector>

namespace dentora::sim {

namespace {
// A start bit, eight data bits, a stop bit.
constexpr long long kBitsPerByte = 10;
}  // namespace

std::chrono::nanoseconds LineModel::ByteTime() const
{
    if (baud == 0) {
        return std::chrono::nanoseconds{0};
    }
    return std::chrono::nanoseconds{kBitsPerByte * 1'000'000'000LL / baud};
}

LineDirection::Clock::time_point LineDirection::Deliver(Clock::time_point sent)
{
    m_wireFree = std::max(sent, m_wireFree) + m_byteTime;
    return m_wireFree + m_delay;
}

LineDirection TowardController(const LineModel& line)
{
    return LineDirection(line.ByteTime(), std::chrono::nanoseconds{0});
}

LineDirection TowardTool(const LineModel& line)
{
    return LineDirection(line.ByteTime(), line.latency);
}

std::chrono::nanoseconds PipelinedExchangeTime(const LineModel& line, std::size_t requests, std::size_t depth)
{
    using Clock = LineDirection::Clock;
    if (requests == 0) {
        return std::chrono::nanoseconds{0};
    }
    depth = std::max<std::size_t>(depth, 1);
    LineDirection out = TowardController(line);
    LineDirection back = TowardTool(line);
    const Clock::time_point start{};
    // answered[i % depth]: when the answer to request i reached the tool;
    // request i may go once the answer to request i - depth is in.
    std::vector<Clock::time_point> answered(depth, start);
    Clock::time_point last = start;
    for (std::size_t i = 0; i < requests; ++i) {
        const Clock::time_point mayGo = i < depth ? start : answered[i % depth];
        last = back.Deliver(out.Deliver(mayGo));
        answered[i % depth] = last;
    }
    return last - start;
}

}  // namespace dentora::sim
