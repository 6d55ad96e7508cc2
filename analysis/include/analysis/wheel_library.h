// The trigger wheels the analysis knows, as data: where each crank tooth
// rises (and falls, where the wheel fixes it) over one revolution, the cam
// pulses that belong to the pattern over 720°, and where the geometry comes
// from. docs/analysis.md lists them with their sources.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dentora {

// A cam pulse in crank degrees after tooth 1's rising edge, 0 to 720.
struct CamPulseShape {
    double rise = 0.0;
    std::optional<double> fall;  // where the pattern fixes the pulse's width
};

struct WheelDefinition {
    std::string name;                // "36-1", "gm-24x": the one name the report, --json and --expect use
    std::vector<double> rises;       // crank degrees after tooth 1's rising edge: 0 first, ascending, below 360
    std::vector<double> falls;       // one per rise, or empty where the wheel leaves the duty open
    std::vector<CamPulseShape> cam;  // empty: the crank alone carries the pattern
    int positions = 0;               // tooth positions of a slotted wheel (36 of 36-1), 0 for other shapes
    std::string source;              // where the geometry comes from

    // The crank degrees from tooth k's rising edge to the next tooth's.
    double Spacing(std::size_t k) const { return (k + 1 < rises.size() ? rises[k + 1] : 360.0) - rises[k]; }
    // Every tooth equally spaced: the crank alone cannot tell where a revolution starts.
    bool Uniform() const;
};

// The named wheels, in the order the report prefers them when two fit alike.
const std::vector<WheelDefinition>& WheelLibrary();

// A library wheel by name, or one of the families any size of which exists:
// "N-M" (N positions, the last M empty) and "N+1" (N even teeth and one cam
// pulse per 720°). Empty when the name is neither.
std::optional<WheelDefinition> WheelNamed(const std::string& name);

// The slotted wheel of `positions` positions whose runs alternate present
// teeth and missing positions: {13, 2, 16, 2, 1, 2} is 13 teeth, 2 missing,
// 16 teeth, ... Tooth 1 is the first of the first run.
WheelDefinition SlottedWheel(std::string name, const std::vector<int>& runs, std::string source);

}  // namespace dentora
