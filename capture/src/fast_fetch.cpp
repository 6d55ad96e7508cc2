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

// Whole records, as many as the depth lets wait at once (at least one).
int BatchRecords()
{
    return std::min(std::max(1, g_options.ahead / kRecordSize), RecordsLeft());
}

// With every request answered, any byte waiting is one nobody asked for.
bool NoStrayByte()
{
    if (CommByteWaiting()) {
        AbortOutOfSequence(QStringLiteral("a byte nobody asked for arrived at %1").arg(RecordInFetch()));
        return false;
    }
    return LinkStillThere();
}

// Hands the decoder the answers from `from` up to `to`, in the order and
// the cells of one record per tick: a type byte as soon as it is in (a bad
// one ends the test before more is asked), a tick count once both its bytes are.
bool TakeAnswers(const unsigned char* answers, int from, int to)
{
    for (int i = from; i < to; ++i) {
        switch (i % kRecordSize) {
        case 0:
            g_RxBuf[g_nRxPos] = answers[i];
            if (!TakeRecordType())
                return false;
            break;
        case 2:
            g_RxBuf[g_nRxPos] = answers[i - 1];
            g_RxBuf[g_nRxPos + 1] = answers[i];
            if (!TakeTickCount())
                return false;
            break;
        default: break;  // the low byte waits for the high one
        }
    }
    return true;
}

// One batch of whole records, its requests sent in bursts of at most the
// depth, each once the one before is answered. A burst's answers reach the
// decoder only when all are in and no byte beyond them waits. False once
// the test has ended.
bool FetchBatch()
{
    static const auto kRequests = [] {
        std::array<unsigned char, kMostAhead> bytes;
        bytes.fill(kNextByteCommand);
        return bytes;
    }();
    const int requests = BatchRecords() * kRecordSize;
    std::array<unsigned char, kMostAhead> answers;
    if (!NoStrayByte())
        return false;
    for (int received = 0; received < requests;) {
        const int burst = std::min(requests - received, g_options.ahead);
        WriteComm(kRequests.data(), burst);
        if (!LinkStillThere())
            return false;
        const int first = received;
        for (; received < first + burst; ++received) {
            if (!ReadCommByte(&answers[std::size_t(received)])) {
                EndWithoutAnswer(QStringLiteral("an answer for %1 did not arrive").arg(RecordInFetch()));
                return false;
            }
        }
        if (!NoStrayByte() || !TakeAnswers(answers.data(), first, received))
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
