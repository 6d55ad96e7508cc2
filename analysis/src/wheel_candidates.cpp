// The cam held against a fitted wheel, and the generic wheels worth
// fitting beside the library.
#include "wheel_fit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace dentora::analysis {
namespace {

// A cam pulse's width may differ this much (crank degrees) from the
// wheel's: sensors and thresholds move a falling edge a little.
constexpr double kCamWidthTolerance = 15.0;
// A share of a cycle's cam spacings that must fit for the cam to agree.
constexpr double kCamAgreement = 0.75;
// Smaller N-M wheels are the library's alone: with few teeth a loose fit
// would take another wheel's teeth for its own.
constexpr int kLeastGenericPositions = 8;
// Neighbours on each side for the rough speed that finds the gaps.
constexpr std::ptrdiff_t kGapNeighbours = 4;

struct PlacedCam {
    double angle = 0.0;  // on the fit's continuous crank angle
    double high = 0.0;   // degrees, 0 when unknown
    int sync = 0;
};

bool Kept(const WheelFit& fit, std::size_t i)
{
    return fit.rises[i].role == RiseRole::kTooth;
}

std::vector<PlacedCam> PlaceCamRises(const WheelFit& fit, const std::vector<CrankRise>& rises,
                                     const std::vector<CamRise>& cam)
{
    std::vector<PlacedCam> placed;
    for (const CamRise& pulse : cam) {
        const auto after = std::upper_bound(rises.begin(), rises.end(), pulse.ticks,
                                            [](double t, const CrankRise& rise) { return t < rise.ticks; });
        if (after == rises.begin())
            continue;
        std::size_t i = std::size_t(after - rises.begin()) - 1;
        while (i > 0 && fit.rises[i].role != RiseRole::kTooth && fit.rises[i].role != RiseRole::kUnsynced)
            --i;
        std::size_t next = i + 1;
        while (next < rises.size() && !Kept(fit, next) && fit.rises[next].role != RiseRole::kUnsynced)
            ++next;
        if (!Kept(fit, i) || next >= rises.size())
            continue;
        const RiseFit& tooth = fit.rises[i];
        double degrees = 0.0;
        for (int step = 0; step <= tooth.lostAfter; ++step)
            degrees += fit.wheel.Spacing(std::size_t((tooth.index + step) % int(fit.wheel.rises.size())));
        const double ticksPerDegree = (rises[next].ticks - rises[i].ticks) / degrees;
        placed.push_back({tooth.angle + (pulse.ticks - rises[i].ticks) / ticksPerDegree,
                          pulse.highTicks / ticksPerDegree, tooth.sync});
    }
    return placed;
}

struct CamPattern {
    std::vector<double> spacing;  // to the next pulse, cyclic over 720°
    std::vector<double> width;    // 0 where the wheel leaves it open
};

CamPattern PatternOf(const WheelDefinition& wheel)
{
    std::vector<CamPulseShape> pulses = wheel.cam;
    std::sort(pulses.begin(), pulses.end(), [](const auto& a, const auto& b) { return a.rise < b.rise; });
    CamPattern pattern;
    for (std::size_t j = 0; j < pulses.size(); ++j) {
        const double next = j + 1 < pulses.size() ? pulses[j + 1].rise : pulses.front().rise + 720.0;
        pattern.spacing.push_back(next - pulses[j].rise);
        pattern.width.push_back(pulses[j].fall ? *pulses[j].fall - pulses[j].rise : 0.0);
    }
    return pattern;
}

// Renumbers an even wheel's teeth of one sync from where its cam pulse puts tooth 1.
void NumberFromCam(WheelFit& fit, int sync, double toothOneAngle)
{
    const double pitch = 360.0 / double(fit.wheel.rises.size());
    const int teeth = int(fit.wheel.rises.size());
    for (RiseFit& rise : fit.rises) {
        if (rise.role != RiseRole::kTooth || rise.sync != sync)
            continue;
        // The tooth whose period holds the cam pulse is tooth 1, also when
        // the pulse comes right at its end.
        const auto position = std::int64_t(std::ceil((rise.angle - toothOneAngle) / pitch - 0.5 - 1e-9));
        const std::int64_t turns = position >= 0 ? position / teeth : -((-position + teeth - 1) / teeth);
        rise.revolution = turns;
        rise.index = int(position - turns * teeth);
    }
}

// Tooth positions each period spans, against the median of its neighbours;
// 0 for an untrusted period.
std::vector<int> RoughSpans(const std::vector<CrankRise>& rises)
{
    std::vector<double> periods;
    for (std::size_t i = 0; i + 1 < rises.size(); ++i)
        periods.push_back(rises[i].trustedPeriod ? rises[i + 1].ticks - rises[i].ticks : 0.0);
    std::vector<int> spans(periods.size(), 0);
    std::vector<double> around;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        around.clear();
        for (std::ptrdiff_t j = std::ptrdiff_t(i) - kGapNeighbours; j <= std::ptrdiff_t(i) + kGapNeighbours; ++j) {
            if (j >= 0 && j < std::ptrdiff_t(periods.size()) && j != std::ptrdiff_t(i) && periods[std::size_t(j)] > 0)
                around.push_back(periods[std::size_t(j)]);
        }
        if (around.empty() || periods[i] <= 0)
            continue;
        std::nth_element(around.begin(), around.begin() + std::ptrdiff_t(around.size() / 2), around.end());
        spans[i] = std::max(1, int(std::lround(periods[i] / around[around.size() / 2])));
    }
    return spans;
}

