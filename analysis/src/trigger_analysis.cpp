// The analysis's frame: reading the records onto each signal's clock, and
// the steps in order.
#include "analysis/trigger_analysis.h"

#include "analysis_steps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace dentora {
namespace analysis {
namespace {

constexpr std::uint16_t kSaturatedCount = 0xFFFF;
// A crank half-tooth of the calibration is drawn this wide.
constexpr double kChartUnitsPerHalfTooth = 10.0;
bool ClassifyType(std::uint8_t type, bool* crank, bool* rising)
{
    switch (type) {
    case kCrankRise:
        *crank = true;
        *rising = true;
        return true;
    case kCrankFall:
        *crank = true;
        *rising = false;
        return true;
    case kCamRise:
        *crank = false;
        *rising = true;
        return true;
    case kCamFall:
        *crank = false;
        *rising = false;
        return true;
    default: return false;
    }
}

std::string SignalName(bool crank)
{
    return crank ? "crank" : "cam";
}

}  // namespace

// A sensor wired the other way round puts the wheel's pattern on the
// falling edges; where the rising ones fit no wheel for sure and the
// falling ones fit an uneven one, the teeth are read on them.
void TryFallingEdges(const std::vector<CamRise>& cam, SignalEdges& edges, CrankRises& rises,
                     std::optional<WheelFit>& fit, WheelSummary& wheel)
{
    SignalEdges inverted = edges;
    for (SignalEdge& edge : inverted.crank)
        edge.rising = !edge.rising;
    CrankRises falls = RisingCrankEdges(inverted);
    WheelSummary fallsWheel;
    std::optional<WheelFit> fallsFit = IdentifyWheel(falls.rises, cam, fallsWheel);
    // Even falling edges are what a wheel of fixed falls (GM 24x) shows, not
    // a sign of an inverted sensor.
    if (!fallsFit || fallsFit->wheel.Uniform() || (fit && fallsFit->Confidence() <= fit->Confidence()))
        return;
    fallsWheel.fallingEdges = true;
    edges = std::move(inverted);
    rises = std::move(falls);
    fit = std::move(fallsFit);
    wheel = std::move(fallsWheel);
}

void AddAnomaly(TriggerReport& report, AnomalyKind kind, TriggerChannel channel, const SignalEdge& edge,
                std::string reason)
{
    report.anomalies.push_back({kind, channel, edge.record, edge.time, std::move(reason)});
}

SignalEdges ReadEdges(const std::vector<TriggerRecord>& records, TriggerReport& report)
{
    SignalEdges edges;
    if (records.size() >= std::size_t(kCalibrationRecords)) {
        const double sum = double(records[0].ticks) + double(records[1].ticks);
        if (sum > 0.0)
            report.chartUnitsPerTick = kChartUnitsPerHalfTooth / (sum / 4.0);
    }
    std::uint64_t clock[2] = {0, 0};
    for (std::size_t i = 0; i < records.size(); ++i) {
        bool crank = false;
        bool rising = false;
        if (!ClassifyType(records[i].type, &crank, &rising)) {
            report.anomalies.push_back({AnomalyKind::kBadRecord,
                                        TriggerChannel::kCrank,
                                        i,
                                        {},
                                        "record " + std::to_string(i) +
                                            " has a type byte that is no edge; "
                                            "nothing after it is analysed"});
            break;
        }
        if (i < std::size_t(kCalibrationRecords))
            continue;
        std::uint64_t& ticks = clock[crank ? 0 : 1];
        ticks += records[i].ticks;
        const SignalEdge edge{
            i, rising, records[i].ticks == kSaturatedCount, {ticks, double(ticks) * report.chartUnitsPerTick}};
        std::vector<SignalEdge>& signal = crank ? edges.crank : edges.cam;
        const TriggerChannel channel = crank ? TriggerChannel::kCrank : TriggerChannel::kCam;
        if (edge.saturated)
            AddAnomaly(report, AnomalyKind::kSaturated, channel, edge,
                       "a " + SignalName(crank) +
                           " tick count of 65535: the counter may have saturated or wrapped, "
                           "so this period is not to be trusted");
        if (!signal.empty() && signal.back().rising == rising)
            AddAnomaly(report, AnomalyKind::kLostEdge, channel, edge,
                       std::string("two ") + (rising ? "rising " : "falling ") + SignalName(crank) +
                           " edges in a row: an edge was lost");
        signal.push_back(edge);
    }
    return edges;
}

CrankRises RisingCrankEdges(const SignalEdges& edges)
{
    CrankRises found;
    bool saturatedSince = false;
    for (std::size_t i = 0; i < edges.crank.size(); ++i) {
        const SignalEdge& edge = edges.crank[i];
        saturatedSince = saturatedSince || edge.saturated;
        if (!edge.rising)
            continue;
        if (!found.rises.empty())
            found.rises.back().trustedPeriod = !saturatedSince;
        const bool fallFollows = i + 1 < edges.crank.size() && !edges.crank[i + 1].rising;
        const double high = fallFollows ? double(edges.crank[i + 1].time.ticks - edge.time.ticks) : 0.0;
        found.rises.push_back({double(edge.time.ticks), true, high});
        found.edgeIndex.push_back(i);
        saturatedSince = false;
    }
    return found;
}

std::vector<CamRise> RisingCamEdges(const SignalEdges& edges)
{
    std::vector<CamRise> rises;
    for (std::size_t i = 0; i < edges.cam.size(); ++i) {
        if (!edges.cam[i].rising)
            continue;
        const bool fallFollows = i + 1 < edges.cam.size() && !edges.cam[i + 1].rising;
        const double high = fallFollows ? double(edges.cam[i + 1].time.ticks - edges.cam[i].time.ticks) : 0.0;
        rises.push_back({double(edges.cam[i].time.ticks), high});
    }
    return rises;
}

std::ptrdiff_t ToothIndexAtTick(const std::vector<CrankTooth>& teeth, std::uint64_t ticks)
{
    const auto after = std::upper_bound(teeth.begin(), teeth.end(), ticks,
                                        [](std::uint64_t t, const CrankTooth& tooth) { return t < tooth.rise.ticks; });
    if (after == teeth.begin())
        return -1;
    const auto index = std::ptrdiff_t(after - teeth.begin()) - 1;
    return ticks < teeth[std::size_t(index)].nextRise.ticks ? index : -1;
}

}  // namespace analysis

