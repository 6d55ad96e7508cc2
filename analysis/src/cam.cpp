// The cam on the crank wheel: the tooth each pulse follows over 720°, its
// angle after tooth 1, where the pulses regularly fall; and the engine speed.
#include "analysis_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace dentora::analysis {
namespace {

// A cam pulse on the wheel, before the 720° cycle is known: its position in
// crank degrees after tooth 1 of revolution 0, and the tooth it follows.
struct Placed {
    std::size_t pulse = 0;
    double position = 0.0;
    std::size_t tooth = 0;
};

double AngleDistance(double a, double b)
{
    const double d = std::fmod(std::abs(a - b), 720.0);
    return std::min(d, 720.0 - d);
}

std::string Degrees(double angle)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f°", angle);
    return text;
}

std::vector<Placed> PlaceOnWheel(const SignalEdges& edges, TriggerReport& report)
{
    // After a saturated count the two clocks no longer agree.
    std::size_t firstSaturated = report.records;
    for (const auto* signal : {&edges.crank, &edges.cam}) {
        for (const SignalEdge& edge : *signal) {
            if (edge.saturated)
                firstSaturated = std::min(firstSaturated, edge.record);
        }
    }
    std::vector<Placed> placed;
    for (const SignalEdge& edge : edges.cam) {
        if (!edge.rising)
            continue;
        report.cam.pulses.push_back({edge.record, edge.time, 0, std::nullopt});
        const std::ptrdiff_t index = ToothIndexAtTick(report.teeth, edge.time.ticks);
        if (index < 0 || edge.record > firstSaturated)
            continue;
        const CrankTooth& tooth = report.teeth[std::size_t(index)];
        if (tooth.number == 0 || !tooth.expectedAngle)
            continue;
        const double fraction = double(edge.time.ticks - tooth.rise.ticks) / double(tooth.periodTicks);
        const double position =
            double(tooth.revolution) * 360.0 + *tooth.expectedAngle + fraction * tooth.periodDegrees;
        placed.push_back({report.cam.pulses.size() - 1, position, std::size_t(index)});
    }
    return placed;
}

// Pulses per 720° from the median spacing between neighbouring pulses.
int PulsesPer720(const std::vector<Placed>& placed)
{
    std::vector<double> spacings;
    for (std::size_t i = 1; i < placed.size(); ++i)
        spacings.push_back(placed[i].position - placed[i - 1].position);
    if (spacings.empty())
        return placed.empty() ? 0 : 1;
    std::nth_element(spacings.begin(), spacings.begin() + std::ptrdiff_t(spacings.size() / 2), spacings.end());
    const double median = spacings[spacings.size() / 2];
    return median > 0.0 ? std::max(1, int(std::lround(720.0 / median))) : 1;
}

// Numbers each placed pulse over 720°: the cycle's first revolution is the
// one most pulses fall in.
void NumberOver720(const std::vector<Placed>& placed, TriggerReport& report)
{
    const auto revolution = [](double position) { return std::int64_t(std::floor(position / 360.0)); };
    int odd = 0;
    for (const Placed& pulse : placed)
        odd += int(revolution(pulse.position) & 1);
    const std::int64_t parity = 2 * odd > int(placed.size()) ? 1 : 0;
    const int present = report.wheel.teethPresent;
    for (const Placed& pulse : placed) {
        const std::int64_t turn = revolution(pulse.position);
        const bool second = ((turn - parity) & 1) != 0;
        const CrankTooth& tooth = report.teeth[pulse.tooth];
        const bool toothInSecond = ((tooth.revolution - parity) & 1) != 0;
        CamPulse& cam = report.cam.pulses[pulse.pulse];
        cam.tooth = tooth.number + (toothInSecond ? present : 0);
        cam.angle = pulse.position - double(turn) * 360.0 + (second ? 360.0 : 0.0);
    }
}

// The teeth most pulses follow, one per pulse of the cycle, each at the
// mean angle of the pulses that follow it.
std::vector<CamLocation> MostFollowedTeeth(const CamSummary& cam)
{
    std::map<int, std::pair<int, double>> byTooth;  // tooth -> pulses, sum of angles
    for (const CamPulse& pulse : cam.pulses) {
        if (!pulse.angle)
            continue;
        ++byTooth[pulse.tooth].first;
        byTooth[pulse.tooth].second += *pulse.angle;
    }
    std::vector<CamLocation> locations;
    for (const auto& [tooth, counted] : byTooth)
        locations.push_back({tooth, counted.second / counted.first, 720.0, 0.0, counted.first});
    std::stable_sort(locations.begin(), locations.end(),
                     [](const CamLocation& a, const CamLocation& b) { return a.pulses > b.pulses; });
    locations.resize(std::min(locations.size(), std::size_t(cam.pulsesPer720)));
    return locations;
}

