// Where the crank's edges should be if the wheel were perfect: the wheel's
// teeth laid out evenly over each revolution, aligned at every tooth 1, so
// that a missing, extra or late tooth stands out on the chart.
#pragma once

#include "analysis/trigger_analysis.h"

#include <vector>

namespace dentora {

struct ExpectedEdge {
    double chartX = 0.0;
    bool rising = false;
};

// From the analysis's wheel pattern (teeth present and missing) and its
// tooth-1 rises: each revolution from one tooth 1 to the next split into
// the pattern's slots, a tooth rising at the start of each present slot
// and falling after the capture's mean duty; the revolutions before the
// first and after the last tooth 1 as long as their neighbours. Nothing
// while the wheel is unknown or no tooth 1 was found.
std::vector<ExpectedEdge> ExpectedCrankEdgesFromPattern(const TriggerReport& report);

}  // namespace dentora