TriggerReport AnalyzeTrigger(const std::vector<TriggerRecord>& records, const AnalysisOptions& options)
{
    TriggerReport report;
    report.records = records.size();
    // Outside this range a speed would not be a number worth showing.
    if (options.tickMicros && std::isfinite(*options.tickMicros) && *options.tickMicros >= 1e-3 &&
        *options.tickMicros <= 1e6)
        report.tickMicros = options.tickMicros;
    analysis::SignalEdges edges = analysis::ReadEdges(records, report);
    const std::vector<analysis::CamRise> cam = analysis::RisingCamEdges(edges);
    analysis::CrankRises rises = analysis::RisingCrankEdges(edges);
    std::optional<analysis::WheelFit> fit = analysis::IdentifyWheel(rises.rises, cam, report.wheel);
    if (!fit)
        analysis::TryFallingEdges(cam, edges, rises, fit, report.wheel);
    analysis::BuildTeeth(edges, rises, fit ? &*fit : nullptr, report);
    report.fallingEdgesReal = options.fallingEdgesReal;
    if (!options.fallingEdgesReal) {
        for (CrankTooth& tooth : report.teeth)
            tooth.duty.reset();
    }
    if (fit)
        analysis::MeasureAngles(*fit, report);
    analysis::PlaceCam(edges, report);
    analysis::ComputeSpeed(report);
    std::stable_sort(report.anomalies.begin(), report.anomalies.end(), [](const Anomaly& a, const Anomaly& b) {
        return a.at.ticks != b.at.ticks ? a.at.ticks < b.at.ticks : a.record < b.record;
    });
    return report;
}

const CrankTooth* ToothAt(const TriggerReport& report, double chartX)
{
    const auto& teeth = report.teeth;
    const auto after = std::upper_bound(teeth.begin(), teeth.end(), chartX,
                                        [](double x, const CrankTooth& tooth) { return x < tooth.rise.chartX; });
    if (after == teeth.begin())
        return nullptr;
    const CrankTooth& tooth = *(after - 1);
    return chartX < tooth.nextRise.chartX ? &tooth : nullptr;
}

const char* AnomalyKindName(AnomalyKind kind)
{
    switch (kind) {
    case AnomalyKind::kGlitch: return "glitch";
    case AnomalyKind::kLostEdge: return "lost edge";
    case AnomalyKind::kUnexpectedGap: return "unexpected gap";
    case AnomalyKind::kMissingGap: return "missing gap";
    case AnomalyKind::kToothSpacing: return "tooth spacing";
    case AnomalyKind::kToothCount: return "tooth count";
    case AnomalyKind::kCamMoved: return "cam moved";
    case AnomalyKind::kSaturated: return "saturated count";
    case AnomalyKind::kBadRecord: return "bad record";
    }
    return "anomaly";
}

const std::vector<AnomalyKind>& AnomalyKinds()
{
    static const std::vector<AnomalyKind> kinds = {
        AnomalyKind::kGlitch,     AnomalyKind::kLostEdge,     AnomalyKind::kUnexpectedGap,
        AnomalyKind::kMissingGap, AnomalyKind::kToothSpacing, AnomalyKind::kToothCount,
        AnomalyKind::kCamMoved,   AnomalyKind::kSaturated,    AnomalyKind::kBadRecord};
    return kinds;
}

const char* SpeedRegimeName(SpeedRegime regime)
{
    switch (regime) {
    case SpeedRegime::kUnknown: return "unknown";
    case SpeedRegime::kCranking: return "cranking";
    case SpeedRegime::kRunning: return "running";
    case SpeedRegime::kCrankingAndRunning: return "cranking and running";
    }
    return "unknown";
}

}  // namespace dentora
