// Captures from other tools' files: logic-analyser VCD and CSV, time-and-level
// CSV, tuning software's composite and tooth logs, and Dentora's own CSV.
// Each format is found by its content; a file is read as a stream, keeping
// only its edges, and the crank's and cam's edges become records with 16-bit
// tick counts as the controller would have logged them.
#pragma once

#include "formats/capture_data.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dentora {

struct ImportFormatInfo {
    const char* name;         // e.g. "vcd", kept in the capture file
    const char* description;  // e.g. "value change dump (IEEE 1364)"
};

// Every format read, in the order their checks run.
const std::vector<ImportFormatInfo>& ImportFormats();

// The format the first bytes of a file say (a few KiB are enough), or null
// when they are none of them.
const char* DetectImportFormat(std::string_view head);

struct ImportError {
    int line = 0;  // 1-based; 0 when the fault is the file as a whole
    std::string message;
};

// One signal of a file: a wire of a VCD, a column of a CSV.
struct ImportSignal {
    std::string name;
    int column = 0;             // counted from 1, a time column included; 0 for a VCD wire
    bool levels = true;         // every value is 0 or 1 (other columns cannot be chosen)
    std::size_t edges = 0;      // level changes after its first value
    bool risesOnly = false;     // a tooth log's teeth: rising edges only
    int firstOtherLine = 0;     // for a column that is not 0/1: the line that showed it
    std::vector<double> times;  // seconds (or ticks, see ImportedWaveforms::timesInTicks)
    std::vector<bool> highs;    // the level after each edge
    bool startsHigh = false;
    bool valueSeen = false;
};

struct ImportedWaveforms {
    std::string format;  // a name of ImportFormats()
    std::vector<ImportSignal> traces;
    double startTime = 0.0;          // the file's first time: both clocks start there
    bool timesInTicks = false;       // Dentora's CSV written before its tick length was known
    std::vector<std::string> notes;  // what was skipped (wide vectors, x and z values)
};

struct ImportOptions {
    std::string crank;  // a signal's name, or a column's number from 1; empty: by name, else most edges
    std::string cam;    // the same for the cam
    bool invertCrank = false;
    bool invertCam = false;
    std::optional<std::uint64_t> tickNanoseconds;  // else the shortest of 1, 2, 4, ... µs that fits
};

// Reads a whole file. At most maxEdges edges are kept: more is an error,
// as is anything the format does not allow, each naming the line.
bool ReadWaveforms(std::istream& in, ImportedWaveforms* waveforms, ImportError* error,
                   std::size_t maxEdges = kMaxImportedRecords);

struct SignalChoice {
    int crank = -1;         // an index into ImportedWaveforms::signals
    int cam = -1;           // -1: no cam
    bool leftOpen = false;  // neither the options nor the file's names said which is which
};

bool ChooseSignals(const ImportedWaveforms& waveforms, const ImportOptions& options, SignalChoice* choice,
                   ImportError* error);

// The tick length an import takes when none is given: the shortest of 1, 2,
// 4, 8, ... µs at which every interval but an engine's stop fits 65535 ticks.
std::uint64_t ChooseTickNanoseconds(const ImportedWaveforms& waveforms, const SignalChoice& choice);

// The records: two crank calibration records made of the first tooth
// periods, then every edge of the crank and the cam in time order, each a
// count of whole ticks since its signal's previous edge, rounded on the
// absolute time so that nothing drifts; a count above 65535 is kept as
// 65535. Fills records, tickNanoseconds, fallingEdgesReal and source.
bool MakeImportedCapture(const ImportedWaveforms& waveforms, const SignalChoice& choice, const ImportOptions& options,
                         const std::string& fileName, CaptureData* capture, ImportError* error);

// Asked when the file leaves the crank and cam open; fills options->crank,
// ->cam (column numbers or names) and the inversions, or returns false to
// give up the import.
using AskSignals =
    std::function<bool(const ImportedWaveforms& waveforms, const SignalChoice& suggested, ImportOptions* options)>;

// All of it: read, choose (asking when open and ask is set), convert.
bool ImportWaveformFile(std::istream& in, const std::string& fileName, ImportOptions options, const AskSignals& ask,
                        CaptureData* capture, ImportError* error);

}  // namespace dentora
