// From a file's signals to the controller's records: which signal is the
// crank and which the cam, the tick length, and the 16-bit counts.
#include "formats/waveform_import.h"

#include "import_readers.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace dentora {
namespace {

constexpr std::uint64_t kMostTicks = 65535;
// An interval this many times its signal's median is an engine that stopped:
// it may saturate; every other interval must fit.
constexpr double kStopFactor = 8.0;
constexpr std::uint64_t kMostTickNanoseconds = 1000000000;

bool HasPrefix(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The file's own name for a crank or a cam signal.
bool NamedCrank(const std::string& name)
{
    const std::string lowered = import::Lowered(name);
    return HasPrefix(lowered, "crank") || HasPrefix(lowered, "ckp") || HasPrefix(lowered, "pri") ||
        lowered == "trigger" || lowered == "tooth";
}

bool NamedCam(const std::string& name)
{
    const std::string lowered = import::Lowered(name);
    return HasPrefix(lowered, "cam") || HasPrefix(lowered, "cmp") || HasPrefix(lowered, "sec");
}

int FindNamed(const ImportedWaveforms& waveforms, bool (*named)(const std::string&))
{
    for (std::size_t i = 0; i < waveforms.traces.size(); ++i) {
        if (waveforms.traces[i].levels && named(waveforms.traces[i].name))
            return int(i);
    }
    return -1;
}

// A signal by name or by its column's number (the time column counts).
bool ResolveSignal(const ImportedWaveforms& waveforms, const std::string& wanted, const char* role, int* index,
                   ImportError* error)
{
    const bool number = !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    const auto matches = [&](const ImportSignal& signal) {
        return number ? std::to_string(signal.column) == wanted
                      : import::Lowered(signal.name) == import::Lowered(wanted);
    };
    const auto found = std::find_if(waveforms.traces.begin(), waveforms.traces.end(), matches);
    if (found == waveforms.traces.end()) {
        std::string names;
        for (const ImportSignal& signal : waveforms.traces)
            names += (names.empty() ? "" : ", ") + signal.name +
                (signal.column > 0 ? " (column " + std::to_string(signal.column) + ")" : "");
        *error = {0,
                  std::string("--") + role + " " + import::QuotedText(wanted) +
                      (number ? " is no signal's column" : " names no signal") + "; the file has " + names};
        return false;
    }
    if (!found->levels) {
        *error = {found->firstOtherLine,
                  std::string("--") + role + " " + import::QuotedText(wanted) + ": " + found->name +
                      " is not a column of 0 and 1 (see this line)"};
        return false;
    }
    *index = int(found - waveforms.traces.begin());
    return true;
}

// The level signal with the most edges, other than `other`.
int MostEdges(const ImportedWaveforms& waveforms, int other)
{
    int best = -1;
    for (std::size_t i = 0; i < waveforms.traces.size(); ++i) {
        const ImportSignal& signal = waveforms.traces[i];
        if (!signal.levels || int(i) == other)
            continue;
        if (best < 0 || signal.edges > waveforms.traces[std::size_t(best)].edges)
            best = int(i);
    }
    return best;
}

// The longest interval between a signal's edges that is no stop, in
// seconds. The time before the first edge is where the recording happened
// to start, not an interval of the engine: it may saturate.
double LongestFittingInterval(const ImportSignal& signal)
{
    if (signal.times.size() < 2)
        return 0.0;
    std::vector<double> intervals;
    intervals.reserve(signal.times.size() - 1);
    for (std::size_t i = 1; i < signal.times.size(); ++i)
        intervals.push_back(signal.times[i] - signal.times[i - 1]);
    std::vector<double> sorted = intervals;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double stop = sorted[sorted.size() / 2] * kStopFactor;
    double longest = 0.0;
    for (const double interval : intervals) {
        if (interval <= stop)
            longest = std::max(longest, interval);
    }
    return longest;
}

struct TickEdge {
    std::uint64_t tick = 0;
    bool high = false;
};

// A signal's edges in whole ticks from the start, inverted if asked; a
// tooth log's made-up falling edges halfway to the next tooth.
std::vector<TickEdge> TickEdges(const ImportSignal& signal, double start, double secondsPerTick, bool invert)
{
    std::vector<TickEdge> edges;
    edges.reserve(signal.times.size() * (signal.risesOnly ? 2 : 1));
    const auto ticks = [&](double time) {
        return std::uint64_t(std::llround(std::max(0.0, time - start) / secondsPerTick));
    };
    for (std::size_t i = 0; i < signal.times.size(); ++i) {
        const std::uint64_t at = ticks(signal.times[i]);
        edges.push_back({at, bool(signal.highs[i]) != invert});
        if (!signal.risesOnly)
            continue;
        const std::uint64_t period = i + 1 < signal.times.size() ? ticks(signal.times[i + 1]) - at
            : edges.size() >= 3                                  ? at - edges[edges.size() - 3].tick
                                                                 : 2;
        edges.push_back({at + period / 2, invert});
    }
    return edges;
}

// Two crank records, each a tooth period as the controller counts its
// first teeth; periods too long for a count (a starter's first turns) are
// passed over, as they would saturate the controller's counter.
void AddCalibration(const std::vector<TickEdge>& crank, std::vector<TriggerRecord>* records)
{
    std::vector<std::uint64_t> periods;
    std::optional<std::uint64_t> lastRise;
    for (const TickEdge& edge : crank) {
        if (!edge.high || periods.size() == 2)
            continue;
        if (lastRise && edge.tick - *lastRise <= kMostTicks && edge.tick > *lastRise)
            periods.push_back(edge.tick - *lastRise);
        lastRise = edge.tick;
    }
    // Without two teeth there is nothing to measure: a millisecond's worth at 1 µs.
    constexpr std::uint16_t kNoTooth = 1000;
    const std::uint16_t first = periods.empty() ? kNoTooth : std::uint16_t(periods[0]);
    const std::uint16_t second = periods.size() < 2 ? first : std::uint16_t(periods[1]);
    records->push_back({kCrankRise, first});
    records->push_back({kCrankFall, second});
}

void AppendRecords(const std::vector<TickEdge>& crank, const std::vector<TickEdge>& cam,
                   std::vector<TriggerRecord>* records)
{
    std::size_t nextCrank = 0;
    std::size_t nextCam = 0;
    std::uint64_t clocks[2] = {0, 0};
    while (nextCrank < crank.size() || nextCam < cam.size()) {
        const bool isCrank =
            nextCam >= cam.size() || (nextCrank < crank.size() && crank[nextCrank].tick <= cam[nextCam].tick);
        const TickEdge& edge = isCrank ? crank[nextCrank++] : cam[nextCam++];
        std::uint64_t& clock = clocks[isCrank ? 0 : 1];
        const std::uint64_t count = std::min(edge.tick - clock, kMostTicks);
        clock = edge.tick;  // the next count starts at the true time: nothing drifts
        const std::uint8_t type = isCrank ? (edge.high ? kCrankRise : kCrankFall) : (edge.high ? kCamRise : kCamFall);
        records->push_back({type, std::uint16_t(count)});
    }
}

std::string Microseconds(std::uint64_t nanoseconds)
{
    return nanoseconds % 1000 == 0 ? std::to_string(nanoseconds / 1000) + " µs" : std::to_string(nanoseconds) + " ns";
}

}  // namespace

bool ChooseSignals(const ImportedWaveforms& waveforms, const ImportOptions& options, SignalChoice* choice,
                   ImportError* error)
{
    SignalChoice chosen;
    if (!options.crank.empty() && !ResolveSignal(waveforms, options.crank, "crank", &chosen.crank, error))
        return false;
    if (!options.cam.empty() && !ResolveSignal(waveforms, options.cam, "cam", &chosen.cam, error))
        return false;
    const bool crankSaid = !options.crank.empty() || FindNamed(waveforms, NamedCrank) >= 0;
    const bool camSaid = !options.cam.empty() || FindNamed(waveforms, NamedCam) >= 0;
    if (options.crank.empty())
        chosen.crank = FindNamed(waveforms, NamedCrank);
    if (options.cam.empty())
        chosen.cam = FindNamed(waveforms, NamedCam);
    if (chosen.crank < 0)
        chosen.crank = MostEdges(waveforms, chosen.cam);
    // Once the crank is named, other columns (coil and injector flags) stay
    // out unless chosen: only a file that names nothing gives its second signal.
    if (chosen.cam < 0 && !camSaid && !crankSaid) {
        chosen.cam = MostEdges(waveforms, chosen.crank);
        if (chosen.cam >= 0 && waveforms.traces[std::size_t(chosen.cam)].edges == 0)
            chosen.cam = -1;
    }
    if (chosen.crank < 0) {
        *error = {0, "the file has no signal of 0 and 1 levels to be the crank"};
        return false;
    }
    if (chosen.crank == chosen.cam) {
        *error = {0, "the crank and the cam are the same signal, " + waveforms.traces[std::size_t(chosen.crank)].name};
        return false;
    }
    std::size_t levelSignals = 0;
    for (const ImportSignal& signal : waveforms.traces)
        levelSignals += signal.levels ? 1 : 0;
    chosen.leftOpen = !crankSaid && !camSaid && levelSignals > 1;
    *choice = chosen;
    return true;
}

std::uint64_t ChooseTickNanoseconds(const ImportedWaveforms& waveforms, const SignalChoice& choice)
{
    double longest = 0.0;
    for (const int index : {choice.crank, choice.cam}) {
        if (index >= 0)
            longest = std::max(longest, LongestFittingInterval(waveforms.traces[std::size_t(index)]));
    }
    std::uint64_t tick = 1000;
    // One tick less than the most, for the rounding of both ends.
    while (tick < kMostTickNanoseconds / 2 && longest / (double(tick) * 1e-9) > double(kMostTicks - 1))
        tick *= 2;
    return tick;
}

bool MakeImportedCapture(const ImportedWaveforms& waveforms, const SignalChoice& choice, const ImportOptions& options,
                         const std::string& fileName, CaptureData* capture, ImportError* error)
{
    if (choice.crank < 0 || std::size_t(choice.crank) >= waveforms.traces.size() ||
        choice.cam >= int(waveforms.traces.size())) {
        *error = {0, "no crank signal was chosen"};
        return false;
    }
    const ImportSignal& crankSignal = waveforms.traces[std::size_t(choice.crank)];
    const ImportSignal* camSignal = choice.cam >= 0 ? &waveforms.traces[std::size_t(choice.cam)] : nullptr;
    const std::uint64_t tick =
        options.tickNanoseconds ? *options.tickNanoseconds : ChooseTickNanoseconds(waveforms, choice);
    const double secondsPerTick = waveforms.timesInTicks ? 1.0 : double(tick) * 1e-9;
    const std::vector<TickEdge> crank =
        TickEdges(crankSignal, waveforms.startTime, secondsPerTick, options.invertCrank);
    const std::vector<TickEdge> cam = camSignal
        ? TickEdges(*camSignal, waveforms.startTime, secondsPerTick, options.invertCam)
        : std::vector<TickEdge>();
    if (crank.size() + cam.size() + kCalibrationRecords > kMaxImportedRecords) {
        *error = {0, "more than " + std::to_string(kMaxImportedRecords) + " edges, the most one capture holds"};
        return false;
    }
    CaptureData made;
    made.records.reserve(crank.size() + cam.size() + kCalibrationRecords);
    AddCalibration(crank, &made.records);
    AppendRecords(crank, cam, &made.records);
    if (!waveforms.timesInTicks || options.tickNanoseconds)
        made.tickNanoseconds = tick;
    made.fallingEdgesReal = !crankSignal.risesOnly && !(camSignal && camSignal->risesOnly);
    made.source = ImportSource{
        fileName,         waveforms.format, crankSignal.name, camSignal ? camSignal->name : "", options.invertCrank,
        options.invertCam};
    made.port = fileName;
    made.startedAtUtc = "1970-01-01T00:00:00.000Z";
    made.outcome = TestOutcome::kFinished;
    made.outcomeDetail = std::to_string(made.records.size() - kCalibrationRecords) + " edges imported from " +
        fileName + " (crank " + crankSignal.name + (camSignal ? ", cam " + camSignal->name : ", no cam") +
        "; one tick " + (made.tickNanoseconds ? "is " + Microseconds(tick) : "has no known length") + ")";
    for (const std::string& note : waveforms.notes)
        made.outcomeDetail += "; " + note;
    *capture = std::move(made);
    return true;
}

bool ImportWaveformFile(std::istream& in, const std::string& fileName, ImportOptions options, const AskSignals& ask,
                        CaptureData* capture, ImportError* error)
{
    ImportedWaveforms waveforms;
    SignalChoice choice;
    if (!ReadWaveforms(in, &waveforms, error) || !ChooseSignals(waveforms, options, &choice, error))
        return false;
    if (choice.leftOpen && ask) {
        if (!ask(waveforms, choice, &options)) {
            *error = {0, "the import was cancelled"};
            return false;
        }
        if (!ChooseSignals(waveforms, options, &choice, error))
            return false;
    }
    return MakeImportedCapture(waveforms, choice, options, fileName, capture, error);
}

}  // namespace dentora
