// The wheel: every library wheel and the generic candidates fitted to the
// teeth, the best named only when it is sure, the teeth numbered and every
// tooth the wheel does not explain reported.
#include "analysis_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace dentora::analysis {
namespace {

// The matched wheel must explain this share of the revolutions seen...
constexpr double kLeastConfidence = 0.7;
// ...lead the runner-up by this share (or have a cam that agrees where the
// runner-up's does not)...
constexpr double kLeastMargin = 0.25;
// ...over at least one whole revolution and this many teeth: a few teeth
// that happen to fit a small wheel are no evidence.
constexpr int kLeastTeeth = 24;
// Candidates the report lists.
constexpr std::size_t kCandidatesShown = 4;
// A capture longer than this many rising edges (a full fetch holds about
// 2,000; these are a dozen revolutions of most wheels) is first fitted on
// these by every wheel, then on the whole by the best few.
constexpr std::size_t kTrialRises = 800;
constexpr std::size_t kShortlist = 4;

// A's spacings are B's repeated: a generic 22-2 is half of a Renix 44-2-2.
bool RepeatsWithin(const WheelDefinition& part, const WheelDefinition& whole)
{
    const std::size_t n = part.rises.size();
    const std::size_t m = whole.rises.size();
    if (n == 0 || m <= n || m % n != 0)
        return false;
    const double times = double(m / n);
    for (std::size_t shift = 0; shift < m; ++shift) {
        bool same = true;
        for (std::size_t k = 0; k < m && same; ++k)
            same = std::abs(whole.Spacing((k + shift) % m) * times - part.Spacing(k % n)) < 1e-6;
        if (same)
            return true;
    }
    return false;
}

std::vector<WheelDefinition> Candidates(const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam)
{
    std::vector<WheelDefinition> wheels = WheelLibrary();
    for (WheelDefinition& generic : GenericCandidates(rises, cam)) {
        const bool known = std::any_of(wheels.begin(), wheels.end(), [&](const WheelDefinition& wheel) {
            return wheel.name == generic.name || RepeatsWithin(generic, wheel);
        });
        if (!known)
            wheels.push_back(std::move(generic));
    }
    return wheels;
}

// The better fit first: a larger share of revolutions explained, then a
// cam that agrees, more revolutions, fewer faults, fewer glitches; then
// the library's order.
bool Better(const WheelFit& a, const WheelFit& b)
{
    if (a.Confidence() != b.Confidence())
        return a.Confidence() > b.Confidence();
    if (a.camAgrees != b.camAgrees)
        return a.camAgrees;
    if (a.revolutionsFitting != b.revolutionsFitting)
        return a.revolutionsFitting > b.revolutionsFitting;
    if (a.faults != b.faults)
        return a.faults < b.faults;
    return a.glitches < b.glitches;
}

// On a long capture every wheel is tried on its first rises only, and the
// closest few go on to the whole capture.
std::vector<WheelDefinition> Shortlist(const std::vector<WheelDefinition>& candidates,
                                       const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam)
{
    const std::vector<CrankRise> trial(rises.begin(), rises.begin() + std::ptrdiff_t(kTrialRises));
    const double end = trial.back().ticks;
    std::vector<CamRise> trialCam;
    for (const CamRise& pulse : cam) {
        if (pulse.ticks < end)
            trialCam.push_back(pulse);
    }
    std::vector<WheelFit> fits;
    for (const WheelDefinition& candidate : candidates) {
        fits.push_back(FitWheel(candidate, trial));
        FitCam(fits.back(), trial, trialCam);
    }
    std::stable_sort(fits.begin(), fits.end(), Better);
    std::vector<WheelDefinition> shortlist;
    for (std::size_t i = 0; i < std::min(fits.size(), kShortlist); ++i)
        shortlist.push_back(fits[i].wheel);
    return shortlist;
}

bool Sure(const WheelFit& best, const WheelFit* runnerUp)
{
    const int teeth = best.revolutionsFitting * int(best.wheel.rises.size());
    if (best.revolutionsSeen < 1 || teeth < kLeastTeeth || best.Confidence() < kLeastConfidence)
        return false;
    return !runnerUp || best.Confidence() - runnerUp->Confidence() >= kLeastMargin ||
        (best.camAgrees && !runnerUp->camAgrees);
}

// A cam of several pulses that agrees with one wheel is that wheel's
// evidence: naming another, whose crank merely fits better, is a guess.
bool CamSpeaksForAnother(const WheelFit& best, const std::vector<WheelFit>& fits)
{
    return std::any_of(fits.begin(), fits.end(), [&](const WheelFit& fit) {
        return fit.camAgrees && fit.wheel.cam.size() >= 2 && fit.wheel.name != best.wheel.name;
    });
}

void Describe(const WheelFit& fit, WheelSummary& wheel)
{
    wheel.name = fit.wheel.name;
    wheel.source = fit.wheel.source;
    wheel.teethPresent = int(fit.wheel.rises.size());
    wheel.teethMissing = fit.wheel.positions > 0 ? fit.wheel.positions - wheel.teethPresent : 0;
    wheel.sizedByCam = fit.wheel.Uniform();
    wheel.revolutionsSeen = fit.revolutionsSeen;
    wheel.revolutionsAgreeing = fit.revolutionsFitting;
    wheel.confidence = fit.Confidence();
}

std::string Teeth(int count)
{
    return std::to_string(count) + (count == 1 ? " tooth" : " teeth");
}

std::string Degrees(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f°", value);
    return text;
}

void AddAt(TriggerReport& report, AnomalyKind kind, const SignalEdge& edge, std::string reason)
{
    AddAnomaly(report, kind, TriggerChannel::kCrank, edge, std::move(reason));
}

// The anomalies one rise's decision stands for.
void ReportRise(const SignalEdges& edges, const CrankRises& rises, const WheelFit& fit, std::size_t i,
                TriggerReport& report)
{
    const RiseFit& rise = fit.rises[i];
    const SignalEdge& edge = edges.crank[rises.edgeIndex[i]];
    if (rise.role == RiseRole::kGlitch)
        AddAt(report, AnomalyKind::kGlitch, edge,
              "a crank edge inside a period the wheel gives as one tooth: a glitch edge, left out");
    if (rise.role == RiseRole::kExtraTooth)
        AddAt(report, AnomalyKind::kMissingGap, edge, "a tooth where the wheel's gap should be");
    if (rise.role == RiseRole::kStrayTooth)
        AddAt(report, AnomalyKind::kToothSpacing, edge, "a pulse as long as a tooth where the wheel has none");
    if (rise.role != RiseRole::kTooth || i + 1 >= rises.edgeIndex.size())
        return;
    const SignalEdge& end = edges.crank[rises.edgeIndex[i + 1]];
    if (rise.lostAfter > 0)
        AddAt(report, AnomalyKind::kUnexpectedGap, end,
              "a gap of " + Teeth(rise.lostAfter) + " after tooth " + std::to_string(rise.index + 1) +
                  ", where the wheel has none");
    if (rise.misfit)
        AddAt(report, AnomalyKind::kToothSpacing, end,
              "the period after tooth " + std::to_string(rise.index + 1) + " fits no place on " + fit.wheel.name +
                  ", where the wheel gives " + Degrees(fit.wheel.Spacing(std::size_t(rise.index))));
}

// Each whole revolution (from a tooth 1 to the next of one sync) holds
// the wheel's number of teeth.
void CountTeeth(const SignalEdges& edges, const CrankRises& rises, const WheelFit& fit, TriggerReport& report)
{
    const int wheelTeeth = int(fit.wheel.rises.size());
    std::ptrdiff_t start = -1;
    int counted = 0;
    for (std::size_t i = 0; i < fit.rises.size(); ++i) {
        const RiseFit& rise = fit.rises[i];
        if (rise.role == RiseRole::kUnsynced ||
            (rise.role == RiseRole::kTooth && start >= 0 && rise.sync != fit.rises[std::size_t(start)].sync)) {
            start = -1;
        }
        if (rise.role == RiseRole::kTooth && rise.index == 0) {
            if (start >= 0 && counted != wheelTeeth)
                AddAt(report, AnomalyKind::kToothCount, edges.crank[rises.edgeIndex[std::size_t(start)]],
                      "a revolution of " + Teeth(counted) + " where the wheel has " + std::to_string(wheelTeeth));
            start = std::ptrdiff_t(i);
            counted = 0;
        }
        if (rise.role == RiseRole::kExtraTooth || rise.role == RiseRole::kStrayTooth || rise.role == RiseRole::kTooth)
            ++counted;
    }
}

std::optional<double> Duty(const std::vector<SignalEdge>& crank, std::size_t riseEdge, const CrankTooth& tooth)
{
    if (riseEdge + 1 >= crank.size() || tooth.periodTicks == 0)
        return std::nullopt;
    const SignalEdge& fall = crank[riseEdge + 1];
    if (fall.rising || fall.time.ticks > tooth.nextRise.ticks)
        return std::nullopt;
    return double(fall.time.ticks - tooth.rise.ticks) / double(tooth.periodTicks);
}

bool KeptRise(const WheelFit* fit, std::size_t i)
{
    return !fit || fit->rises[i].role == RiseRole::kTooth || fit->rises[i].role == RiseRole::kUnsynced;
}

void Number(const WheelFit& fit, const RiseFit& rise, CrankTooth& tooth)
{
    if (rise.role != RiseRole::kTooth)
        return;
    const WheelDefinition& wheel = fit.wheel;
    double least = 360.0;
    for (std::size_t k = 0; k < wheel.rises.size(); ++k)
        least = std::min(least, wheel.Spacing(k));
    tooth.number = rise.index + 1;
    tooth.revolution = rise.revolution;
    tooth.expectedAngle = wheel.rises[std::size_t(rise.index)];
    for (int step = 0; step <= rise.lostAfter; ++step)
        tooth.periodDegrees += wheel.Spacing(std::size_t((rise.index + step) % int(wheel.rises.size())));
    tooth.span = std::max(1, int(std::lround(tooth.periodDegrees / least)));
}

}  // namespace

