// The .dentora capture file: a versioned, line-based text format that keeps
// a capture losslessly (docs/file-format.md describes every line).
#pragma once

#include "formats/capture_data.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace dentora {

inline constexpr int kCaptureFileVersion = 1;
// Far above the largest capture (about 40 KB): anything bigger is not one.
inline constexpr std::size_t kMaxCaptureFileBytes = 1024 * 1024;

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
