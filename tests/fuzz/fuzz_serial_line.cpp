#include "fuzz_serial_line.h"

#include "platform/sleep.h"
#include "serial/memory_comm_line.h"
#include "serial/serial_link.h"

#include <memory>

namespace {

struct FuzzController {
    FuzzLineScript script;
    std::size_t next = 0;
    std::size_t unsolicitedLeft = 0;
    bool written = false;  // the tool has written to the line
    FuzzWaits waited;

    void Answer(dentora::MemoryCommLine& line, std::size_t count)
    {
        for (; count > 0 && next < script.size; --count)
            line.Queue(script.answers[next++]);
    }
};

FuzzController& Controller()
{
    static FuzzController controller;
    return controller;
}

// Counts the tool's reads, to go away after as many as the script says.
class FuzzLine : public dentora::MemoryCommLine {
public:
    using MemoryCommLine::MemoryCommLine;

    bool ReadByte(unsigned char* destination, int timeoutMs) override
    {
        const std::optional<std::size_t>& vanishAfter = Controller().script.vanishAfterReads;
        if (vanishAfter && m_reads >= *vanishAfter)
            Break(QStringLiteral("the device went away"));
        const bool read = MemoryCommLine::ReadByte(destination, timeoutMs);
        m_reads += read ? 1 : 0;
        // A line that is still there makes the tool wait out the time-out.
        if (!read && !Broken())
            Controller().waited.onReadsMs += std::uint64_t(timeoutMs);
        return read;
    }

private:
    std::size_t m_reads = 0;
};

std::unique_ptr<dentora::CommLine> OpenFuzzLine(const QString&, QString*)
{
    FuzzController& controller = Controller();
    auto line = std::make_unique<FuzzLine>(
        [](unsigned char byte, dentora::MemoryCommLine& line) {
            Controller().written = true;
            Controller().Answer(line, byte == 'n' ? 2 : 1);
        },
        [](dentora::MemoryCommLine& line) {
            FuzzController& controller = Controller();
            if (!controller.written || controller.unsolicitedLeft == 0)
                return;
            --controller.unsolicitedLeft;
            controller.Answer(line, 1);
        });
    controller.unsolicitedLeft = controller.script.unsolicited;
    controller.Answer(*line, controller.script.queuedBeforePurge);
    return line;
}

}  // namespace

void StartFuzzLine(const FuzzLineScript& script)
{
    Controller() = FuzzController{};
    Controller().script = script;
    dentora::SetCommLineOpener(OpenFuzzLine);
    SetSleepHandler([](DWORD milliseconds) { Controller().waited.pausedMs += milliseconds; });
}

FuzzWaits FuzzLineWaits()
{
    return Controller().waited;
}

bool FuzzLineOpen()
{
    return g_hComm != nullptr;
}

bool FuzzLineAnswersUsedUp()
{
    return Controller().next >= Controller().script.size;
}