std::optional<WheelFit> IdentifyWheel(const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam,
                                      WheelSummary& wheel)
{
    if (rises.size() < 3)
        return std::nullopt;
    std::vector<WheelDefinition> candidates = Candidates(rises, cam);
    if (rises.size() > kTrialRises)
        candidates = Shortlist(candidates, rises, cam);
    std::vector<WheelFit> fits;
    for (const WheelDefinition& candidate : candidates) {
        WheelFit fit = FitWheel(candidate, rises);
        FitCam(fit, rises, cam);
        if (fit.revolutionsSeen > 0)
            fits.push_back(std::move(fit));
    }
    std::stable_sort(fits.begin(), fits.end(), Better);
    for (std::size_t i = 0; i < std::min(fits.size(), kCandidatesShown); ++i)
        wheel.candidates.push_back(
            {fits[i].wheel.name, fits[i].revolutionsSeen, fits[i].revolutionsFitting, fits[i].camAgrees});
    if (fits.empty() || !Sure(fits.front(), fits.size() > 1 ? &fits[1] : nullptr) ||
        CamSpeaksForAnother(fits.front(), fits))
        return std::nullopt;
    Describe(fits.front(), wheel);
    return std::move(fits.front());
}

void BuildTeeth(const SignalEdges& edges, const CrankRises& rises, const WheelFit* fit, TriggerReport& report)
{
    const auto& crank = edges.crank;
    std::size_t next = 0;
    for (std::size_t i = 0; i < rises.rises.size(); i = next) {
        next = i + 1;
        while (next < rises.rises.size() && !KeptRise(fit, next))
            ++next;
        if (!KeptRise(fit, i) || next >= rises.rises.size())
            continue;
        CrankTooth tooth;
        const SignalEdge& edge = crank[rises.edgeIndex[i]];
        tooth.record = edge.record;
        tooth.rise = edge.time;
        tooth.nextRise = crank[rises.edgeIndex[next]].time;
        tooth.periodTicks = tooth.nextRise.ticks - tooth.rise.ticks;
        tooth.trusted = true;
        for (std::size_t j = i; j < next; ++j)
            tooth.trusted = tooth.trusted && rises.rises[j].trustedPeriod;
        tooth.duty = Duty(crank, rises.edgeIndex[i], tooth);
        if (!report.teeth.empty() && report.teeth.back().periodTicks > 0)
            tooth.ratio = double(tooth.periodTicks) / double(report.teeth.back().periodTicks);
        if (fit) {
            Number(*fit, fit->rises[i], tooth);
            if (tooth.number == 1 && !report.wheel.toothOneRecord)
                report.wheel.toothOneRecord = tooth.record;
        }
        report.teeth.push_back(tooth);
    }
    if (!fit)
        return;
    for (std::size_t i = 0; i < fit->rises.size(); ++i)
        ReportRise(edges, rises, *fit, i, report);
    CountTeeth(edges, rises, *fit, report);
}

