// The trigger report as plain text, and a capture held against the wheel
// its user expects; the dialog and the command-line tool share both.
#pragma once

#include "analysis/trigger_analysis.h"

#include <optional>
#include <string>
#include <vector>

namespace dentora {

// The whole report: wheel, revolutions, cam, speed and every anomaly, one
// per line, with its time in ticks and chart units.
std::string FormatTriggerReport(const TriggerReport& report);

// The report without its anomalies: records, wheel, teeth, cam and speed.
std::string FormatTriggerSummary(const TriggerReport& report);

// One anomaly on one line: "12345 ticks (x 888.9)  glitch: <reason>".
std::string FormatAnomaly(const Anomaly& anomaly);

// What the hover tooltip says about one tooth, one fact per line: its
// number after the gap, its period in ticks (and µs and rpm when the tick
// length is known), its ratio to the previous tooth and its duty.
std::string FormatTooth(const TriggerReport& report, const CrankTooth& tooth);

// A wheel library name ("36-1", "gm-24x", any N-M or N+1), optionally with
// where the cam pulse must be: "36-1,cam-tooth=6,cam-angle=60,tolerance=2"
// (tolerance in crank degrees, 2 unless given).
struct WheelPattern {
    std::string wheel;
    int teeth = 0;  // teeth per revolution
    std::optional<int> camTooth;
    std::optional<double> camAngle;
    double angleTolerance = 2.0;
};

// Empty on a pattern that does not parse, with the reason in *error.
std::optional<WheelPattern> ParseWheelPattern(const std::string& text, std::string* error);

// "glitch,saturated-count": anomaly kinds by their names, words joined by
// '-' or ' '. Empty on a name that is no kind, with the reason in *error.
std::optional<std::vector<AnomalyKind>> ParseAnomalyKinds(const std::string& text, std::string* error);

struct PatternCheck {
    bool matches = false;
    std::vector<std::string> differences;  // one line each, empty when it matches
};

// The capture matches when the wheel is the one expected, every revolution
// agrees with it, the cam is where it was asked to be, and no anomaly of a
// kind not in `allowed` was found: each such anomaly is a difference.
PatternCheck CheckWheelPattern(const TriggerReport& report, const WheelPattern& expected,
                               const std::vector<AnomalyKind>& allowed = {});

}  // namespace dentora
