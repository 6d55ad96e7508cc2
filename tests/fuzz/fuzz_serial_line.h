// An in-memory serial line in place of the real link: every read takes the
// controller's next answer from the fuzz input, or times out at once when
// the answers are used up; writes are kept. Linked instead of the real
// serial_link.cpp, it defines everything serial/serial_link.h declares, and
// a Sleep that does not wait.
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
    // The line goes away for good once this many answers have been read.
    std::optional<std::size_t> vanishAfterReads;
};

// Starts a new line, closed, following script; its answers must outlive it.
void StartFuzzLine(const FuzzLineScript& script);
bool FuzzLineOpen();
bool FuzzLineAnswersUsedUp();
const std::vector<std::uint8_t>& FuzzLineWrites();