// The most common count of tooth positions from one cam pulse to the next; 0 for none.
int PositionsPerCamPulse(const std::vector<CrankRise>& rises, const std::vector<int>& spans,
                         const std::vector<CamRise>& cam)
{
    std::vector<int> positionAt(rises.size(), 0);
    for (std::size_t i = 0; i < spans.size(); ++i)
        positionAt[i + 1] = positionAt[i] + spans[i];
    std::map<int, int> counts;
    int previous = -1;
    for (const CamRise& pulse : cam) {
        const auto after = std::upper_bound(rises.begin(), rises.end(), pulse.ticks,
                                            [](double t, const CrankRise& rise) { return t < rise.ticks; });
        if (after == rises.begin() || after == rises.end())
            continue;
        const int position = positionAt[std::size_t(after - rises.begin()) - 1];
        if (previous >= 0)
            ++counts[position - previous];
        previous = position;
    }
    int best = 0;
    int bestCount = 0;
    for (const auto& [spacing, count] : counts) {
        if (count > bestCount) {
            best = spacing;
            bestCount = count;
        }
    }
    return best;
}

}  // namespace

void FitCam(WheelFit& fit, const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam)
{
    if (fit.wheel.cam.empty())
        return;
    const CamPattern pattern = PatternOf(fit.wheel);
    const std::vector<PlacedCam> placed = PlaceCamRises(fit, rises, cam);
    double least = 360.0;
    for (std::size_t k = 0; k < fit.wheel.rises.size(); ++k)
        least = std::min(least, fit.wheel.Spacing(k));
    const double tolerance = std::max(0.5 * least, 2.0);
    const std::size_t pulses = pattern.spacing.size();
    const auto fits = [&](std::size_t i, std::size_t j) {
        const double width = pattern.width[j % pulses];
        return std::abs(placed[i + 1].angle - placed[i].angle - pattern.spacing[j % pulses]) <= tolerance &&
            (width == 0.0 || placed[i].high == 0.0 ||
             std::abs(placed[i].high - width) <= std::max(tolerance, kCamWidthTolerance));
    };
    int seen = 0;
    int fitting = 0;
    for (std::size_t first = 0; first < placed.size();) {
        std::size_t last = first;
        while (last + 1 < placed.size() && placed[last + 1].sync == placed[first].sync)
            ++last;
        const std::size_t spacings = last - first;
        std::size_t phase = 0;
        std::size_t bestFits = 0;
        for (std::size_t j = 0; j < pulses; ++j) {
            std::size_t count = 0;
            for (std::size_t i = first; i < std::min(last, first + 2 * pulses); ++i)
                count += fits(i, j + i - first) ? 1 : 0;
            if (count > bestFits) {
                bestFits = count;
                phase = j;
            }
        }
        for (std::size_t cycle = 0; (cycle + 1) * pulses <= spacings; ++cycle) {
            bool all = true;
            for (std::size_t s = 0; s < pulses; ++s)
                all = all && fits(first + cycle * pulses + s, phase + cycle * pulses + s);
            ++seen;
            fitting += all ? 1 : 0;
        }
        if (fit.wheel.Uniform() && spacings > 0)
            NumberFromCam(fit, placed[first].sync, placed[first].angle - fit.wheel.cam[phase].rise);
        first = last + 1;
    }
    fit.camAgrees = seen > 0 && fitting >= kCamAgreement * seen;
    if (fit.wheel.Uniform()) {
        // The crank's own faults still count against the revolutions the cam delimits.
        const int crankFaulty = fit.revolutionsSeen - fit.revolutionsFitting;
        fit.revolutionsSeen = 2 * seen;
        fit.revolutionsFitting = std::max(0, 2 * fitting - crankFaulty);
    }
}

std::vector<WheelDefinition> GenericCandidates(const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam)
{
    const std::vector<int> spans = RoughSpans(rises);
    std::map<std::pair<int, int>, int> wheels;  // (positions, missing) -> times seen
    std::map<int, int> sinceGap;                // missing -> positions since the last gap of that size
    for (int span : spans) {
        if (span == 0) {
            sinceGap.clear();
            continue;
        }
        for (auto& [missing, count] : sinceGap)
            count += span;
        if (span < 2)
            continue;
        const auto found = sinceGap.find(span - 1);
        if (found != sinceGap.end())
            ++wheels[{found->second, span - 1}];
        sinceGap[span - 1] = 0;
    }
    std::vector<std::pair<int, std::pair<int, int>>> ranked;
    for (const auto& [wheel, count] : wheels)
        ranked.push_back({count, wheel});
    std::sort(ranked.rbegin(), ranked.rend());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < std::min<std::size_t>(2, ranked.size()); ++i) {
        if (ranked[i].second.first >= kLeastGenericPositions)
            names.push_back(std::to_string(ranked[i].second.first) + "-" + std::to_string(ranked[i].second.second));
    }
    if (const int perCycle = PositionsPerCamPulse(rises, spans, cam); perCycle >= 2 && perCycle % 2 == 0)
        names.push_back(std::to_string(perCycle / 2) + "+1");
    std::vector<WheelDefinition> candidates;
    for (const std::string& name : names) {
        if (auto wheel = WheelNamed(name))
            candidates.push_back(std::move(*wheel));
    }
    return candidates;
}

}  // namespace dentora::analysis
