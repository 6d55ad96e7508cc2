#include "simulator/engine_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace dentora::sim {

namespace {

constexpr std::uint64_t kMaxTickCount = std::numeric_limits<std::uint16_t>::max();

void Require(bool condition, const std::string& message)
{
    if (!condition) {
        throw std::invalid_argument(message);
    }
}

void RequireFitsTickCount(std::uint64_t ticks, const char* what)
{
    Require(ticks <= kMaxTickCount,
            std::string(what) + " is " + std::to_string(ticks) +
                " ticks, more than the 65535 a record's tick count holds; "
                "raise the rpm or the tick length");
}

std::uint64_t DegreesToTicks(double degrees, std::uint64_t revolutionTicks)
{
    return static_cast<std::uint64_t>(std::llround(degrees * static_cast<double>(revolutionTicks) / 360.0));
}

// The speed rises from rpm to topRpm; the start is the slowest, so the
// checks above hold throughout, but the top speed needs a few ticks per tooth.
void ResolveAcceleration(const EngineConfig& config, EngineTiming& timing)
{
    const double gain = config.accelerationPerRevolution;
    Require(std::isfinite(gain) && gain >= 0 && gain <= 10, "acceleration must lie in [0, 10] per revolution");
    timing.crankLowFraction = double(timing.crankLowTicks) / double(timing.toothTicks);
    if (gain == 0) {
        return;
    }
    Require(std::isfinite(config.topRpm) && config.topRpm > config.rpm, "the top speed must be above the starting rpm");
    const double topToothTicks = 60e6 / (config.topRpm * config.teeth * config.tickMicros);
    Require(topToothTicks >= 4,
            "at the top speed a tooth period would be " + std::to_string(topToothTicks) +
                " ticks; it needs at least 4; lower the top speed or the tick length");
    timing.slotRatio = std::pow(1.0 + gain, -1.0 / config.teeth);
    timing.topToothTicks = topToothTicks;
    timing.rampSlots = static_cast<std::uint64_t>(
        std::ceil(config.teeth * std::log(config.topRpm / timing.effectiveRpm) / std::log(1.0 + gain)));
}

void ResolveFaults(const EngineConfig& config, EngineTiming& timing)
{
    const SignalFaults& faults = config.faults;
    Require(!faults.extraToothInRevolution || config.missingTeeth > 0,
            "an extra tooth needs an empty tooth position: set missing teeth");
    Require(!faults.lostEdgeAtRecord || *faults.lostEdgeAtRecord >= 2,
            "the lost edge must be an edge record (2 or later), not a calibration record");
    timing.faults = faults;
    if (!faults.camJumpAtPulse) {
        return;
    }
    const double jump = faults.camJumpDegrees;
    Require(std::isfinite(jump) && std::abs(jump) < 720 - config.camWidthDegrees,
            "the cam jump must be shorter than the cam's low time");
    Require(*faults.camJumpAtPulse != 0 || config.camStartDegrees + jump >= 0,
            "the first cam pulse cannot jump to before the start of the log");
    RequireFitsTickCount(DegreesToTicks(720 - config.camWidthDegrees + std::abs(jump), timing.revolutionTicks),
                         "cam low time before or after the jumped pulse");
}

}  // namespace

