// The capture to and from files: the .dentora capture file, the VCD and CSV
// exports, and the picture of the chart. Every write is atomic and leaves an
// existing file as it was when it fails; every failure is one message that
// names the file. No dialog: the dialog and the command-line tool share these.
#pragma once

#include "capture/capture_log.h"
#include "formats/capture_data.h"
#include "formats/waveform_import.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace dentora {

CaptureData ToCaptureData(const CaptureLog& log);

// How a file of another tool becomes a capture: the options of the command
// line, and who to ask when the file leaves the crank and cam open (nobody:
// the signal with more edges is the crank).
struct ImportRequest {
    ImportOptions options;
    AskSignals ask;
};

// Reads a capture file, or imports another tool's file (docs/file-format.md
// lists them), into *log; on failure *log is untouched and *error names the
// file and the line at fault.
bool LoadCaptureFile(const QString& path, CaptureLog* log, QString* error, const ImportRequest& import = {});

// Reads a file as LoadCaptureFile does, makes it the current capture and
// draws it on the chart. Refused while a test runs; a failure leaves the
// chart as it was.
bool OpenCaptureFile(const QString& path, QString* error, const ImportRequest& import = {});

// True for a capture whose test has ended (or that was opened); otherwise
// *reason says why there is nothing whole to write yet.
bool IsWholeCapture(const CaptureLog& log, QString* reason);

// Each refused for a capture that is not whole.
bool SaveCaptureFile(const QString& path, const CaptureLog& log, QString* error);
bool ExportVcdFile(const QString& path, const CaptureLog& log, QString* error);
bool ExportCsvFile(const QString& path, const CaptureLog& log, QString* error);
// A PNG of the chart window as it is on screen.
bool SaveChartImage(const QString& path, QString* error);

// Whether a write to path could start (its folder exists and takes a new
// file, an existing file may be replaced), before there is anything to
// write; path itself is not touched.
bool CheckWritable(const QString& path, QString* error);

// Writes bytes to a temporary file beside path and renames it over path
// once every byte is written and flushed.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// The length of one controller tick that the exports put on their time
// axis, 1 ns to 1 s; 1 us until set. Until it is set (by the user, or by a
// capture file that keeps it) the exports count in ticks and say so, and a
// saved capture keeps it unknown.
std::uint64_t ExportTickNanoseconds();
std::optional<std::uint64_t> KnownTickNanoseconds();
bool SetExportTickNanoseconds(std::uint64_t nanoseconds);
void ForgetTickNanoseconds();

}  // namespace dentora
