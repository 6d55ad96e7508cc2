#include "fuzz_serial_line.h"

#include "platform/sleep.h"
#include "serial/serial_link.h"

#include <algorithm>

int g_nComPort = 0;
QString g_strComDevice;
// The stand-in has no port object; the test run never looks at it.
QSerialPort* g_hComm = nullptr;

namespace {

struct FuzzLine {
    FuzzLineScript script;
    std::size_t next = 0;
    std::size_t reads = 0;
    bool open = false;
    bool lost = false;
    std::vector<std::uint8_t> writes;
};

FuzzLine& Line()
{
    static FuzzLine line;
    return line;
}

}  // namespace

void StartFuzzLine(const FuzzLineScript& script)
{
    Line() = FuzzLine{};
    Line().script = script;
}

bool FuzzLineOpen() { return Line().open; }

bool FuzzLineAnswersUsedUp() { return Line().next >= Line().script.size; }

const std::vector<std::uint8_t>& FuzzLineWrites() { return Line().writes; }

void SelectCommPort(int portSelection, const QString& typedDevice)
{
    g_nComPort = portSelection + 1;
    g_strComDevice = typedDevice;
}

std::array<std::optional<CommDevice>, kPortListSize> PortListDevices() { return {}; }

std::vector<CommDevice> SortCommDevices(std::vector<CommDevice> devices) { return devices; }

bool OpenCommPort()
{
    FuzzLine& line = Line();
    line.open = true;
    line.lost = false;
    return true;
}

void CloseCommPort()
{
    Line().open = false;
    Line().lost = false;
}

bool ReadCommByte(unsigned char* destination)
{
    FuzzLine& line = Line();
    if (!line.open || line.lost || FuzzLineAnswersUsedUp())
        return false;
    if (line.script.vanishAfterReads && line.reads >= *line.script.vanishAfterReads) {
        line.lost = true;
        return false;
    }
    ++line.reads;
    *destination = line.script.answers[line.next++];
    return true;
}

bool WriteComm(const unsigned char* bytes, int count)
{
    FuzzLine& line = Line();
    if (!line.open || line.lost)
        return false;
    line.writes.insert(line.writes.end(), bytes, bytes + count);
    return true;
}

void DrainCommInput()
{
    FuzzLine& line = Line();
    if (!line.open || line.lost)
        return;
    line.next = std::min(line.script.size, line.next + line.script.queuedBeforePurge);
}

bool CommLinkLost() { return Line().open && Line().lost; }

QString LastCommError() { return Line().lost ? QStringLiteral("the device went away") : QString(); }

QString OpenCommDevice() { return Line().open ? QStringLiteral("fuzz-line") : QString(); }

// The test run pauses after an out-of-sequence record so that the user can
// read why it stopped; the fuzzer has no reader and must not wait.
void Sleep(DWORD) {}
