// How the test run fetches the log: one record per tick as the dialog always
// has, or fast, with requests sent ahead of their answers. The bytes on the
// wire are the same either way; only their pacing differs. Usable without
// widgets: a caller without a dialog steps TestRunTick itself.
#pragma once

namespace dentora {

// The depth: how many requests may wait for their answers at once.
constexpr int kDefaultAhead = 3;  // one record
constexpr int kMostAhead = 64;

struct FetchOptions {
    bool fast = false;
    int ahead = kDefaultAhead;  // 1 to kMostAhead; used when fast
};

// Takes effect at the next tick, also in the middle of a fetch. ahead is
// brought into 1 .. kMostAhead. Nothing is saved.
void SetFetchOptions(const FetchOptions& options);
FetchOptions CurrentFetchOptions();

struct FetchProgress {
    bool fetching = false;  // the test run is in its fetch
    int recordsFetched = 0;
    int recordsExpected = 0;  // for the announced count and the capture buffer
    int secondsLeft = -1;     // at the pace of the fast fetch so far; -1 not known yet
};

FetchProgress CurrentFetchProgress();

// True while a fast fetch has more to do: the caller should tick again as
// soon as it has handled its own events, not wait for the next timer tick.
bool TestRunWantsTickSoon();

}  // namespace dentora
