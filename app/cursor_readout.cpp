#include "cursor_readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dentora {
namespace {

std::string Printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A cursor put on an edge holds the edge's x as the chart stores it (a
// float): half a tick either way still counts as on it.
double Tolerance(const TriggerReport& report)
{
    return 0.5 * report.chartUnitsPerTick;
}

std::string ToothName(const TriggerReport& report, double x)
{
    const CrankTooth* tooth = ToothAt(report, x + Tolerance(report));
    if (!tooth)
        return "no tooth";
    return tooth->number > 0 ? "tooth " + std::to_string(tooth->number) : "tooth ? (wheel unknown)";
}

struct SpanTeeth {
    int teeth = 0;  // rising edges in (left, right]
    int slots = 0;  // the tooth positions their periods cover
};

SpanTeeth TeethBetween(const TriggerReport& report, double left, double right)
{
    const double tolerance = Tolerance(report);
    SpanTeeth result;
    for (const CrankTooth& tooth : report.teeth) {
        const double end = tooth.nextRise.chartX;
        if (end > left + tolerance && end <= right + tolerance) {
            ++result.teeth;
            result.slots += tooth.span;
        }
    }
    return result;
}

std::string SpanLines(const TriggerReport& report, double left, double right)
{
    const double ticks = (right - left) / report.chartUnitsPerTick;
    std::string text = "\u0394t " + Printed("%.0f", ticks) + " ticks";
    std::optional<double> seconds;
    if (report.tickMicros) {
        const double micros = ticks * *report.tickMicros;
        seconds = micros / 1e6;
        text += " = " + Printed("%.1f", micros) + " \u00b5s = " + Printed("%.3f", micros / 1000.0) + " ms";
    }
    const SpanTeeth teeth = TeethBetween(report, left, right);
    text += "\n" + std::to_string(teeth.teeth) + (teeth.teeth == 1 ? " tooth" : " teeth") + " between";
    if (seconds && *seconds > 0.0) {
        text += ", " + Printed("%.2f", 1.0 / *seconds) + " Hz";
        if (report.wheel.Known() && teeth.slots > 0)
            text += ", " + Printed("%.0f", 60.0 * teeth.slots / report.wheel.Slots() / *seconds) + " rpm";
    }
    return text;
}

}  // namespace

std::string FormatCursorReadout(const TriggerReport* report, std::optional<double> first, std::optional<double> second)
{
    if (!first && !second)
        return {};
    if (!report || !(report->chartUnitsPerTick > 0.0)) {
        if (!first || !second)
            return {};
        return "\u0394x " + Printed("%.2f", std::abs(*second - *first)) + " units";
    }
    std::string text;
    if (first)
        text += "1: " + ToothName(*report, *first);
    if (second)
        text += std::string(first ? "   " : "") + "2: " + ToothName(*report, *second);
    if (first && second)
        text += "\n" + SpanLines(*report, std::min(*first, *second), std::max(*first, *second));
    return text;
}

}  // namespace dentora
