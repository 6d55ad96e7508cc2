// The wheel: its pattern from the gaps the teeth's periods show (or, on a
// wheel without a gap, from the cam), the teeth numbered from the gap, and
// every gap and revolution held against that pattern.
#include "analysis_steps.h"

#include <algorithm>
#include <map>
#include <string>

namespace dentora::analysis {
namespace {

// The most frequent value; the smallest among equals. 0 for none.
std::int64_t Mode(const std::vector<std::int64_t>& values)
{
    std::map<std::int64_t, int> counts;
    for (std::int64_t value : values)
        ++counts[value];
    std::int64_t best = 0;
    int bestCount = 0;
    for (const auto& [value, count] : counts) {
        if (count > bestCount) {
            best = value;
            bestCount = count;
        }
    }
    return best;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t quotient = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? quotient - 1 : quotient;
}

// From the gaps: their most common size, the most common distance between
// two of that size, and where they end.
WheelGeometry GeometryFromGaps(const std::vector<CrankTooth>& teeth, const std::vector<std::int64_t>& positions,
                               int* missing)
{
    std::vector<std::int64_t> sizes;
    for (const CrankTooth& tooth : teeth) {
        if (tooth.span >= 2)
            sizes.push_back(tooth.span);
    }
    if (sizes.empty())
        return {};
    const std::int64_t gapSlots = Mode(sizes);
    std::vector<std::int64_t> ends;
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        if (teeth[i].span == gapSlots)
            ends.push_back(positions[i] + gapSlots);
    }
    std::vector<std::int64_t> distances;
    for (std::size_t i = 1; i < ends.size(); ++i)
        distances.push_back(ends[i] - ends[i - 1]);
    const std::int64_t slots = Mode(distances);
    if (slots <= gapSlots)
        return {};
    std::vector<std::int64_t> phases;
    for (std::int64_t end : ends)
        phases.push_back(end % slots);
    *missing = int(gapSlots - 1);
    return {int(slots), Mode(phases)};
}

// Without a gap, one cam pulse per 720° is taken to mark the cycle: the
// teeth between two pulses are two revolutions, and the tooth a pulse
// follows is tooth 1.
WheelGeometry GeometryFromCam(const std::vector<CrankTooth>& teeth, const std::vector<std::int64_t>& positions,
                              const std::vector<SignalEdge>& cam)
{
    std::vector<std::int64_t> followed;
    for (const SignalEdge& edge : cam) {
        const std::ptrdiff_t tooth = edge.rising ? ToothIndexAtTick(teeth, edge.time.ticks) : -1;
        if (tooth >= 0)
            followed.push_back(positions[std::size_t(tooth)]);
    }
    std::vector<std::int64_t> spacings;
    for (std::size_t i = 1; i < followed.size(); ++i)
        spacings.push_back(followed[i] - followed[i - 1]);
    const std::int64_t cycle = Mode(spacings);
    if (cycle < 2 || cycle % 2 != 0)
        return {};
    const std::int64_t slots = cycle / 2;
    std::vector<std::int64_t> phases;
    for (std::int64_t position : followed)
        phases.push_back(position % slots);
    return {int(slots), Mode(phases)};
}

void NumberTeeth(std::vector<CrankTooth>& teeth, const std::vector<std::int64_t>& positions,
                 const WheelGeometry& geometry)
{
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        const std::int64_t relative = positions[i] - geometry.anchor;
        teeth[i].revolution = FloorDiv(relative, geometry.positions);
        teeth[i].number = int(relative - teeth[i].revolution * geometry.positions) + 1;
    }
}

std::string MissingTeeth(int count)
{
    return std::to_string(count) + (count == 1 ? " missing tooth" : " missing teeth");
}

void AddToothAnomaly(TriggerReport& report, AnomalyKind kind, std::size_t tooth, bool atEnd, std::string reason)
{
    const CrankTooth& at = report.teeth[tooth];
    const bool next = atEnd && tooth + 1 < report.teeth.size();
    report.anomalies.push_back({kind, TriggerChannel::kCrank, next ? report.teeth[tooth + 1].record : at.record,
                                atEnd ? at.nextRise : at.rise, std::move(reason)});
}

