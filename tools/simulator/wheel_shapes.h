// The simulated engine's own descriptions of real trigger wheels: where each
// tooth rises and falls, and the cam pulses that come with the wheel. They
// are written independently of the analysis's wheel library, from the same
// public sources, so that a slip in either shows as a disagreement.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dentora::sim {

// Crank degrees from where the description starts (not necessarily the
// wheel's tooth 1): a tooth within one revolution, a cam pulse within 720.
struct ShapeEdgePair {
    double rise = 0.0;
    double fall = 0.0;  // after rise, within the same revolution or cycle
};

struct WheelShape {
    std::string name;
    std::vector<ShapeEdgePair> teeth;  // by rise
    std::vector<ShapeEdgePair> cam;    // by rise; empty: the configured single cam pulse
};

// A wheel by name: the named real wheels, "N-M" (N positions, the last M
// empty) and "N+1" (N even teeth, the configured cam pulse). Empty for none.
std::optional<WheelShape> WheelShapeNamed(const std::string& name);

// The named real wheels, for help texts and tests.
const std::vector<std::string>& WheelShapeNames();

}  // namespace dentora::sim