void MeasureAngles(const WheelFit& fit, TriggerReport& report)
{
    auto& teeth = report.teeth;
    const WheelDefinition& wheel = fit.wheel;
    std::vector<std::size_t> toothOnes;
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        if (teeth[i].number == 1)
            toothOnes.push_back(i);
    }
    for (std::size_t r = 0; r + 1 < toothOnes.size(); ++r) {
        const std::size_t first = toothOnes[r];
        const std::size_t last = toothOnes[r + 1];
        if (teeth[last].revolution != teeth[first].revolution + 1)
            continue;
        const double start = double(teeth[first].rise.ticks);
        const double length = double(teeth[last].rise.ticks) - start;
        if (length <= 0.0)
            continue;
        for (std::size_t i = first; i < last; ++i)
            teeth[i].measuredAngle = 360.0 * (double(teeth[i].rise.ticks) - start) / length;
        const double chartPerTick = report.chartUnitsPerTick;
        const auto at = [&](double degrees) {
            const double ticks = start + length * degrees / 360.0;
            return CaptureTime{std::uint64_t(std::llround(ticks)), ticks * chartPerTick};
        };
        for (std::size_t k = 0; k < wheel.rises.size(); ++k) {
            report.expectedCrankEdges.push_back({at(wheel.rises[k]), true, int(k) + 1});
            if (!wheel.falls.empty())
                report.expectedCrankEdges.push_back({at(wheel.falls[k]), false, int(k) + 1});
        }
    }
    std::sort(report.expectedCrankEdges.begin(), report.expectedCrankEdges.end(),
              [](const ExpectedCrankEdge& a, const ExpectedCrankEdge& b) { return a.at.ticks < b.at.ticks; });
}

}  // namespace dentora::analysis