EngineTiming ResolveTiming(const EngineConfig& config)
{
    Require(std::isfinite(config.rpm) && config.rpm > 0, "rpm must be a positive number");
    Require(std::isfinite(config.tickMicros) && config.tickMicros > 0,
            "tick length must be a positive number of microseconds");
    Require(config.teeth >= 1, "the crank wheel needs at least one tooth position");
    Require(config.missingTeeth >= 0 && config.missingTeeth < config.teeth,
            "missing teeth must be at least 0 and fewer than the tooth positions");
    Require(config.crankDuty > 0 && config.crankDuty < 1, "crank duty must lie strictly between 0 and 1");
    Require(config.camStartDegrees >= 0 && config.camStartDegrees < 720,
            "cam start must lie in [0, 720) crank degrees");
    Require(config.camWidthDegrees > 0 && config.camWidthDegrees < 720,
            "cam pulse width must lie in (0, 720) crank degrees");

    const double exactToothTicks = 60e6 / (config.rpm * config.teeth * config.tickMicros);
    // Checked before rounding so that absurd speeds cannot overflow the conversion.
    Require(exactToothTicks <= static_cast<double>(kMaxTickCount),
            "crank tooth period is " + std::to_string(std::llround(std::min(exactToothTicks, 1e18))) +
                " ticks, more than the 65535 a calibration record's tick count holds; "
                "raise the rpm or the tick length");

    EngineTiming timing;
    timing.teeth = config.teeth;
    timing.missingTeeth = config.missingTeeth;
    timing.toothTicks = static_cast<std::uint32_t>(std::llround(exactToothTicks));
    Require(timing.toothTicks >= 2,
            "crank tooth period rounds to " + std::to_string(timing.toothTicks) +
                " ticks; it needs at least 2 to have a high and a low part; lower the rpm or the tick length");

    timing.crankHighTicks = static_cast<std::uint32_t>(std::llround(config.crankDuty * timing.toothTicks));
    Require(timing.crankHighTicks >= 1 && timing.crankHighTicks < timing.toothTicks,
            "crank duty leaves no whole tick high or low in a tooth period of " + std::to_string(timing.toothTicks) +
                " ticks");
    timing.crankLowTicks = timing.toothTicks - timing.crankHighTicks;

    timing.revolutionTicks = std::uint64_t{timing.toothTicks} * static_cast<std::uint64_t>(config.teeth);
    timing.camCycleTicks = 2 * timing.revolutionTicks;
    timing.camStartTicks = DegreesToTicks(config.camStartDegrees, timing.revolutionTicks);
    timing.camHighTicks = DegreesToTicks(config.camWidthDegrees, timing.revolutionTicks);
    Require(timing.camHighTicks >= 1 && timing.camHighTicks < timing.camCycleTicks,
            "cam pulse width rounds to " + std::to_string(timing.camHighTicks) +
                " ticks; it must leave the cam both high and low for at least one tick");
    timing.effectiveRpm = 60e6 / (static_cast<double>(timing.revolutionTicks) * config.tickMicros);

    // The crank's high time is part of a tooth period, already known to fit.
    const std::uint64_t missingGapTicks =
        timing.crankLowTicks + std::uint64_t{timing.toothTicks} * static_cast<std::uint64_t>(config.missingTeeth);
    RequireFitsTickCount(missingGapTicks, "crank low time across the missing teeth");
    RequireFitsTickCount(timing.camStartTicks, "time to the first cam edge");
    RequireFitsTickCount(timing.camHighTicks, "cam pulse width");
    RequireFitsTickCount(timing.camCycleTicks - timing.camHighTicks, "cam low time between pulses");
    ResolveAcceleration(config, timing);
    ResolveFaults(config, timing);
    return timing;
}

std::array<std::uint8_t, 3> Record::Bytes() const
{
    return {type, static_cast<std::uint8_t>(ticks & 0xFF), static_cast<std::uint8_t>(ticks >> 8)};
}

Record Edge::ToRecord() const
{
    const bool crank = channel == Channel::Crank;
    const std::uint8_t type = crank ? (rising ? kCrankRise : kCrankFall) : (rising ? kCamRise : kCamFall);
    return {type, sincePrevious};
}

std::array<Record, 2> CalibrationRecords(const EngineTiming& timing)
{
    const auto toothTicks = static_cast<std::uint16_t>(timing.toothTicks);
    return {Record{kCrankRise, toothTicks}, Record{kCrankFall, toothTicks}};
}

double ChartUnitsPerTick(const EngineTiming& timing)
{
    const auto calibration = CalibrationRecords(timing);
    const double sum = static_cast<double>(calibration[0].ticks) + static_cast<double>(calibration[1].ticks);
    return kChartUnitsPerHalfTooth / (sum / 4.0);
}

double SlotStartTick(const EngineTiming& timing, std::uint64_t slot)
{
    const double tooth = timing.toothTicks;
    if (timing.slotRatio == 1.0) {
        return static_cast<double>(slot) * tooth;
    }
    // Each position lasts slotRatio times the one before: a geometric sum,
    // then the top speed's positions.
    const double q = timing.slotRatio;
    const std::uint64_t ramp = std::min(slot, timing.rampSlots);
    const double rampTicks = tooth * (1.0 - std::pow(q, static_cast<double>(ramp))) / (1.0 - q);
    return rampTicks + static_cast<double>(slot - ramp) * timing.topToothTicks;
}

const SignalEdges::Pending& SignalEdges::Front()
{
    while (m_pending.empty()) {
        ProduceMore();
    }
    return m_pending.front();
}