void CheckGapsFallOnTheWheel(TriggerReport& report, const WheelGeometry& geometry)
{
    const int missing = report.wheel.teethMissing;
    for (std::size_t i = 0; i < report.teeth.size(); ++i) {
        const CrankTooth& tooth = report.teeth[i];
        const bool endsRevolution = tooth.number - 1 + tooth.span == geometry.positions;
        if (tooth.span >= 2 && (missing == 0 || !endsRevolution))
            AddToothAnomaly(report, AnomalyKind::kUnexpectedGap, i, true,
                            "a gap of " + MissingTeeth(tooth.span - 1) + " after tooth " +
                                std::to_string(tooth.number) + ", where the wheel has none");
    }
}

// One whole revolution: teeth [first, last], all of one revolution.
void CheckRevolution(TriggerReport& report, std::size_t first, std::size_t last, const WheelGeometry& geometry)
{
    WheelSummary& wheel = report.wheel;
    const int teeth = int(last - first + 1);
    const CrankTooth& closing = report.teeth[last];
    const bool closesAtBoundary = closing.number - 1 + closing.span == geometry.positions;
    const bool gapRight = wheel.teethMissing == 0 || (closesAtBoundary && closing.span == wheel.teethMissing + 1);
    ++wheel.revolutionsSeen;
    if (teeth == wheel.teethPresent && gapRight)
        ++wheel.revolutionsAgreeing;
    if (teeth != wheel.teethPresent)
        AddToothAnomaly(report, AnomalyKind::kToothCount, first, false,
                        "a revolution of " + std::to_string(teeth) + " teeth where the wheel has " +
                            std::to_string(wheel.teethPresent));
    if (gapRight)
        return;
    if (closesAtBoundary && closing.span > 1) {
        AddToothAnomaly(report, AnomalyKind::kMissingGap, last, false,
                        "a gap of " + MissingTeeth(closing.span - 1) + " where the wheel's gap has " +
                            std::to_string(wheel.teethMissing));
        return;
    }
    // A tooth stands where the gap should be: the first one numbered past the wheel's teeth.
    std::size_t extra = last;
    while (extra > first && report.teeth[extra - 1].number > wheel.teethPresent)
        --extra;
    AddToothAnomaly(report, AnomalyKind::kMissingGap, extra, false,
                    "no gap after tooth " + std::to_string(wheel.teethPresent) + " where the wheel has " +
                        std::to_string(wheel.teethMissing) + " missing");
}

void CheckRevolutions(TriggerReport& report, const std::vector<std::int64_t>& positions, const WheelGeometry& geometry)
{
    auto& teeth = report.teeth;
    const std::int64_t end = positions.back() + teeth.back().span;
    for (std::size_t first = 0; first < teeth.size();) {
        std::size_t last = first;
        while (last + 1 < teeth.size() && teeth[last + 1].revolution == teeth[first].revolution)
            ++last;
        const std::int64_t start = geometry.anchor + teeth[first].revolution * geometry.positions;
        if (start >= positions.front() && start + geometry.positions <= end)
            CheckRevolution(report, first, last, geometry);
        first = last + 1;
    }
}

}  // namespace

WheelGeometry FindWheel(const SignalEdges& edges, TriggerReport& report)
{
    if (report.teeth.empty())
        return {};
    const std::vector<std::int64_t> positions = SlotPositions(report.teeth);
    int missing = 0;
    WheelGeometry geometry = GeometryFromGaps(report.teeth, positions, &missing);
    const bool hasGap = geometry.positions > 0;
    if (!hasGap)
        geometry = GeometryFromCam(report.teeth, positions, edges.cam);
    if (geometry.positions == 0)
        return {};
    report.wheel.teethPresent = geometry.positions - missing;
    report.wheel.teethMissing = missing;
    report.wheel.sizedByCam = !hasGap;
    NumberTeeth(report.teeth, positions, geometry);
    CheckGapsFallOnTheWheel(report, geometry);
    CheckRevolutions(report, positions, geometry);
    return geometry;
}

}  // namespace dentora::analysis
