// Fast fetch: the same "a" requests as one record per tick, sent in bursts
// of up to the chosen depth ahead of their answers, batch after batch for as
// long as the tick's time budget lasts. A batch's records reach the decoder
// only once every answer of the batch is in and no byte beyond them has
// come: a lost byte ends the test as a missing answer, a stray one as out of
// sequence, before anything shifted is drawn.
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "fetch_steps.h"
#include "serial/serial_link.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>

namespace dentora {

namespace {

using namespace fetch;

// The dialog repaints and answers the mouse between ticks: a tick starts no
// new batch after this long (a batch takes a round trip or so on top).
constexpr qint64 kTickBudgetMs = 50;

FetchOptions g_options;

// The pace of the fast fetch under way, for the time left.
struct FastPace {
    QElapsedTimer since;
    int startPos = 0;
    int lastPos = -1;
};
FastPace g_pace;

void NoteFastTick()
{
    // A new fetch, or back from one record per tick: measure afresh.
    if (!g_pace.since.isValid() || g_nRxPos <= g_pace.lastPos) {
        g_pace.since.start();
        g_pace.startPos = g_nRxPos;
    }
    g_pace.lastPos = g_nRxPos;
}

// Whole records, as many as the depth lets wait at once (at least one),
// never reaching past the announced log: a controller that falls silent
// there loses no record it sent.
int BatchRecords()
{
    int records = std::max(1, g_options.ahead / kRecordSize);
    const int record = g_nRxPos / 2;
    const int announcedRecords = g_nRxCount / kRecordSize;
    if (record < announcedRecords)
        records = std::min(records, announcedRecords - record);
    return std::min(records, RecordsLeft());
}

// With every request answered, any byte waiting is one nobody asked for.
bool NoStrayByte()
{
    if (CommByteWaiting()) {
        AbortOutOfSequence();
        return false;
    }
    return LinkStillThere();
}

// Sends the batch's requests in bursts of at most the depth, each once the
// one before is answered, and reads every answer. False after ending the test.
bool ExchangeBatch(unsigned char* answers, int requests)
{
    static const auto kRequests = [] {
        std::array<unsigned char, kMostAhead> bytes;
        bytes.fill(kNextByteCommand);
        return bytes;
    }();
    for (int received = 0; received < requests;) {
        if (!NoStrayByte())
            return false;
        const int burst = std::min(requests - received, g_options.ahead);
        WriteComm(kRequests.data(), burst);
        if (!LinkStillThere())
            return false;
        for (const int end = received + burst; received < end; ++received) {
            if (!ReadCommByte(&answers[received])) {
                EndWithoutAnswer();
                return false;
            }
        }
    }
    return NoStrayByte();
}

// One batch, from the first request to its records on the chart. False
// once the test has ended.
bool FetchBatch()
{
    const int records = BatchRecords();
    std::array<unsigned char, kMostAhead> answers;
    if (!ExchangeBatch(answers.data(), records * kRecordSize))
        return false;
    // The cells and the order are those of one record per tick.
    for (int record = 0; record < records; ++record) {
        const unsigned char* bytes = &answers[std::size_t(record * kRecordSize)];
        g_RxBuf[g_nRxPos] = bytes[0];
        if (!TakeRecordType())
            return false;
        g_RxBuf[g_nRxPos] = bytes[1];
        g_RxBuf[g_nRxPos + 1] = bytes[2];
        if (!TakeTickCount())
            return false;
    }
    return true;
}

}  // namespace

void fetch::FastFetch()
{
    NoteFastTick();
    QElapsedTimer tick;
    tick.start();
    do {
        if (FetchDone() || !FetchBatch())
            return;
    } while (tick.elapsed() < kTickBudgetMs);
}

void SetFetchOptions(const FetchOptions& options)
{
    g_options = options;
    g_options.ahead = std::clamp(options.ahead, 1, kMostAhead);
    if (!options.fast)
        g_pace = {};
}

FetchOptions CurrentFetchOptions()
{
    return g_options;
}

FetchProgress CurrentFetchProgress()
{
    FetchProgress progress;
    progress.fetching = g_nTestState == kFetch;
    progress.recordsFetched = g_nRxPos / 2;
    progress.recordsExpected = progress.recordsFetched + RecordsLeft();
    const int fetchedFast = (g_nRxPos - g_pace.startPos) / 2;
    if (g_options.fast && g_pace.since.isValid() && fetchedFast > 0) {
        const double secondsPerRecord = g_pace.since.elapsed() / 1000.0 / fetchedFast;
        progress.secondsLeft = int(RecordsLeft() * secondsPerRecord + 0.5);
    }
    return progress;
}

bool TestRunWantsTickSoon()
{
    return g_options.fast && g_nTestState == kFetch;
}

}  // namespace dentora
