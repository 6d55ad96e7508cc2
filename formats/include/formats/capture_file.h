// The .dentora capture file: a versioned, line-based text format that keeps
// a capture losslessly (docs/file-format.md describes every line).
#pragma once

#include "formats/capture_data.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace dentora {

// The newest version written and read; version 1 is read too, and written
// for a capture that needs nothing of version 2.
inline constexpr int kCaptureFileVersion = 2;
// Above the largest imported capture (kMaxImportedRecords lines of at most
// eight bytes and a line break): anything bigger is not one.
inline constexpr std::size_t kMaxCaptureFileBytes = 80 * 1024 * 1024;

struct CaptureFileError {
    int line = 0;         // 1-based; 0 when the fault is the file as a whole
    std::string message;  // e.g. "unknown record type 'x'"
};

// The file's bytes for a finished capture (outcome not kRunning).
std::string WriteCaptureFile(const CaptureData& capture);

// Parses a whole file. On failure returns false, fills *error and leaves
// *capture untouched.
bool ReadCaptureFile(std::string_view bytes, CaptureData* capture, CaptureFileError* error);

// The words the file uses for outcomes; null for kRunning, which is never saved.
const char* OutcomeWord(TestOutcome outcome);

}  // namespace dentora
