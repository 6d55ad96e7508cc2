#include "capture/replay.h"

#include "capture/decoder.h"
#include "chart/chart_wnd.h"

namespace {
constexpr float kSeedX = 0.01f;
}  // namespace

void StartTraces()
{
    ResetDecoder();
    g_chart.AddPoint(kCrankLine, kSeedX, 0.0f, TRUE);
    g_chart.AddPoint(kCamLine, kSeedX, 0.0f, TRUE);
}

void ReplayRecords(const std::vector<dentora::TriggerRecord>& records)
{
    g_chart.ClearPoints();
    g_chart.ResetView();
    StartTraces();
    // A million edges of an import would otherwise post two million messages.
    g_chart.HoldViewUpdates(TRUE);
    for (std::size_t index = 0; index < records.size(); ++index) {
        // The fetch position after a record's type byte: 1, 3, 5, ...
        const int position = int(2 * index + 1);
        if (!DecodeRecordType(records[index].type) || !DecodeTickCount(records[index].ticks, position))
            break;
    }
    g_chart.HoldViewUpdates(FALSE);
}
