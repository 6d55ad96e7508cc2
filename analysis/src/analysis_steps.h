// The steps of AnalyzeTrigger, in the order it takes them.
#pragma once

#include "analysis/trigger_analysis.h"

#include <cstddef>
#include <vector>

namespace dentora::analysis {

// One edge on its signal's clock.
struct SignalEdge {
    std::size_t record = 0;
    bool rising = false;
    bool saturated = false;  // its tick count was 65535
    CaptureTime time;
};

struct SignalEdges {
    std::vector<SignalEdge> crank;
    std::vector<SignalEdge> cam;
};

// The teeth's positions on the wheel: where tooth positions begin.
struct WheelGeometry {
    int positions = 0;        // tooth positions per revolution; 0 while unknown
    std::int64_t anchor = 0;  // position count of the first tooth after a gap
};

void AddAnomaly(TriggerReport& report, AnomalyKind kind, TriggerChannel channel, const SignalEdge& edge,
                std::string reason);

// Calibration, each signal's clock, saturated counts, lost edges.
SignalEdges ReadEdges(const std::vector<TriggerRecord>& records, TriggerReport& report);
// The teeth from the rising crank edges, glitches taken out, with periods,
// duties, ratios and the tooth positions each period spans.
void FindTeeth(const SignalEdges& edges, TriggerReport& report);
// The wheel from the gaps (or, without a gap, from the cam), the teeth
// numbered, the gaps and revolutions checked.
WheelGeometry FindWheel(const SignalEdges& edges, TriggerReport& report);
// Each cam pulse placed on the wheel, its locations and pulses per 720°.
void PlaceCam(const SignalEdges& edges, const WheelGeometry& geometry, TriggerReport& report);
void ComputeSpeed(TriggerReport& report);

// The index of the tooth whose period holds tick t, or -1.
std::ptrdiff_t ToothIndexAtTick(const std::vector<CrankTooth>& teeth, std::uint64_t ticks);
// Tooth positions counted from the capture's first tooth, at each tooth.
std::vector<std::int64_t> SlotPositions(const std::vector<CrankTooth>& teeth);

}  // namespace dentora::analysis
