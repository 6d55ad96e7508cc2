#include "analysis/trigger_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace dentora {
namespace {

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string WheelLine(const WheelSummary& wheel)
{
    if (!wheel.Known())
        return "Wheel: unknown (no gap seen twice, and no cam to size a wheel without one)";
    std::string line = "Wheel: " + wheel.Pattern() + " (" + std::to_string(wheel.teethPresent) + " teeth, " +
        std::to_string(wheel.teethMissing) + " missing per revolution" +
        (wheel.sizedByCam ? "; no gap, sized by one cam pulse per 720°" : "") + ")";
    return line + "; " + std::to_string(wheel.revolutionsSeen) + " whole revolutions, " +
        std::to_string(wheel.revolutionsAgreeing) + " agree";
}

std::string TeethLine(const std::vector<CrankTooth>& teeth, bool fallingEdgesReal)
{
    if (teeth.empty())
        return "Teeth: none (fewer than two rising crank edges)";
    std::uint64_t shortest = teeth.front().periodTicks;
    std::uint64_t longest = shortest;
    double dutyLow = 1.0;
    double dutyHigh = 0.0;
    for (const CrankTooth& tooth : teeth) {
        if (tooth.span == 1) {
            shortest = std::min(shortest, tooth.periodTicks);
            longest = std::max(longest, tooth.periodTicks);
        }
        if (tooth.duty && tooth.span == 1) {
            dutyLow = std::min(dutyLow, *tooth.duty);
            dutyHigh = std::max(dutyHigh, *tooth.duty);
        }
    }
    std::string line = "Teeth: " + std::to_string(teeth.size()) + " periods; one tooth " + std::to_string(shortest) +
        " to " + std::to_string(longest) + " ticks";
    if (!fallingEdgesReal)
        line += ", duty unknown (the log has rising edges only)";
    else if (dutyLow <= dutyHigh)
        line += ", duty " + Fixed(dutyLow, 2) + " to " + Fixed(dutyHigh, 2);
    return line;
}

void WriteCam(std::ostringstream& out, const CamSummary& cam)
{
    if (cam.pulses.empty()) {
        out << "Cam: no pulse\n";
        return;
    }
    if (cam.pulsesPer720 == 0) {
        out << "Cam: " << cam.pulses.size() << (cam.pulses.size() == 1 ? " pulse" : " pulses")
            << ", not placed (the wheel is unknown)\n";
        return;
    }
    out << "Cam: " << cam.pulsesPer720 << (cam.pulsesPer720 == 1 ? " pulse" : " pulses") << " per 720°\n";
    for (const CamLocation& location : cam.locations) {
        out << "  after tooth " << location.tooth << " at " << Fixed(location.meanAngle, 1) << "° ("
            << Fixed(location.minAngle, 1) << "° to " << Fixed(location.maxAngle, 1) << "°), " << location.pulses
            << (location.pulses == 1 ? " pulse\n" : " pulses\n");
    }
}

std::string SpeedLine(const TriggerReport& report)
{
    const SpeedSummary& speed = report.speed;
    if (!report.tickMicros)
        return "Speed: unknown (set the tick length)";
    if (!speed.meanRpm)
        return "Speed: unknown (the wheel is unknown)";
    return "Speed: " + Fixed(*speed.minRpm, 0) + " rpm min, " + Fixed(*speed.meanRpm, 0) + " mean, " +
        Fixed(*speed.maxRpm, 0) + " max (" + Fixed(*report.tickMicros, 3) + " µs per tick)";
}

}  // namespace

std::string FormatAnomaly(const Anomaly& anomaly)
{
    return std::to_string(anomaly.at.ticks) + " ticks (x " + Fixed(anomaly.at.chartX, 1) + ")  " +
        AnomalyKindName(anomaly.kind) + ": " + anomaly.reason;
}

std::string FormatTooth(const TriggerReport& report, const CrankTooth& tooth)
{
    std::string text = tooth.number > 0
        ? "Tooth " + std::to_string(tooth.number) + " after the gap"
        : "Tooth " + std::to_string(&tooth - report.teeth.data() + 1) + " of the capture (the wheel is unknown)";
    if (tooth.span > 1)
        text += ", before a gap of " + std::to_string(tooth.span - 1);
    text += "\nPeriod " + std::to_string(tooth.periodTicks) + " ticks";
    if (report.tickMicros)
        text += " = " + Fixed(double(tooth.periodTicks) * *report.tickMicros, 1) + " µs";
    if (tooth.rpm)
        text += ", " + Fixed(*tooth.rpm, 0) + " rpm";
    if (!tooth.trusted)
        text += " (not to be trusted: a saturated count)";
    text += "\nRatio to the previous tooth " + (tooth.ratio ? Fixed(*tooth.ratio, 2) : std::string("unknown"));
    const char* unknownDuty =
        report.fallingEdgesReal ? "unknown (its falling edge is lost)" : "unknown (the log has rising edges only)";
    text += "\nDuty " + (tooth.duty ? Fixed(*tooth.duty, 2) : std::string(unknownDuty));
    return text;
}

std::string FormatTriggerSummary(const TriggerReport& report)
{
    std::ostringstream out;
    out << "Records: " << report.records << " (the first 2 calibrate";
    if (report.chartUnitsPerTick > 0.0)
        out << "; 1 tick = " << Fixed(report.chartUnitsPerTick, 5) << " chart units)\n";
    else
        out << "; no time scale: they are missing or sum to zero)\n";
    out << WheelLine(report.wheel) << "\n" << TeethLine(report.teeth, report.fallingEdgesReal) << "\n";
    WriteCam(out, report.cam);
    out << SpeedLine(report) << "\n";
    return out.str();
}

std::string FormatTriggerReport(const TriggerReport& report)
{
    std::ostringstream out;
    out << FormatTriggerSummary(report);
    if (report.anomalies.empty()) {
        out << "Anomalies: none\n";
        return out.str();
    }
    out << "Anomalies: " << report.anomalies.size() << "\n";
    for (const Anomaly& anomaly : report.anomalies)
        out << "  " << FormatAnomaly(anomaly) << "\n";
    return out.str();
}

}  // namespace dentora
