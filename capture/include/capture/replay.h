// Drawing a log on the chart: the start every log shares with the test run,
// and a whole log at once, through the same decoder calls the fetch makes.
#pragma once

#include "analysis/trigger_record.h"

#include <vector>

// Resets the decoder and seeds both traces at level 0, as a log begins.
void StartTraces();

// Clears the chart's points and draws records as a test that fetched them
// would have, stopping where that test would have aborted.
void ReplayRecords(const std::vector<dentora::TriggerRecord>& records);
