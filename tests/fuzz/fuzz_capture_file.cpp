// The capture file reader on arbitrary bytes: it never crashes, and what it
// accepts is a capture that writes back to a file it reads the same, and that
// the VCD and CSV writers take.
#include "formats/capture_file.h"
#include "formats/waveform_export.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "Invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    dentora::CaptureData capture;
    dentora::CaptureFileError error;
    if (!dentora::ReadCaptureFile(bytes, &capture, &error)) {
        Require(!error.message.empty() && error.line >= 0, "a refusal says why");
        return 0;
    }
    Require(capture.records.size() <= dentora::kMaxCaptureRecords, "no more records than a test fetches");
    dentora::CaptureData again;
    Require(dentora::ReadCaptureFile(dentora::WriteCaptureFile(capture), &again, &error), "what is read writes back");
    Require(again.records == capture.records && again.port == capture.port && again.outcome == capture.outcome &&
                again.announcedBytes == capture.announcedBytes && again.startedAtUtc == capture.startedAtUtc,
            "a capture written back reads the same");
    Require(!dentora::WriteVcd(capture, 1, "fuzz").empty(), "a VCD is written");
    Require(!dentora::WriteCsv(capture, 1000000000).empty(), "a CSV is written");
    return 0;
}
