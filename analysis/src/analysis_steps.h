// The steps of AnalyzeTrigger, in the order it takes them.
#pragma once

#include "analysis/trigger_analysis.h"
#include "wheel_fit.h"

#include <cstddef>
#include <optional>
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

// The rising crank edges, each with its index among the crank's edges.
struct CrankRises {
    std::vector<CrankRise> rises;
    std::vector<std::size_t> edgeIndex;
};

void AddAnomaly(TriggerReport& report, AnomalyKind kind, TriggerChannel channel, const SignalEdge& edge,
                std::string reason);

// Calibration, each signal's clock, saturated counts, lost edges.
SignalEdges ReadEdges(const std::vector<TriggerRecord>& records, TriggerReport& report);
CrankRises RisingCrankEdges(const SignalEdges& edges);
std::vector<CamRise> RisingCamEdges(const SignalEdges& edges);

// Every library wheel and the generic candidates fitted; the best named in
// report.wheel when it is sure enough, with the closest candidates either way.
std::optional<WheelFit> IdentifyWheel(const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam,
                                      WheelSummary& wheel);
// Reads the crank on its falling edges instead when the wheel fits those
// better: edges, rises, fit and wheel then describe the inverted signal.
void TryFallingEdges(const std::vector<CamRise>& cam, SignalEdges& edges, CrankRises& rises,
                     std::optional<WheelFit>& fit, WheelSummary& wheel);
// The teeth from the rising crank edges: with a matched wheel its glitch
// edges left out, each tooth numbered and its faults reported.
void BuildTeeth(const SignalEdges& edges, const CrankRises& rises, const WheelFit* fit, TriggerReport& report);
// Each tooth's measured angle and the wheel's expected edges, revolution by revolution.
void MeasureAngles(const WheelFit& fit, TriggerReport& report);
// Each cam pulse placed on the wheel, its locations and pulses per 720°.
void PlaceCam(const SignalEdges& edges, TriggerReport& report);
void ComputeSpeed(TriggerReport& report);

// The index of the tooth whose period holds tick t, or -1.
std::ptrdiff_t ToothIndexAtTick(const std::vector<CrankTooth>& teeth, std::uint64_t ticks);

}  // namespace dentora::analysis
