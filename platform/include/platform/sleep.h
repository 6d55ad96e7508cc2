// Blocks the calling thread, as the classic Sleep does.
#pragma once

#include "platform/wintypes.h"

void Sleep(DWORD milliseconds);

// Makes Sleep call handler instead of blocking: a harness that must not wait
// (a fuzzer) advances a clock of its own there. Null brings back the wait.
using SleepHandler = void (*)(DWORD milliseconds);
void SetSleepHandler(SleepHandler handler);
