#include "simulator/line_model.h"

#include <algorithm>
#include <vector>

namespace dentora::sim {

namespace {
// A start bit, eight data bits, a stop bit.
constexpr long long kBitsPerByte = 10;
}  // namespace

std::chrono::nanoseconds LineModel::byteTime() const {
    if (baud == 0) {
        return std::chrono::nanoseconds{0};
    }
    return std::chrono::nanoseconds{kBitsPerByte * 1'000'000'000LL / baud};
}

LineDirection::Clock::time_point LineDirection::deliver(Clock::time_point sent) {
    wireFree_ = std::max(sent, wireFree_) + byteTime_;
    return wireFree_ + delay_;
}

LineDirection towardController(const LineModel& line) {
    return LineDirection(line.byteTime(), std::chrono::nanoseconds{0});
}

LineDirection towardTool(const LineModel& line) {
    return LineDirection(line.byteTime(), line.latency);
}

std::chrono::nanoseconds pipelinedExchangeTime(const LineModel& line, std::size_t requests, std::size_t depth) {
    using Clock = LineDirection::Clock;
    if (requests == 0) {
        return std::chrono::nanoseconds{0};
    }
    depth = std::max<std::size_t>(depth, 1);
    LineDirection out = towardController(line);
    LineDirection back = towardTool(line);
    const Clock::time_point start{};
    // answered[i % depth]: when the answer to request i reached the tool;
    // request i may go once the answer to request i - depth is in.
    std::vector<Clock::time_point> answered(depth, start);
    Clock::time_point last = start;
    for (std::size_t i = 0; i < requests; ++i) {
        const Clock::time_point mayGo = i < depth ? start : answered[i % depth];
        last = back.deliver(out.deliver(mayGo));
        answered[i % depth] = last;
    }
    return last - start;
}

}  // namespace dentora::sim
