// The analysis's frame: reading the records onto each signal's clock and
// finding the crank teeth, glitches taken out.
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
// A period shorter than this share of its neighbours' median is a glitch.
constexpr double kGlitchFraction = 0.6;
// Neighbours on each side that set a tooth's expected period.
constexpr std::ptrdiff_t kNeighbours = 4;
// A period spanning more positions than this is a stall, not a wheel.
constexpr double kMostSlots = 1000.0;

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

// The rising crank edges, with what sets a tooth's expected period.
class CrankRises {
public:
    explicit CrankRises(const std::vector<SignalEdge>& crank) : m_crank(crank)
    {
        for (std::size_t i = 0; i < crank.size(); ++i) {
            if (crank[i].rising)
                m_rises.push_back(i);
        }
    }

    std::size_t Count() const { return m_rises.size(); }
    const SignalEdge& Rise(std::size_t i) const { return m_crank[m_rises[i]]; }
    std::size_t EdgeIndex(std::size_t i) const { return m_rises[i]; }
    void Remove(std::size_t i) { m_rises.erase(m_rises.begin() + std::ptrdiff_t(i)); }

    // Period of tooth i, i + 1 < Count().
    double Period(std::size_t i) const { return double(Rise(i + 1).time.ticks - Rise(i).time.ticks); }

    // False when a saturated count lies inside tooth i's period.
    bool Trusted(std::size_t i) const
    {
        for (std::size_t edge = m_rises[i] + 1; edge <= m_rises[i + 1]; ++edge) {
            if (m_crank[edge].saturated)
                return false;
        }
        return true;
    }

    // The median of the trusted periods around tooth i, itself left out; 0 when none.
    double NeighbourMedian(std::size_t i) const
    {
        double periods[2 * kNeighbours];
        std::size_t count = 0;
        const auto teeth = std::ptrdiff_t(Count()) - 1;
        for (std::ptrdiff_t j = std::ptrdiff_t(i) - kNeighbours; j <= std::ptrdiff_t(i) + kNeighbours; ++j) {
            if (j >= 0 && j < teeth && j != std::ptrdiff_t(i) && Trusted(std::size_t(j)))
                periods[count++] = Period(std::size_t(j));
        }
        if (count == 0)
            return 0.0;
        std::nth_element(periods, periods + count / 2, periods + count);
        return periods[count / 2];
    }

private:
    const std::vector<SignalEdge>& m_crank;
    std::vector<std::size_t> m_rises;
};

// Merges a short period into the neighbour that makes the more usual
// period, taking out the rising edge between them; returns that edge's index.
std::size_t GlitchRise(const CrankRises& rises, std::size_t i, double median)
{
    const auto distance = [median](double sum) { return std::abs(std::log(sum / median)); };
    const double infinity = std::numeric_limits<double>::infinity();
    const double viaPrevious = i > 0 ? distance(rises.Period(i - 1) + rises.Period(i)) : infinity;
    const double viaNext = i + 2 < rises.Count() ? distance(rises.Period(i) + rises.Period(i + 1)) : infinity;
    return viaPrevious <= viaNext ? i : i + 1;
}

void RemoveGlitches(CrankRises& rises, TriggerReport& report)
{
    for (std::size_t i = 0; i + 1 < rises.Count();) {
        const double median = rises.NeighbourMedian(i);
        const double period = rises.Period(i);
        if (median <= 0.0 || !rises.Trusted(i) || period >= kGlitchFraction * median || rises.Count() < 3) {
            ++i;
            continue;
        }
        const std::size_t glitch = GlitchRise(rises, i, median);
        AddAnomaly(report, AnomalyKind::kGlitch, TriggerChannel::kCrank, rises.Rise(glitch),
                   "a crank period of " + std::to_string(std::llround(period)) +
                       " ticks where its neighbours take about " + std::to_string(std::llround(median)) +
                       ": a glitch edge");
        rises.Remove(glitch);
        i = i > 0 ? i - 1 : 0;
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

}  // namespace

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

void FindTeeth(const SignalEdges& edges, TriggerReport& report)
{
    CrankRises rises(edges.crank);
    RemoveGlitches(rises, report);
    for (std::size_t i = 0; i + 1 < rises.Count(); ++i) {
        CrankTooth tooth;
        tooth.record = rises.Rise(i).record;
        tooth.rise = rises.Rise(i).time;
        tooth.nextRise = rises.Rise(i + 1).time;
        tooth.periodTicks = tooth.nextRise.ticks - tooth.rise.ticks;
        tooth.trusted = rises.Trusted(i);
        tooth.duty = Duty(edges.crank, rises.EdgeIndex(i), tooth);
        if (i > 0 && report.teeth.back().periodTicks > 0)
            tooth.ratio = double(tooth.periodTicks) / double(report.teeth.back().periodTicks);
        const double median = rises.NeighbourMedian(i);
        if (median > 0.0 && tooth.trusted)
            tooth.span = int(std::clamp(std::round(double(tooth.periodTicks) / median), 1.0, kMostSlots));
        report.teeth.push_back(tooth);
    }
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

std::vector<std::int64_t> SlotPositions(const std::vector<CrankTooth>& teeth)
{
    std::vector<std::int64_t> positions;
    positions.reserve(teeth.size());
    std::int64_t position = 0;
    for (const CrankTooth& tooth : teeth) {
        positions.push_back(position);
        position += tooth.span;
    }
    return positions;
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
    const analysis::SignalEdges edges = analysis::ReadEdges(records, report);
    analysis::FindTeeth(edges, report);
    report.fallingEdgesReal = options.fallingEdgesReal;
    if (!options.fallingEdgesReal) {
        for (CrankTooth& tooth : report.teeth)
            tooth.duty.reset();
    }
    const analysis::WheelGeometry geometry = analysis::FindWheel(edges, report);
    analysis::PlaceCam(edges, geometry, report);
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
    case AnomalyKind::kToothCount: return "tooth count";
    case AnomalyKind::kCamMoved: return "cam moved";
    case AnomalyKind::kSaturated: return "saturated count";
    case AnomalyKind::kBadRecord: return "bad record";
    }
    return "anomaly";
}

std::string WheelSummary::Pattern() const
{
    if (!Known())
        return "unknown";
    return std::to_string(Slots()) + "-" + std::to_string(teethMissing);
}

}  // namespace dentora
