// A serial line in memory for the test-run fuzzer, opened through the
// link's own OpenCommPort (installed with SetCommLineOpener): a controller
// that answers "n" with the next two bytes of the fuzz input and every other
// byte written with the next one, and while the tool waits with nothing to
// read, sends a few of them on its own. Answers run out at the input's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

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

// Makes OpenCommPort open a new line following script; its answers must
// outlive it.
void StartFuzzLine(const FuzzLineScript& script);
bool FuzzLineOpen();
bool FuzzLineAnswersUsedUp();
const std::vector<std::uint8_t>& FuzzLineWrites();
