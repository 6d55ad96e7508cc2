// The steps of fetching records that both paces share, on the test run's
// globals. Each step that ends the test leaves the state, the status line
// and the capture log as the test run always does.
#pragma once

#include <QString>

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
// "record N": the record the fetch is at, counted from 1 as a user would.
QString RecordInFetch();
// A read that brought nothing: the test ends, nothing is made up. missing:
// what did not arrive, for the outcome's detail.
void EndWithoutAnswer(const QString& missing);
// why: what was out of sequence, for the outcome's detail.
void AbortOutOfSequence(const QString& why);

// As many records as the tick's time allows, requests sent ahead of their
// answers (fast_fetch.cpp).
void FastFetch();

}  // namespace dentora::fetch
