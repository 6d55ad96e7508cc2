#include "simulator/engine_model.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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

// The crank's teeth in degrees: the named wheel's, or the slotted wheel's
// with the configured duty (each position begins low).
WheelShape ResolveShape(const EngineConfig& config, const EngineTiming& timing)
{
    if (!config.wheel.empty()) {
        const std::optional<WheelShape> shape = WheelShapeNamed(config.wheel);
        Require(shape.has_value(), "no wheel is called '" + config.wheel + "'");
        return *shape;
    }
    WheelShape shape{std::to_string(config.teeth) + "-" + std::to_string(config.missingTeeth), {}, {}};
    const double pitch = 360.0 / config.teeth;
    for (int slot = 0; slot < config.teeth - config.missingTeeth; ++slot)
        shape.teeth.push_back({(slot + timing.crankLowFraction) * pitch, (slot + 1) * pitch});
    return shape;
}

// The longest time between two crank edges, at the starting speed.
std::uint64_t LongestCrankInterval(const EngineTiming& timing)
{
    std::vector<double> edges;
    for (const ShapeEdgePair& tooth : timing.shape.teeth) {
        edges.push_back(tooth.rise);
        edges.push_back(tooth.fall);
    }
    std::sort(edges.begin(), edges.end());
    double longest = edges.front() + 360.0 - edges.back();
    for (std::size_t i = 1; i < edges.size(); ++i)
        longest = std::max(longest, edges[i] - edges[i - 1]);
    return static_cast<std::uint64_t>(std::ceil(longest * static_cast<double>(timing.revolutionTicks) / 360.0));
}

void ResolveRealism(const EngineConfig& config, EngineTiming& timing)
{
    const EngineRealism& realism = config.realism;
    Require(std::isfinite(realism.compression) && realism.compression >= 0 && realism.compression <= 0.6,
            "compression must lie in [0, 0.6]");
    Require(realism.cylinders >= 1 && realism.cylinders <= 16, "cylinders must lie in [1, 16]");
    Require(std::isfinite(realism.jitter) && realism.jitter >= 0 && realism.jitter <= 0.34,
            "jitter must lie in [0, 0.34] of a tooth");
    Require(realism.noiseEveryTeeth >= 0, "noise pulses need a positive tooth count");
    Require(std::isfinite(realism.stallSeconds) && realism.stallSeconds >= 0 && realism.stallSeconds <= 60,
            "a stall lasts 0 to 60 seconds");
    timing.realism = realism;
    timing.stallTicks = realism.stallSeconds * 1e6 / config.tickMicros;
}

