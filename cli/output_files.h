// Writing a capture to the files the command line asks for.
#pragma once

#include "command_line.h"
#include "console.h"

#include "capture/capture_log.h"

#include <QString>

#include <vector>

namespace dentora {

struct WrittenFile {
    const char* kind;  // "capture", "vcd", "csv", "png"
    QString path;
    bool written;
};

// Whether every file asked for could be written, before the test; each
// that could not is one line on the console.
bool CheckOutputFiles(const OutputFiles& files, Console& console);

// Each file asked for, none written: a test that never started writes none.
std::vector<WrittenFile> UnwrittenFiles(const OutputFiles& files);

// Writes each file asked for, atomically; each failure is one line on the
// console. The PNG needs the application to be a widget application.
std::vector<WrittenFile> WriteOutputFiles(const CaptureLog& log, const OutputFiles& files, Console& console);

bool AllWritten(const std::vector<WrittenFile>& files);

}  // namespace dentora
