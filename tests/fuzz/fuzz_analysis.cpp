// Arbitrary record lists through the trigger analysis: nothing may crash,
// no figure may be NaN or infinite, every index must lie inside the capture
// and the hover look-up must land on a tooth that holds the point.
//
// Input: one byte for the tick length (0: none; 255: the next 8 bytes are a
// double as is; otherwise a quarter µs per unit), then records of three
// bytes: type (mostly one of R, F, r, f; 252 and up taken as is), ticks
// low byte first.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace dentora;

void Require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", what);
    std::abort();
}

bool Finite(const std::optional<double>& value)
{
    return !value || std::isfinite(*value);
}

AnalysisOptions ReadOptions(const std::uint8_t*& data, std::size_t& size)
{
    AnalysisOptions options;
    if (size == 0)
        return options;
    const std::uint8_t mode = *data++;
    --size;
    if (mode == 255 && size >= sizeof(double)) {
        double tick;
        std::memcpy(&tick, data, sizeof tick);
        options.tickMicros = tick;
        data += sizeof tick;
        size -= sizeof tick;
    } else if (mode != 0) {
        options.tickMicros = mode * 0.25;
    }
    return options;
}

void CheckTeeth(const TriggerReport& report)
{
    const CrankTooth* previous = nullptr;
    for (const CrankTooth& tooth : report.teeth) {
        Require(tooth.record < report.records, "tooth record inside the capture");
        Require(std::isfinite(tooth.rise.chartX) && std::isfinite(tooth.nextRise.chartX), "tooth times finite");
        Require(tooth.nextRise.ticks >= tooth.rise.ticks, "tooth period not negative");
        Require(Finite(tooth.duty) && Finite(tooth.ratio) && Finite(tooth.rpm), "tooth figures finite");
        Require(tooth.span >= 1 && tooth.number >= 0, "tooth span and number");
        Require(Finite(tooth.measuredAngle) && Finite(tooth.expectedAngle) && std::isfinite(tooth.periodDegrees),
                "tooth angles finite");
        Require(!previous || previous->nextRise.ticks == tooth.rise.ticks, "teeth follow one another");
        const double middle = (tooth.rise.chartX + tooth.nextRise.chartX) / 2;
        const CrankTooth* hovered = ToothAt(report, middle);
        Require(!hovered || (hovered->rise.chartX <= middle && middle < hovered->nextRise.chartX),
                "hover lands on a tooth that holds the point");
        previous = &tooth;
    }
}

void CheckCamSpeedAnomalies(const TriggerReport& report)
{
    for (const CamPulse& pulse : report.cam.pulses) {
        Require(pulse.record < report.records && std::isfinite(pulse.rise.chartX), "cam pulse inside, finite");
        Require(!pulse.angle || (*pulse.angle >= 0.0 && *pulse.angle <= 720.0), "cam angle within 720");
    }
    for (const CamLocation& location : report.cam.locations)
        Require(std::isfinite(location.meanAngle) && location.minAngle <= location.maxAngle, "cam location");
    Require(Finite(report.speed.minRpm) && Finite(report.speed.meanRpm) && Finite(report.speed.maxRpm), "speed");
    const WheelSummary& wheel = report.wheel;
    Require(wheel.confidence >= 0.0 && wheel.confidence <= 1.0, "confidence a share");
    Require(!wheel.Known() || (wheel.revolutionsAgreeing <= wheel.revolutionsSeen && !wheel.candidates.empty()),
            "a named wheel is its candidates' best");
    for (const ExpectedCrankEdge& edge : report.expectedCrankEdges)
        Require(std::isfinite(edge.at.chartX) && edge.tooth >= 1, "expected edges finite");
    for (const Anomaly& anomaly : report.anomalies) {
        Require(anomaly.record < report.records, "anomaly record inside the capture");
        Require(std::isfinite(anomaly.at.chartX) && !anomaly.reason.empty(), "anomaly time finite, reason given");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const AnalysisOptions options = ReadOptions(data, size);
    static const std::uint8_t kTypes[] = {kCrankRise, kCrankFall, kCamRise, kCamFall};
    std::vector<TriggerRecord> records;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const std::uint8_t type = data[i] >= 252 ? data[i] : kTypes[data[i] % 4];
        records.push_back({type, std::uint16_t(data[i + 1] | (data[i + 2] << 8))});
    }
    const TriggerReport report = AnalyzeTrigger(records, options);
    Require(std::isfinite(report.chartUnitsPerTick) && report.chartUnitsPerTick >= 0.0, "time scale");
    CheckTeeth(report);
    CheckCamSpeedAnomalies(report);
    Require(!FormatTriggerReport(report).empty(), "report text");
    return 0;
}
