#include "exit_status.h"

namespace dentora {

ExitStatus ExitStatusOf(TestOutcome outcome, ExitStatus haltCause)
{
    switch (outcome) {
    case TestOutcome::kFinished: return ExitStatus::kOk;
    case TestOutcome::kOutOfSequence: return ExitStatus::kOutOfSequence;
    case TestOutcome::kNoAnswer: return ExitStatus::kNoAnswer;
    case TestOutcome::kPortLost: return ExitStatus::kPortLost;
    case TestOutcome::kCouldNotOpen: return ExitStatus::kCouldNotOpen;
    case TestOutcome::kHalted:
    case TestOutcome::kRunning: break;
    }
    return haltCause;
}

const char* ExitStatusName(ExitStatus status)
{
    switch (status) {
    case ExitStatus::kOk: return "ok";
    case ExitStatus::kUsage: return "usage";
    case ExitStatus::kCouldNotOpen: return "could-not-open";
    case ExitStatus::kNoAnswer: return "no-answer";
    case ExitStatus::kOutOfSequence: return "out-of-sequence";
    case ExitStatus::kPortLost: return "port-lost";
    case ExitStatus::kPatternMismatch: return "pattern-mismatch";
    case ExitStatus::kBadFile: return "bad-file";
    case ExitStatus::kInterrupted: return "interrupted";
    }
    return "unknown";
}

const char kExitStatusHelp[] =
    "Exit status:\n"
    "    0  finished (and the wheel matched, with --expect)\n"
    "    2  usage error: unknown command or option, bad value; nothing was opened\n"
    "    3  the port could not be opened (missing, busy, no permission)\n"
    "    4  the controller did not answer (no acknowledge within --timeout, or\n"
    "       silence in the middle of the count or of a record)\n"
    "    5  out of sequence: a bad record type byte, or a zero calibration\n"
    "    6  the port was lost during the test (device unplugged)\n"
    "    7  the capture does not match --expect\n"
    "    8  a file could not be read as a capture, or a file asked for cannot be\n"
    "       written (checked before the port is opened; a failed test keeps its status)\n"
    "  130  interrupted by Ctrl+C (SIGINT); the port was closed\n";

}  // namespace dentora
