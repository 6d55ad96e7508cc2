// What dentora-cli's exit status tells a script. Documented in --help,
// docs/cli.md and the README; the numbers never change meaning.
#pragma once

#include "capture/capture_log.h"

namespace dentora {

enum class ExitStatus {
    kOk = 0,               // finished
    kUsage = 2,            // bad option, bad pattern, unknown command
    kCouldNotOpen = 3,     // the port could not be opened
    kNoAnswer = 4,         // the controller did not answer (or acknowledge in time)
    kOutOfSequence = 5,    // a bad record type byte or calibration
    kPortLost = 6,         // the device went away during the test
    kPatternMismatch = 7,  // the capture does not match --expect
    kBadFile = 8,          // a capture file could not be read, or a file asked for not written
    kInterrupted = 130,    // Ctrl+C (SIGINT), as shells report it
};

// The status a finished test run leaves, from how the test ended. A halt is
// only ever the tool's own doing here, so its cause is given by the caller.
ExitStatus ExitStatusOf(TestOutcome outcome, ExitStatus haltCause);

// A stable, lower-case name of the status for --json ("finished", "no-answer", ...).
const char* ExitStatusName(ExitStatus status);

// The table of statuses for --help.
extern const char kExitStatusHelp[];

}  // namespace dentora
