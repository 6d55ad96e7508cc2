// Turns the controller's tach records into edges on the crank and cam
// traces of the chart. The first two records of a log set the time scale;
// every later one moves its own channel's clock and draws an edge there.
#pragma once

#include "platform/wintypes.h"

// Chart lines the traces are drawn on.
constexpr UINT kCrankLine = 1;
constexpr UINT kCamLine = 2;
constexpr UINT kSpareLine = 3;  // defined on the chart, never fed

// Trace levels when high; low is 0.0. Set by the dialog at start-up.
extern float g_fCrankHigh;
extern float g_fCamHigh;

// Decoder state, per channel (1 crank, 2 cam); g_dAccum[0] sums the
// calibration counts.
extern int g_nChannel;
extern float g_fLevelNew[3];
extern float g_fLevelPrev[3];
extern double g_dAccum[3];
extern float g_fTime[3];
extern double g_dTimeScale;

void ResetDecoder();
// False for a type byte that is not one of 'R', 'F', 'r', 'f'.
bool DecodeRecordType(unsigned char type);
// position: the fetch position after the record's type byte (1, 3, 5, ...).
// False when the record cannot be placed on the time axis (a calibration
// that sums to zero); nothing is drawn then.
bool DecodeTickCount(unsigned int tickCount, int position);
