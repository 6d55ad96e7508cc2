#include "simulator/command_line.h"

#include "simulator/wheel_shapes.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <sstream>

namespace dentora::sim {

namespace {

struct Flag {
    const char* name;
    const char* valueName;  // nullptr for a switch
    const char* help;
    std::function<void(SimulatorOptions&, const std::string& value)> apply;
};

unsigned long long ParseUnsigned(const std::string& flag, const std::string& text, unsigned long long max)
{
    const bool hex = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
        throw UsageError(flag + " needs a whole number, not '" + text + "'");
    }
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > max) {
        throw UsageError(flag + " must be at most " + std::to_string(max) + ", not " + text);
    }
    return value;
}

double ParseNumber(const std::string& flag, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
        throw UsageError(flag + " needs a number, not '" + text + "'");
    }
    return value;
}

int ParseInt(const std::string& flag, const std::string& text)
{
    return static_cast<int>(ParseUnsigned(flag, text, std::numeric_limits<int>::max()));
}

std::size_t ParseIndex(const std::string& flag, const std::string& text)
{
    return static_cast<std::size_t>(ParseUnsigned(flag, text, std::numeric_limits<std::size_t>::max()));
}

std::chrono::microseconds ParseLatency(const std::string& flag, const std::string& text)
{
    const double milliseconds = ParseNumber(flag, text);
    if (milliseconds < 0 || milliseconds > 10000) {
        throw UsageError(flag + " must be between 0 and 10000, not " + text);
    }
    return std::chrono::microseconds(static_cast<long long>(milliseconds * 1000.0 + 0.5));
}

const std::vector<Flag>& EngineFlags()
{
    static const std::vector<Flag> flags = {
        {"--rpm", "RPM", "engine speed (default 3000)",
         [](SimulatorOptions& o, const std::string& v) { o.controller.engine.rpm = ParseNumber("--rpm", v); }},
        {"--teeth", "N", "crank tooth positions per revolution (default 36)",
         [](SimulatorOptions& o, const std::string& v) { o.controller.engine.teeth = ParseInt("--teeth", v); }},
        {"--missing-teeth", "N",
         "tooth positions left empty at the end of each revolution, e.g. 1 for a 36-1 wheel (default 0)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.missingTeeth = ParseInt("--missing-teeth", v);
         }},
        {"--duty", "FRACTION", "part of a tooth period the crank signal is high (default 0.5)",
         [](SimulatorOptions& o, const std::string& v) { o.controller.engine.crankDuty = ParseNumber("--duty", v); }},
        {"--wheel", "NAME",
         "a real wheel instead of --teeth/--missing-teeth, with its own cam pulses where it has them:\n"
         "36-2-2, 36-2-2-2, subaru-ez30, 44-2-2, 66-2-2-2, 36-2-1, 36-2-1-1, gm-24x, gm-7x, honda-k,\n"
         "kawasaki-kx450f, harley, miata-na, miata-nb, mitsubishi-4g63, subaru-6-7, nissan-360; any N-M, N+1",
         [](SimulatorOptions& o, const std::string& v) {
             if (!WheelShapeNamed(v))
                 throw UsageError("--wheel: no wheel is called '" + v + "'");
             o.controller.engine.wheel = v;
         }},
        {"--compression", "SHARE",
         "speed swing of the compression strokes, e.g. 0.4 for +-40 % while cranking (default 0)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.realism.compression = ParseNumber("--compression", v);
         }},
        {"--jitter", "SHARE", "each tooth early or late by up to half this share of a tooth, at most 0.34 (default 0)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.realism.jitter = ParseNumber("--jitter", v);
         }},
        {"--noise-every", "N", "a noise pulse a twentieth of a tooth wide after every N-th tooth (default 0: none)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.realism.noiseEveryTeeth = ParseInt("--noise-every", v);
         }},
        {"--cam-start", "DEGREES",
         "crank degrees from tooth 1's rising edge to the cam pulse's, as the analysis measures (default 60)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.camStartDegrees = ParseNumber("--cam-start", v);
         }},
        {"--cam-width", "DEGREES", "cam pulse width in crank degrees (default 36, a tenth of a revolution)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.camWidthDegrees = ParseNumber("--cam-width", v);
         }},
        {"--tick-us", "MICROSECONDS", "length of one tick of the log's tick counts (default 4)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.tickMicros = ParseNumber("--tick-us", v);
         }},
        {"--accelerate", "FRACTION", "speed gained per revolution, e.g. 0.3 for a cranking start (default 0: steady)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.accelerationPerRevolution = ParseNumber("--accelerate", v);
         }},
        {"--top-rpm", "RPM", "speed at which --accelerate stops (default 6000)",
         [](SimulatorOptions& o, const std::string& v) { o.controller.engine.topRpm = ParseNumber("--top-rpm", v); }},
    };
    return flags;
}

