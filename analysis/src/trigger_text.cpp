#include "analysis/trigger_text.h"

#include "analysis/wheel_library.h"

#include <algorithm>
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

std::string Fit(const WheelCandidate& candidate)
{
    return candidate.pattern + " at " + std::to_string(candidate.revolutionsFitting) + " of " +
        std::to_string(candidate.revolutionsSeen);
}

std::string Shape(const WheelSummary& wheel)
{
    if (wheel.sizedByCam)
        return std::to_string(wheel.teethPresent) + " even teeth per revolution, the cam marks tooth 1";
    if (wheel.teethMissing > 0)
        return std::to_string(wheel.teethPresent) + " teeth, " + std::to_string(wheel.teethMissing) +
            " missing per revolution";
    return std::to_string(wheel.teethPresent) + " teeth per revolution";
}

std::string WheelLine(const WheelSummary& wheel)
{
    if (!wheel.Known()) {
        if (wheel.candidates.empty())
            return "Wheel: unknown (too few teeth for any wheel to fit a whole revolution)";
        std::string closest;
        for (const WheelCandidate& candidate : wheel.candidates)
            closest += (closest.empty() ? "" : ", ") + Fit(candidate);
        return "Wheel: unknown (no wheel fits for sure; closest " + closest + " revolutions)";
    }
    std::string line = "Wheel: " + wheel.name + " (" + Shape(wheel) +
        "): " + std::to_string(wheel.revolutionsAgreeing) + " of " + std::to_string(wheel.revolutionsSeen) +
        " revolutions";
    if (wheel.candidates.size() > 1)
        line += ", next best " + Fit(wheel.candidates[1]);
    if (wheel.toothOneRecord)
        line += "; tooth 1 at record " + std::to_string(*wheel.toothOneRecord);
    if (wheel.fallingEdges)
        line += "\n  read on the falling edges: the crank signal is inverted (a sensor wired the other way round)";
    return line + "\n  geometry: " + wheel.source;
}

// How far the teeth came from where the wheel puts them, and the worst one.
std::string AnglesLine(const std::vector<CrankTooth>& teeth)
{
    const CrankTooth* worst = nullptr;
    for (const CrankTooth& tooth : teeth) {
        if (!tooth.measuredAngle || !tooth.expectedAngle)
            continue;
        if (!worst ||
            std::abs(*tooth.measuredAngle - *tooth.expectedAngle) >
                std::abs(*worst->measuredAngle - *worst->expectedAngle))
            worst = &tooth;
    }
    if (!worst)
        return "Tooth angles: unknown (no whole revolution of a known wheel)";
    const double deviation = *worst->measuredAngle - *worst->expectedAngle;
    return "Tooth angles: within " + Fixed(std::abs(deviation), 1) + "° of the wheel's (worst tooth " +
        std::to_string(worst->number) + ", " + Fixed(std::abs(deviation), 1) + "° " +
        (deviation >= 0 ? "late" : "early") + ", at record " + std::to_string(worst->record) + ")";
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
        Fixed(*speed.maxRpm, 0) + " max, " + SpeedRegimeName(speed.regime) + " (" + Fixed(*report.tickMicros, 3) +
        " µs per tick)";
}

// "After the gap" says where tooth 1 is only on a wheel with one gap.
int GapsOf(const std::string& name)
{
    const std::optional<WheelDefinition> wheel = WheelNamed(name);
    if (!wheel)
        return 0;
    double least = 360.0;
    for (std::size_t k = 0; k < wheel->rises.size(); ++k)
        least = std::min(least, wheel->Spacing(k));
    int gaps = 0;
    for (std::size_t k = 0; k < wheel->rises.size(); ++k)
        gaps += wheel->Spacing(k) >= 1.5 * least ? 1 : 0;
    return gaps;
}

}  // namespace

std::string FormatAnomaly(const Anomaly& anomaly)
{
    return std::to_string(anomaly.at.ticks) + " ticks (x " + Fixed(anomaly.at.chartX, 1) + ")  " +
        AnomalyKindName(anomaly.kind) + ": " + anomaly.reason;
}

std::string FormatTooth(const TriggerReport& report, const CrankTooth& tooth)
{
    const WheelSummary& wheel = report.wheel;
    const bool oneGap = wheel.teethMissing > 0 && GapsOf(wheel.name) == 1;
    std::string text = tooth.number == 0
        ? "Tooth " + std::to_string(&tooth - report.teeth.data() + 1) + " of the capture (the wheel is unknown)"
        : oneGap ? "Tooth " + std::to_string(tooth.number) + " after the gap"
                 : "Tooth " + std::to_string(tooth.number) + " of " + wheel.name;
    if (tooth.span > 1 && wheel.teethMissing > 0)
        text += ", before a gap of " + std::to_string(tooth.span - 1);
    if (tooth.expectedAngle) {
        text += "\nAt " + Fixed(*tooth.expectedAngle, 1) + "° on the wheel";
        if (tooth.measuredAngle)
            text += ", measured " + Fixed(*tooth.measuredAngle, 1) + "°";
    }
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
    if (report.wheel.Known())
        out << AnglesLine(report.teeth) << "\n";
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
