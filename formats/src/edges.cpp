#include "formats/edges.h"

#include <algorithm>

namespace dentora {

std::vector<Edge> EdgesInTimeOrder(const std::vector<TriggerRecord>& records)
{
    std::vector<Edge> edges;
    std::uint64_t clocks[2] = {0, 0};
    for (std::size_t index = kCalibrationRecords; index < records.size(); ++index) {
        const TriggerRecord& record = records[index];
        Edge edge;
        switch (record.type) {
        case kCrankRise:
            edge.signal = Signal::kCrank;
            edge.high = true;
            break;
        case kCrankFall:
            edge.signal = Signal::kCrank;
            edge.high = false;
            break;
        case kCamRise:
            edge.signal = Signal::kCam;
            edge.high = true;
            break;
        case kCamFall:
            edge.signal = Signal::kCam;
            edge.high = false;
            break;
        default: continue;
        }
        std::uint64_t& clock = clocks[edge.signal == Signal::kCrank ? 0 : 1];
        clock += record.ticks;
        edge.record = index;
        edge.time = clock;
        edge.toothTicks = record.ticks;
        edges.push_back(edge);
    }
    std::stable_sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.time < b.time; });
    return edges;
}

}  // namespace dentora
