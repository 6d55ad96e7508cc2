// Blocks the calling thread, as the classic Sleep does.
#pragma once

#include "platform/wintypes.h"

// Defined in a translation unit of its own, so that a harness that must not
// wait (a fuzzer) can link its own in place of it.
void Sleep(DWORD milliseconds);