const std::vector<Flag>& ExchangeFlags()
{
    static const std::vector<Flag> flags = {
        {"--records", "N", "records the count announces, calibration included; count = 3 * N (default 300)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.records = static_cast<unsigned>(ParseUnsigned("--records", v, 21845));
         }},
        {"--count", "BYTES", "announce this byte count instead, e.g. 0, 1, 2, 3 or 65534",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.countOverride = static_cast<std::uint16_t>(ParseUnsigned("--count", v, 0xFFFF));
         }},
        {"--ack-delay", "MS", "time from 'g' to the acknowledge 'd' (default 500)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.acknowledgeDelay = std::chrono::milliseconds(ParseUnsigned("--ack-delay", v, 3600000));
         }},
        {"--seed", "N", "seed of the random bytes of --noise-before-ack and --random-answers (default 1)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.seed = static_cast<std::uint32_t>(ParseUnsigned("--seed", v, 0xFFFFFFFF));
         }},
        {"--baud", "RATE",
         "model the line's speed: each byte takes ten bits' time on the wire, each way (default: no wire time)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.line.baud = static_cast<unsigned>(ParseUnsigned("--baud", v, 4000000));
         }},
        {"--latency-ms", "MS",
         "model a USB-serial adapter: answers reach the tool this long after the wire, e.g. 1 or 16 (default 0)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.line.latency = ParseLatency("--latency-ms", v);
         }},
        {"--link", "PATH", "also make PATH a symbolic link to the device, removed on exit",
         [](SimulatorOptions& o, const std::string& v) { o.linkPath = v; }},
    };
    return flags;
}

const std::vector<Flag>& FaultFlags()
{
    static const std::vector<Flag> flags = {
        {"--no-ack", nullptr, "never send the acknowledge 'd'",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.neverAcknowledge = true; }},
        {"--silent", nullptr, "answer nothing at all",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.silent = true; }},
        {"--noise-before-ack", "N", "send N random bytes, never 'd', at once after 'g', before the 'd'",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.noiseBeforeAcknowledge =
                 static_cast<unsigned>(ParseUnsigned("--noise-before-ack", v, 65535));
         }},
        {"--bad-type-at", "RECORD", "put a bad type byte into record RECORD (0 is the first calibration record)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.badTypeAtRecord = ParseIndex("--bad-type-at", v);
         }},
        {"--bad-type-byte", "BYTE", "the bad type byte, decimal or 0x hex (default 0x58, 'X')",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.badTypeByte = static_cast<std::uint8_t>(ParseUnsigned("--bad-type-byte", v, 0xFF));
         }},
        {"--ignore-count", nullptr, "acknowledge the capture, then never answer 'n'",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.ignoreCount = true; }},
        {"--drop-answer-at", "BYTE",
         "give no answer to the 'a' for log byte BYTE (0 is the first); later ones go on with the byte after it",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.dropAnswerAtByte = ParseIndex("--drop-answer-at", v);
         }},
        {"--duplicate-answer-at", "BYTE", "answer the 'a' for log byte BYTE twice; later ones go on in order",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.duplicateAnswerAtByte = ParseIndex("--duplicate-answer-at", v);
         }},
        {"--end-early", nullptr, "stay silent to 'a' once the announced records are sent",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.logEndsEarly = true; }},
        {"--oversized-count", nullptr,
         "announce 12300 bytes (4100 records), more than the tool's 8100-byte buffer holds, and keep answering",
         [](SimulatorOptions& o, const std::string&) { o.controller.countOverride = kOversizedCount; }},
        {"--zero-calibration", nullptr, "both calibration records carry tick count 0",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.zeroCalibration = true; }},
        {"--vanish-after", "RECORD", "answer records up to RECORD in full, then close the device at the next 'a'",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.vanishAfterRecord = ParseIndex("--vanish-after", v);
         }},
        {"--random-answers", nullptr, "answer the count and every 'a' with random bytes (see --seed)",
         [](SimulatorOptions& o, const std::string&) { o.controller.faults.randomAnswers = true; }},
    };
    return flags;
}

// What a trigger analysis must find in the log; the line itself stays clean.
const std::vector<Flag>& SignalFaultFlags()
{
    static const std::vector<Flag> flags = {
        {"--glitch-after-tooth", "N", "a short crank pulse halfway through the low time after tooth N",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.glitchAfterTooth = ParseIndex("--glitch-after-tooth", v);
         }},
        {"--missing-tooth", "N", "tooth N gives no edges, as a broken tooth",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.missingTooth = ParseIndex("--missing-tooth", v);
         }},
        {"--extra-tooth-in", "REVOLUTION",
         "a tooth in the first empty position of that revolution (needs --missing-teeth)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.extraToothInRevolution = ParseIndex("--extra-tooth-in", v);
         }},
        {"--lose-edge-at", "RECORD",
         "the edge of record RECORD (2 or later) is never logged; the next edge of its signal carries its ticks",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.lostEdgeAtRecord = ParseIndex("--lose-edge-at", v);
         }},
        {"--cam-jump-at", "PULSE", "cam pulse PULSE comes --cam-jump-degrees late",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.camJumpAtPulse = ParseIndex("--cam-jump-at", v);
         }},
        {"--cam-jump-degrees", "DEGREES",
         "how far that cam pulse jumps, in crank degrees; negative is early (default 30)",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.engine.faults.camJumpDegrees = ParseNumber("--cam-jump-degrees", v);
         }},
        {"--saturate-at", "RECORD", "record RECORD carries tick count 65535, as a counter that saturated",
         [](SimulatorOptions& o, const std::string& v) {
             o.controller.faults.saturateAtRecord = ParseIndex("--saturate-at", v);
         }},
    };
    return flags;
}