void SignalEdges::Push(double tick, bool rising)
{
    m_pending.push_back({static_cast<std::uint64_t>(std::llround(tick)), rising});
}

bool CrankEdges::SlotHasTooth(std::uint64_t slot) const
{
    const auto teeth = static_cast<std::uint64_t>(m_timing.teeth);
    const auto present = static_cast<std::uint64_t>(m_timing.teeth - m_timing.missingTeeth);
    return slot % teeth < present ||
        (m_timing.faults.extraToothInRevolution == slot / teeth && slot % teeth == present);
}

// A tooth position begins low and ends high: its tooth rises after the low
// part and falls where the next position begins.
void CrankEdges::ProduceMore()
{
    const std::uint64_t slot = m_slot++;
    if (!SlotHasTooth(slot)) {
        return;
    }
    const double start = SlotStartTick(m_timing, slot);
    const double end = SlotStartTick(m_timing, slot + 1);
    const std::uint64_t tooth = m_tooth++;
    if (m_timing.faults.missingTooth == tooth) {
        return;
    }
    // (end - start) * low / tooth rather than a product with the fraction,
    // so that a steady speed gives exactly crankLowTicks.
    Push(start + (end - start) * m_timing.crankLowTicks / m_timing.toothTicks, true);
    Push(end, false);
    if (m_timing.faults.glitchAfterTooth == tooth) {
        // Halfway through the next low time, a tenth of it wide.
        const double low = (SlotStartTick(m_timing, slot + 2) - end) * m_timing.crankLowFraction;
        Push(end + low / 2, true);
        Push(end + low / 2 + std::max(1.0, low / 10), false);
    }
}

std::uint64_t CamEdges::TickAtCycleDegrees(std::uint64_t cycle, double degrees) const
{
    if (m_timing.slotRatio == 1.0) {
        return cycle * m_timing.camCycleTicks + DegreesToTicks(degrees, m_timing.revolutionTicks);
    }
    const double slots = (static_cast<double>(cycle) * 720.0 + degrees) / 360.0 * m_timing.teeth;
    const auto slot = static_cast<std::uint64_t>(slots);
    const double start = SlotStartTick(m_timing, slot);
    const double next = SlotStartTick(m_timing, slot + 1);
    return static_cast<std::uint64_t>(std::llround(start + (slots - static_cast<double>(slot)) * (next - start)));
}

void CamEdges::ProduceMore()
{
    const std::uint64_t cycle = m_cycle++;
    const double jump = m_timing.faults.camJumpAtPulse == cycle ? m_timing.faults.camJumpDegrees : 0.0;
    const double rise =
        static_cast<double>(m_timing.camStartTicks) * 360.0 / static_cast<double>(m_timing.revolutionTicks) + jump;
    const double width =
        static_cast<double>(m_timing.camHighTicks) * 360.0 / static_cast<double>(m_timing.revolutionTicks);
    Push(static_cast<double>(TickAtCycleDegrees(cycle, rise)), true);
    Push(static_cast<double>(TickAtCycleDegrees(cycle, rise + width)), false);
}

EdgeStream::EdgeStream(const EngineTiming& timing)
    : m_lostEdge(timing.faults.lostEdgeAtRecord), m_crank(timing), m_cam(timing)
{
}

Edge EdgeStream::Next()
{
    for (;;) {
        const bool crank = m_crank.Front().tick <= m_cam.Front().tick;
        SignalEdges& signal = crank ? static_cast<SignalEdges&>(m_crank) : m_cam;
        const SignalEdges::Pending pending = signal.Front();
        signal.Pop();
        if (m_lostEdge == m_record++) {
            continue;
        }
        std::uint64_t& last = crank ? m_lastCrankTick : m_lastCamTick;
        const std::uint64_t since = std::min(pending.tick - last, kMaxTickCount);
        last = pending.tick;
        return {crank ? Channel::Crank : Channel::Cam, pending.rising, pending.tick, static_cast<std::uint16_t>(since)};
    }
}

TachLog::TachLog(const EngineTiming& timing) : m_calibration(CalibrationRecords(timing)), m_edges(timing) {}

Record TachLog::Next()
{
    if (m_calibrationServed < m_calibration.size()) {
        return m_calibration[m_calibrationServed++];
    }
    return m_edges.Next().ToRecord();
}

}  // namespace dentora::sim