// Each location's pulses are those within the tolerance of it, whatever
// tooth they follow; a location left without any makes none.
void GatherSpread(CamSummary& cam, double tolerance)
{
    for (CamLocation& location : cam.locations) {
        double sum = 0.0;
        location.pulses = 0;
        for (const CamPulse& pulse : cam.pulses) {
            if (!pulse.angle || AngleDistance(*pulse.angle, location.meanAngle) > tolerance)
                continue;
            sum += *pulse.angle;
            location.minAngle = std::min(location.minAngle, *pulse.angle);
            location.maxAngle = std::max(location.maxAngle, *pulse.angle);
            ++location.pulses;
        }
        location.meanAngle = location.pulses > 0 ? sum / location.pulses : location.meanAngle;
    }
    auto& locations = cam.locations;
    locations.erase(
        std::remove_if(locations.begin(), locations.end(), [](const CamLocation& l) { return l.pulses == 0; }),
        locations.end());
}

void ReportMovedPulses(TriggerReport& report, double tolerance)
{
    for (const CamPulse& pulse : report.cam.pulses) {
        if (!pulse.angle)
            continue;
        const CamLocation* nearest = nullptr;
        for (const CamLocation& location : report.cam.locations) {
            if (!nearest ||
                AngleDistance(*pulse.angle, location.meanAngle) < AngleDistance(*pulse.angle, nearest->meanAngle))
                nearest = &location;
        }
        if (nearest && AngleDistance(*pulse.angle, nearest->meanAngle) > tolerance)
            report.anomalies.push_back({AnomalyKind::kCamMoved, TriggerChannel::kCam, pulse.record, pulse.rise,
                                        "a cam pulse after tooth " + std::to_string(pulse.tooth) + " at " +
                                            Degrees(*pulse.angle) + ", where the others come after tooth " +
                                            std::to_string(nearest->tooth) + " at " + Degrees(nearest->meanAngle)});
    }
}

}  // namespace

void PlaceCam(const SignalEdges& edges, TriggerReport& report)
{
    const std::vector<Placed> placed = PlaceOnWheel(edges, report);
    if (placed.empty())
        return;
    report.cam.pulsesPer720 = PulsesPer720(placed);
    NumberOver720(placed, report);
    // Half a tooth: a cam edge that jitters across a crank edge stays put,
    // one a tooth off has moved.
    const double tolerance = 0.5 * 360.0 / report.wheel.teethPresent;
    report.cam.locations = MostFollowedTeeth(report.cam);
    GatherSpread(report.cam, tolerance);
    ReportMovedPulses(report, tolerance);
}

void ComputeSpeed(TriggerReport& report)
{
    if (!report.tickMicros || !report.wheel.Known())
        return;
    double sum = 0.0;
    int count = 0;
    int cranking = 0;
    SpeedSummary& speed = report.speed;
    for (CrankTooth& tooth : report.teeth) {
        if (!tooth.trusted || tooth.periodTicks == 0 || tooth.periodDegrees <= 0.0)
            continue;
        const double periodMicros = double(tooth.periodTicks) * *report.tickMicros;
        tooth.rpm = 60e6 * tooth.periodDegrees / 360.0 / periodMicros;
        speed.minRpm = std::min(speed.minRpm.value_or(*tooth.rpm), *tooth.rpm);
        speed.maxRpm = std::max(speed.maxRpm.value_or(*tooth.rpm), *tooth.rpm);
        sum += *tooth.rpm;
        ++count;
        cranking += *tooth.rpm < kCrankingRpm ? 1 : 0;
    }
    if (count == 0)
        return;
    speed.meanRpm = sum / count;
    speed.regime = cranking == count ? SpeedRegime::kCranking
        : cranking == 0              ? SpeedRegime::kRunning
                                     : SpeedRegime::kCrankingAndRunning;
}

}  // namespace dentora::analysis