const Flag* FindFlag(const std::string& name)
{
    for (const auto* group : {&EngineFlags(), &ExchangeFlags(), &FaultFlags(), &SignalFaultFlags()}) {
        for (const Flag& flag : *group) {
            if (name == flag.name) {
                return &flag;
            }
        }
    }
    return nullptr;
}

constexpr std::size_t kHelpColumn = 30;
constexpr std::size_t kHelpWidth = 80;

void Describe(std::ostringstream& out, const char* heading, const std::vector<Flag>& flags)
{
    out << heading << ":\n";
    for (const Flag& flag : flags) {
        std::string line = std::string("  ") + flag.name + (flag.valueName ? std::string(" ") + flag.valueName : "");
        line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
        std::istringstream words(flag.help);
        std::string word;
        bool lineHasWord = false;
        while (words >> word) {
            if (lineHasWord && line.size() + 1 + word.size() > kHelpWidth) {
                out << line << "\n";
                line.assign(kHelpColumn, ' ');
                lineHasWord = false;
            }
            line += (lineHasWord ? " " : "") + word;
            lineHasWord = true;
        }
        out << line << "\n";
    }
    out << "\n";
}

}  // namespace

SimulatorOptions ParseCommandLine(const std::vector<std::string>& arguments)
{
    std::vector<options::OptionForm> forms;
    for (const auto* group : {&EngineFlags(), &ExchangeFlags(), &FaultFlags(), &SignalFaultFlags()}) {
        for (const Flag& flag : *group)
            forms.push_back({flag.name, flag.valueName ? flag.valueName : ""});
    }
    const options::ParsedArguments parsed = options::ParseArguments(forms, arguments);
    SimulatorOptions result;
    result.showHelp = parsed.help;
    for (const options::GivenOption& given : parsed.options)
        FindFlag(given.name)->apply(result, given.value);
    return result;
}

std::string UsageText()
{
    std::ostringstream out;
    out << "Usage: dentora-sim [OPTION]...\n"
           "\n"
           "Simulates an engine controller on a pseudo-terminal, so that Dentora can read a\n"
           "tach log without hardware. Prints the device path (e.g. /dev/pts/5) on a line of\n"
           "its own, serves until interrupted (Ctrl+C or SIGTERM), then exits 0. Bad options\n"
           "exit 2.\n"
           "\n"
           "The exchange (tool -> controller; the line is raw, any baud rate is accepted, and\n"
           "bytes take no time unless --baud or --latency-ms model the line):\n"
           "  'g'  start a capture; after the acknowledge delay the controller sends 'd' once\n"
           "  'n'  answer the log's byte count, two bytes, low byte first\n"
           "  'a'  answer the next byte of the log; other bytes are ignored\n"
           "A record is three bytes: type ('R'/'F' crank rises/falls, 'r'/'f' cam rises/falls)\n"
           "and a 16-bit tick count, low byte first, counting ticks since the previous edge of\n"
           "the same signal. The first two records ('R', 'F') calibrate the time axis: each\n"
           "carries one tooth period, which draws a crank half-tooth 10 chart units wide.\n"
           "Past the announced count the engine keeps running for as long as 'a' is asked.\n"
           "A new 'g' restarts the log from its first record.\n"
           "\n"
           "The engine: a crank wheel with evenly spaced tooth positions, some of which may be\n"
           "missing at the end of each revolution, and one cam pulse per two revolutions. A\n"
           "tooth period is low first, then high; the period is rounded to whole ticks, so the\n"
           "speed actually simulated may differ slightly from --rpm (it is printed on start).\n"
           "Every interval must fit in 16 bits: settings that would overflow are refused.\n"
           "Edges that fall on the same tick are logged crank first. With --accelerate the\n"
           "speed rises by that fraction each revolution, from --rpm up to --top-rpm.\n"
           "--wheel draws a real wheel instead; --compression, --jitter and --noise-every\n"
           "make a real start: the crank slowing at each compression, teeth early or late,\n"
           "and noise pulses between teeth.\n"
           "\n";
    Describe(out, "Engine", EngineFlags());
    Describe(out, "Exchange", ExchangeFlags());
    Describe(out, "Faults (record and byte positions count from 0 since the last 'g')", FaultFlags());
    Describe(out, "Trigger signal faults (teeth, revolutions, cam pulses count from 0)", SignalFaultFlags());
    out << "  -h, --help                  show this text\n"
           "\n"
           "Example:\n"
           "  dentora-sim --rpm 1200 --ack-delay 300 --missing-teeth 1 --link /tmp/dentora-sim\n"
           "then type the printed path (or /tmp/dentora-sim) into Dentora's port box and run\n"
           "the test.\n";
    return out.str();
}

}  // namespace dentora::sim
