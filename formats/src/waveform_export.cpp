#include "formats/waveform_export.h"

#include "formats/capture_file.h"
#include "formats/edges.h"

#include <cinttypes>
#include <cstdio>

namespace dentora {
namespace {

struct TimeUnit {
    std::uint64_t nanoseconds;
    const char* name;
};
// What a VCD $timescale can say, largest first.
constexpr TimeUnit kTimescales[] = {
    {100000000000ull, "100 s"}, {10000000000ull, "10 s"}, {1000000000ull, "1 s"}, {100000000ull, "100 ms"},
    {10000000ull, "10 ms"},     {1000000ull, "1 ms"},     {100000ull, "100 us"},  {10000ull, "10 us"},
    {1000ull, "1 us"},          {100ull, "100 ns"},       {10ull, "10 ns"},       {1ull, "1 ns"},
};

const TimeUnit& TimescaleFor(std::uint64_t tickNanoseconds)
{
    for (const TimeUnit& unit : kTimescales) {
        if (tickNanoseconds % unit.nanoseconds == 0)
            return unit;
    }
    return kTimescales[std::size(kTimescales) - 1];
}

std::string TickLengthText(std::uint64_t tickNanoseconds)
{
    if (tickNanoseconds % 1000 == 0)
        return std::to_string(tickNanoseconds / 1000) + " us";
    return std::to_string(tickNanoseconds) + " ns";
}

// A VCD section ends at the word "$end": no '$' and no line breaks inside.
std::string VcdText(const std::string& text)
{
    std::string safe = text;
    for (char& c : safe) {
        if (c == '$' || static_cast<unsigned char>(c) < ' ')
            c = '?';
    }
    return safe;
}

constexpr char kCrankId = '!';
constexpr char kCamId = '"';

void AppendValue(std::string* out, bool high, char id)
{
    *out += high ? '1' : '0';
    *out += id;
    *out += '\n';
}

// Nanoseconds as microseconds with three decimals.
std::string Microseconds(std::uint64_t nanoseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64, nanoseconds / 1000, nanoseconds % 1000);
    return text;
}

}  // namespace

std::string WriteVcd(const CaptureData& capture, std::optional<std::uint64_t> tickNanoseconds,
                     const std::string& toolVersion)
{
    const TimeUnit& timescale = TimescaleFor(tickNanoseconds.value_or(kDefaultTickNanoseconds));
    const std::uint64_t unitsPerTick = tickNanoseconds.value_or(kDefaultTickNanoseconds) / timescale.nanoseconds;
    const std::string tickText = tickNanoseconds
        ? "One controller tick is " + TickLengthText(*tickNanoseconds) + ";"
        : std::string("The tick length is not known: one time unit here is one controller tick, not 1 us;");
    const char* outcome = OutcomeWord(capture.outcome);
    std::string out;
    out += "$date " + VcdText(capture.startedAtUtc) + " $end\n";
    out += "$version " + VcdText(toolVersion) + " $end\n";
    out += "$comment Trigger capture from " + VcdText(capture.port) + ", " + std::to_string(capture.records.size()) +
        " records, outcome " + (outcome ? outcome : "running") + ". " + tickText +
        " each signal's time is the sum of its own tick counts after the two calibration records. $end\n";
    out += std::string("$timescale ") + timescale.name + " $end\n";
    out += "$scope module dentora $end\n";
    out += std::string("$var wire 1 ") + kCrankId + " crank $end\n";
    out += std::string("$var wire 1 ") + kCamId + " cam $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";

    const std::vector<Edge> edges = EdgesInTimeOrder(capture.records);
    bool levels[2] = {false, false};
    std::size_t next = 0;
    // Edges at time 0 are the starting values.
    for (; next < edges.size() && edges[next].time == 0; ++next)
        levels[edges[next].signal == Signal::kCrank ? 0 : 1] = edges[next].high;
    out += "#0\n$dumpvars\n";
    AppendValue(&out, levels[0], kCrankId);
    AppendValue(&out, levels[1], kCamId);
    out += "$end\n";
    while (next < edges.size()) {
        // All edges at one time make one step; a signal that ends where it
        // was shows no change.
        const std::uint64_t time = edges[next].time;
        bool after[2] = {levels[0], levels[1]};
        for (; next < edges.size() && edges[next].time == time; ++next)
            after[edges[next].signal == Signal::kCrank ? 0 : 1] = edges[next].high;
        if (after[0] == levels[0] && after[1] == levels[1])
            continue;
        out += '#' + std::to_string(time * unitsPerTick) + '\n';
        if (after[0] != levels[0])
            AppendValue(&out, after[0], kCrankId);
        if (after[1] != levels[1])
            AppendValue(&out, after[1], kCamId);
        levels[0] = after[0];
        levels[1] = after[1];
    }
    // One tick more, so that readers which sample up to the last timestamp
    // show the last edge too.
    const std::uint64_t end = edges.empty() ? 0 : edges.back().time;
    out += '#' + std::to_string((end + 1) * unitsPerTick) + '\n';
    return out;
}

std::string WriteCsv(const CaptureData& capture, std::optional<std::uint64_t> tickNanoseconds)
{
    std::string out = std::string("Record,Time,ToothTime,PriLevel,SecLevel,Trigger\n") +
        (tickNanoseconds ? "#,us,us,0/1,0/1,\n" : "#,tick,tick,0/1,0/1,\n");
    const auto time = [&](std::uint64_t ticks) {
        return tickNanoseconds ? Microseconds(ticks * *tickNanoseconds) : std::to_string(ticks);
    };
    bool levels[2] = {false, false};
    for (const Edge& edge : EdgesInTimeOrder(capture.records)) {
        const bool crank = edge.signal == Signal::kCrank;
        levels[crank ? 0 : 1] = edge.high;
        out += std::to_string(edge.record) + ',' + time(edge.time) + ',' + time(edge.toothTicks) + ',' +
            (levels[0] ? '1' : '0') + ',' + (levels[1] ? '1' : '0') + ',' + (crank ? "crank" : "cam") + '\n';
    }
    return out;
}

}  // namespace dentora
