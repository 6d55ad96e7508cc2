// An open serial line as the link uses it: one byte in with a time-out,
// bytes out, and whether the line has failed for good. The link's entry
// points (OpenCommPort, ReadCommByte, ...) work through this, so that a line
// in memory can stand in for a serial port in tests, fuzzers and benchmarks.
#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace dentora {

class CommLine {
public:
    virtual ~CommLine() = default;

    // One byte within timeoutMs; false on a time-out or a failed line, with
    // the destination left as it was.
    virtual bool ReadByte(unsigned char* destination, int timeoutMs) = 0;
    // True when a byte has arrived and can be read without waiting.
    virtual bool ByteWaiting() = 0;
    // True when all count bytes were handed to the line.
    virtual bool Write(const unsigned char* bytes, int count) = 0;
    // True once the line has failed for good (device unplugged, other end
    // gone); FailureText says why.
    virtual bool Broken() const = 0;
    virtual QString FailureText() const = 0;
};

// Opens the device at path, or returns null and says why in *error.
using CommLineOpener = std::function<std::unique_ptr<CommLine>(const QString& path, QString* error)>;

// Makes OpenCommPort open lines through opener; an empty opener brings back
// the serial port. Ports already open are not touched.
void SetCommLineOpener(CommLineOpener opener);

}  // namespace dentora
