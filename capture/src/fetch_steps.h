// The steps of fetching records that both paces share, on the test run's
// globals. Each step that ends the test leaves the state, the status line
// and the capture log as the test run always does.
#pragma once

namespace dentora::fetch {

constexpr unsigned char kNextByteCommand = 'a';
constexpr int kRecordSize = 3;

// Records still to fetch from the fetch position.
int RecordsLeft();
// True, after moving on to Finish, when the count or the buffer is used up.
bool FetchDone();
// Decodes the type byte at the fetch position and moves past it; false
// after aborting on a bad one.
bool TakeRecordType();
// Decodes the tick count in the two cells from the fetch position, keeps the
// record in the capture log and moves on; false after aborting.
bool TakeTickCount();

// False, after ending the test, when the line has gone away.
bool LinkStillThere();
// A read that brought nothing: the test ends, nothing is made up.
void EndWithoutAnswer();
void AbortOutOfSequence();

// As many records as the tick's time allows, requests sent ahead of their
// answers (fast_fetch.cpp).
void FastFetch();

}  // namespace dentora::fetch