void ResolveFaults(const EngineConfig& config, EngineTiming& timing)
{
    const SignalFaults& faults = config.faults;
    Require(!faults.extraToothInRevolution || (config.missingTeeth > 0 && config.wheel.empty()),
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
    timing.crankLowFraction = double(timing.crankLowTicks) / double(timing.toothTicks);
    timing.shape = ResolveShape(config, timing);
    Require(!timing.shape.teeth.empty(), "the wheel needs a tooth");
    const double toothOne = timing.shape.teeth.front().rise;
    timing.camStartTicks = DegreesToTicks(toothOne + config.camStartDegrees, timing.revolutionTicks);
    timing.camHighTicks = DegreesToTicks(config.camWidthDegrees, timing.revolutionTicks);
    Require(timing.camHighTicks >= 1 && timing.camHighTicks < timing.camCycleTicks,
            "cam pulse width rounds to " + std::to_string(timing.camHighTicks) +
                " ticks; it must leave the cam both high and low for at least one tick");
    timing.effectiveRpm = 60e6 / (static_cast<double>(timing.revolutionTicks) * config.tickMicros);

    RequireFitsTickCount(LongestCrankInterval(timing), "crank low time across the missing teeth");
    RequireFitsTickCount(timing.camStartTicks, "time to the first cam edge");
    RequireFitsTickCount(timing.camHighTicks, "cam pulse width");
    RequireFitsTickCount(timing.camCycleTicks - timing.camHighTicks, "cam low time between pulses");
    ResolveAcceleration(config, timing);
    ResolveFaults(config, timing);
    ResolveRealism(config, timing);
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

double CrankAngleTick(const EngineTiming& timing, double degrees)
{
    const double slots = degrees / 360.0 * timing.teeth;
    const double whole = std::floor(slots);
    const auto slot = static_cast<std::uint64_t>(std::max(0.0, whole));
    const double start = SlotStartTick(timing, slot);
    const double length = SlotStartTick(timing, slot + 1) - start;
    double tick = start + (slots - whole) * length;
    if (timing.realism.compression > 0) {
        // Speed (1 + c sin) over the strokes: time runs (1 - c sin), the
        // integral of which is this cosine, scaled by the local ticks per radian.
        const double strokes = timing.realism.cylinders / 2.0;
        const double radians = degrees * M_PI / 180.0;
        const double ticksPerRadian = length * timing.teeth / (2.0 * M_PI);
        tick += timing.realism.compression * ticksPerRadian * (std::cos(strokes * radians) - 1.0) / strokes;
    }
    if (timing.realism.stallInRevolution &&
        degrees >= (static_cast<double>(*timing.realism.stallInRevolution) + 0.5) * 360.0)
        tick += timing.stallTicks;
    return tick;
}

// The revolution's teeth, with an extra tooth in the first empty position
// where the faults ask for one.
std::vector<ShapeEdgePair> CrankEdges::RevolutionTeeth() const
{
    std::vector<ShapeEdgePair> teeth = m_timing.shape.teeth;
    if (m_timing.faults.extraToothInRevolution == m_revolution) {
        const double pitch = 360.0 / m_timing.teeth;
        const int present = m_timing.teeth - m_timing.missingTeeth;
        teeth.push_back({(present + m_timing.crankLowFraction) * pitch, (present + 1) * pitch});
    }
    return teeth;
}

// Uniform in [-0.5, 0.5): a small generator of our own, the same on every platform.
double CrankEdges::Jitter()
{
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return static_cast<double>(m_random) / 4294967296.0 - 0.5;
}

void CrankEdges::PushPulse(double tick, double width)
{
    // Edges keep their order whatever the jitter: each at least a tick after the last.
    const double rise = std::max(tick, m_lastTick + 1.0);
    const double fall = std::max(rise + width, rise + 1.0);
    Push(rise, true);
    Push(fall, false);
    m_lastTick = std::round(fall);
}

void CrankEdges::PushTooth(double riseDegrees, double fallDegrees, double nextRiseDegrees)
{
    const std::uint64_t tooth = m_tooth++;
    if (m_timing.faults.missingTooth == tooth)
        return;
    const double spacing = 360.0 / static_cast<double>(m_timing.shape.teeth.size());
    const double shift = m_timing.realism.jitter > 0 ? Jitter() * m_timing.realism.jitter * spacing : 0.0;
    const double rise = CrankAngleTick(m_timing, riseDegrees + shift);
    const double fall = CrankAngleTick(m_timing, fallDegrees + shift);
    PushPulse(rise, fall - rise);
    const double nextRise = CrankAngleTick(m_timing, nextRiseDegrees);
    const double low = nextRise - fall;
    if (m_timing.faults.glitchAfterTooth == tooth)
        PushPulse(fall + low / 2, std::max(1.0, low / 10));  // halfway through the low time, a tenth of it wide
    else if (m_timing.realism.noiseEveryTeeth > 0 && (tooth + 1) % std::uint64_t(m_timing.realism.noiseEveryTeeth) == 0)
        PushPulse(fall + low / 2, std::max(1.0, (CrankAngleTick(m_timing, fallDegrees + spacing) - fall) / 20));
}

void CrankEdges::ProduceMore()
{
    const std::vector<ShapeEdgePair> teeth = RevolutionTeeth();
    const double turn = 360.0 * static_cast<double>(m_revolution++);
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        const double nextRise = i + 1 < teeth.size() ? teeth[i + 1].rise : m_timing.shape.teeth.front().rise + 360.0;
        PushTooth(turn + teeth[i].rise, turn + teeth[i].fall, turn + nextRise);
    }
}

void CamEdges::ProduceMore()
{
    const double cycle = 720.0 * static_cast<double>(m_cycle++);
    std::vector<ShapeEdgePair> pulses = m_timing.shape.cam;
    if (pulses.empty()) {
        const double rise =
            static_cast<double>(m_timing.camStartTicks) * 360.0 / static_cast<double>(m_timing.revolutionTicks);
        const double width =
            static_cast<double>(m_timing.camHighTicks) * 360.0 / static_cast<double>(m_timing.revolutionTicks);
        pulses.push_back({rise, rise + width});
    }
    for (const ShapeEdgePair& pulse : pulses) {
        const double jump = m_timing.faults.camJumpAtPulse == m_pulse++ ? m_timing.faults.camJumpDegrees : 0.0;
        Push(std::round(CrankAngleTick(m_timing, cycle + pulse.rise + jump)), true);
        Push(std::round(CrankAngleTick(m_timing, cycle + pulse.fall + jump)), false);
    }
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
