// A serial line in memory for the test-run fuzzer, opened through the
// link's own OpenCommPort (installed with SetCommLineOpener): a controller
// that answers "n" with the next two bytes of the fuzz input and every other
// byte written with the next one, and while the tool waits with nothing to
// read, sends a few of them on its own. Answers run out at the input's end.
// Nothing really waits: a read that times out and the tool's Sleep move a
// clock of the fuzzer's on instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct FuzzLineScript {
    const std::uint8_t* answers = nullptr;
    std::size_t size = 0;
    // Bytes already waiting when the port opens, for the purge to discard.
    std::size_t queuedBeforePurge = 0;
    // Answers sent unasked while the tool waits, once it has written.
    std::size_t unsolicited = 0;
    // The line goes away for good once this many answers have been read.
    std::optional<std::size_t> vanishAfterReads;
};

// The time the tool has waited since the line was started, in milliseconds.
struct FuzzWaits {
    std::uint64_t onReadsMs = 0;  // reads that timed out
    std::uint64_t pausedMs = 0;   // Sleep
};

// Makes OpenCommPort open a new line following script, and Sleep move the
// clock on; its answers must outlive it.
void StartFuzzLine(const FuzzLineScript& script);
FuzzWaits FuzzLineWaits();
bool FuzzLineOpen();
bool FuzzLineAnswersUsedUp();
