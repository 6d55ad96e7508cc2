// What the chart's two cursors measure on a capture: the time between them
// in ticks (and µs and ms with the tick length), the teeth between them,
// the frequency and engine speed over that span, and the tooth each stands
// on, numbered from the gap.
#pragma once

#include "analysis/trigger_analysis.h"

#include <optional>
#include <string>

namespace dentora {

// Lines for the chart's readout; empty without a cursor. Without a report
// (a capture still arriving) the difference is in chart units only.
std::string FormatCursorReadout(const TriggerReport* report, std::optional<double> first, std::optional<double> second);

}  // namespace dentora
