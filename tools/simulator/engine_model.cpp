#include "simulator/engine_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace dentora::sim {

namespace {

constexpr std::uint64_t kMaxTickCount = std::numeric_limits<std::uint16_t>::max();

void require(bool condition, const std::string& message) {
    if (!condition) {
        throw std::invalid_argument(message);
    }
}

void requireFitsTickCount(std::uint64_t ticks, const char* what) {
    require(ticks <= kMaxTickCount,
            std::string(what) + " is " + std::to_string(ticks) +
                " ticks, more than the 65535 a record's tick count holds; "
                "raise the rpm or the tick length");
}

std::uint64_t degreesToTicks(double degrees, std::uint64_t revolutionTicks) {
    return static_cast<std::uint64_t>(std::llround(degrees * static_cast<double>(revolutionTicks) / 360.0));
}

}  // namespace

EngineTiming resolveTiming(const EngineConfig& config) {
    require(std::isfinite(config.rpm) && config.rpm > 0, "rpm must be a positive number");
    require(std::isfinite(config.tickMicros) && config.tickMicros > 0, "tick length must be a positive number of microseconds");
    require(config.teeth >= 1, "the crank wheel needs at least one tooth position");
    require(config.missingTeeth >= 0 && config.missingTeeth < config.teeth,
            "missing teeth must be at least 0 and fewer than the tooth positions");
    require(config.crankDuty > 0 && config.crankDuty < 1, "crank duty must lie strictly between 0 and 1");
    require(config.camStartDegrees >= 0 && config.camStartDegrees < 720,
            "cam start must lie in [0, 720) crank degrees");
    require(config.camWidthDegrees > 0 && config.camWidthDegrees < 720,
            "cam pulse width must lie in (0, 720) crank degrees");

    const double exactToothTicks = 60e6 / (config.rpm * config.teeth * config.tickMicros);
    // Checked before rounding so that absurd speeds cannot overflow the conversion.
    require(exactToothTicks <= static_cast<double>(kMaxTickCount),
            "crank tooth period is " + std::to_string(std::llround(std::min(exactToothTicks, 1e18))) +
                " ticks, more than the 65535 a calibration record's tick count holds; "
                "raise the rpm or the tick length");

    EngineTiming timing;
    timing.teeth = config.teeth;
    timing.missingTeeth = config.missingTeeth;
    timing.toothTicks = static_cast<std::uint32_t>(std::llround(exactToothTicks));
    require(timing.toothTicks >= 2,
            "crank tooth period rounds to " + std::to_string(timing.toothTicks) +
                " ticks; it needs at least 2 to have a high and a low part; lower the rpm or the tick length");

    timing.crankHighTicks = static_cast<std::uint32_t>(std::llround(config.crankDuty * timing.toothTicks));
    require(timing.crankHighTicks >= 1 && timing.crankHighTicks < timing.toothTicks,
            "crank duty leaves no whole tick high or low in a tooth period of " +
                std::to_string(timing.toothTicks) + " ticks");
    timing.crankLowTicks = timing.toothTicks - timing.crankHighTicks;

    timing.revolutionTicks = std::uint64_t{timing.toothTicks} * static_cast<std::uint64_t>(config.teeth);
    timing.camCycleTicks = 2 * timing.revolutionTicks;
    timing.camStartTicks = degreesToTicks(config.camStartDegrees, timing.revolutionTicks);
    timing.camHighTicks = degreesToTicks(config.camWidthDegrees, timing.revolutionTicks);
    require(timing.camHighTicks >= 1 && timing.camHighTicks < timing.camCycleTicks,
            "cam pulse width rounds to " + std::to_string(timing.camHighTicks) +
                " ticks; it must leave the cam both high and low for at least one tick");
    timing.effectiveRpm = 60e6 / (static_cast<double>(timing.revolutionTicks) * config.tickMicros);

    // The crank's high time is part of a tooth period, already known to fit.
    const std::uint64_t missingGapTicks =
        timing.crankLowTicks + std::uint64_t{timing.toothTicks} * static_cast<std::uint64_t>(config.missingTeeth);
    requireFitsTickCount(missingGapTicks, "crank low time across the missing teeth");
    requireFitsTickCount(timing.camStartTicks, "time to the first cam edge");
    requireFitsTickCount(timing.camHighTicks, "cam pulse width");
    requireFitsTickCount(timing.camCycleTicks - timing.camHighTicks, "cam low time between pulses");
    return timing;
}

std::array<std::uint8_t, 3> Record::bytes() const {
    return {type, static_cast<std::uint8_t>(ticks & 0xFF), static_cast<std::uint8_t>(ticks >> 8)};
}

Record Edge::record() const {
    const bool crank = channel == Channel::Crank;
    const std::uint8_t type = crank ? (rising ? kCrankRise : kCrankFall) : (rising ? kCamRise : kCamFall);
    return {type, sincePrevious};
}

std::array<Record, 2> calibrationRecords(const EngineTiming& timing) {
    const auto toothTicks = static_cast<std::uint16_t>(timing.toothTicks);
    return {Record{kCrankRise, toothTicks}, Record{kCrankFall, toothTicks}};
}

double chartUnitsPerTick(const EngineTiming& timing) {
    const auto calibration = calibrationRecords(timing);
    const double sum = static_cast<double>(calibration[0].ticks) + static_cast<double>(calibration[1].ticks);
    return kChartUnitsPerHalfTooth / (sum / 4.0);
}

EdgeStream::EdgeStream(const EngineTiming& timing) : timing_(timing) {}

// A tooth period begins low and ends high: tooth k of a revolution rises
// after the low part and falls where the next period begins.
std::uint64_t EdgeStream::crankEdgeTick() const {
    const std::uint64_t periodStart =
        crankRevolution_ * timing_.revolutionTicks + std::uint64_t{timing_.toothTicks} * static_cast<std::uint64_t>(crankTooth_);
    return crankRisingNext_ ? periodStart + timing_.crankLowTicks : periodStart + timing_.toothTicks;
}

std::uint64_t EdgeStream::camEdgeTick() const {
    const std::uint64_t rise = camCycle_ * timing_.camCycleTicks + timing_.camStartTicks;
    return camRisingNext_ ? rise : rise + timing_.camHighTicks;
}

Edge EdgeStream::next() {
    const std::uint64_t crankTick = crankEdgeTick();
    const std::uint64_t camTick = camEdgeTick();
    Edge edge;
    if (crankTick <= camTick) {
        edge = {Channel::Crank, crankRisingNext_, crankTick, static_cast<std::uint16_t>(crankTick - lastCrankTick_)};
        lastCrankTick_ = crankTick;
        if (!crankRisingNext_ && ++crankTooth_ == timing_.teeth - timing_.missingTeeth) {
            crankTooth_ = 0;
            ++crankRevolution_;
        }
        crankRisingNext_ = !crankRisingNext_;
    } else {
        edge = {Channel::Cam, camRisingNext_, camTick, static_cast<std::uint16_t>(camTick - lastCamTick_)};
        lastCamTick_ = camTick;
        if (!camRisingNext_) {
            ++camCycle_;
        }
        camRisingNext_ = !camRisingNext_;
    }
    return edge;
}

TachLog::TachLog(const EngineTiming& timing) : calibration_(calibrationRecords(timing)), edges_(timing) {}

Record TachLog::next() {
    if (calibrationServed_ < calibration_.size()) {
        return calibration_[calibrationServed_++];
    }
    return edges_.next().record();
}

}  // namespace dentora::sim
