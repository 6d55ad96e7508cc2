#include "simulator/controller_protocol.h"

#include <stdexcept>
#include <string>

namespace dentora::sim {

namespace {

std::uint16_t CountFor(const ControllerConfig& config)
{
    if (config.countOverride) {
        return *config.countOverride;
    }
    const unsigned long bytes = 3UL * config.records;
    if (bytes > 0xFFFF) {
        throw std::invalid_argument("a log of " + std::to_string(config.records) +
                                    " records does not fit the 16-bit byte count; at most 21845 records");
    }
    return static_cast<std::uint16_t>(bytes);
}

}  // namespace

ControllerProtocol::ControllerProtocol(const ControllerConfig& config)
    : m_config(config),
      m_timing(ResolveTiming(config.engine)),
      m_announcedCount(CountFor(config)),
      m_log(m_timing),
      m_random(config.seed)
{
}

void ControllerProtocol::Receive(std::uint8_t byte, Clock::time_point now)
{
    AdvanceTo(now);
    switch (byte) {
    case kGoCommand:
        ++m_stats.goCommands;
        StartCapture(now);
        break;
    case kCountCommand:
        ++m_stats.countCommands;
        AnswerCount();
        break;
    case kNextByteCommand:
        ++m_stats.nextByteCommands;
        AnswerNextByte();
        break;
    default: ++m_stats.ignoredBytes; break;
    }
}

void ControllerProtocol::AdvanceTo(Clock::time_point now)
{
    if (m_acknowledgeDue && *m_acknowledgeDue <= now) {
        m_acknowledgeDue.reset();
        m_output.push_back(kAcknowledge);
    }
}

std::optional<ControllerProtocol::Clock::time_point> ControllerProtocol::NextEventTime() const
{
    return m_acknowledgeDue;
}

std::vector<std::uint8_t> ControllerProtocol::TakeOutput()
{
    std::vector<std::uint8_t> taken;
    taken.swap(m_output);
    m_stats.bytesQueued += taken.size();
    return taken;
}

void ControllerProtocol::StartCapture(Clock::time_point now)
{
    m_log = TachLog(m_timing);
    m_logPosition = 0;
    m_currentRecordIndex = 0;
    // Each capture replays the same random bytes, so a failing run can be repeated.
    m_random.seed(m_config.seed);
    m_acknowledgeDue.reset();
    const ControllerFaults& faults = m_config.faults;
    if (faults.silent || m_vanished) {
        return;
    }
    for (unsigned i = 0; i < faults.noiseBeforeAcknowledge; ++i) {
        std::uint8_t noise = RandomByte();
        m_output.push_back(noise == kAcknowledge ? static_cast<std::uint8_t>(noise + 1) : noise);
    }
    if (!faults.neverAcknowledge) {
        m_acknowledgeDue = now + m_config.acknowledgeDelay;
    }
}

void ControllerProtocol::AnswerCount()
{
    if (m_config.faults.silent || m_config.faults.ignoreCount || m_vanished) {
        return;
    }
    if (m_config.faults.randomAnswers) {
        m_output.push_back(RandomByte());
        m_output.push_back(RandomByte());
        return;
    }
    m_output.push_back(static_cast<std::uint8_t>(m_announcedCount & 0xFF));
    m_output.push_back(static_cast<std::uint8_t>(m_announcedCount >> 8));
}

void ControllerProtocol::AnswerNextByte()
{
    const ControllerFaults& faults = m_config.faults;
    if (faults.silent || m_vanished) {
        return;
    }
    const std::size_t position = m_logPosition++;
    if (faults.vanishAfterRecord && position >= 3 * (*faults.vanishAfterRecord + 1)) {
        m_vanished = true;
        m_acknowledgeDue.reset();
        return;
    }
    const std::size_t announcedBytes = m_announcedCount / 3 * 3;
    if (faults.logEndsEarly && position >= announcedBytes) {
        return;
    }
    // The dropped byte is still taken from the log, so the next answer is the byte after it.
    const std::uint8_t answer = LogByte(position);
    if (faults.dropAnswerAtByte && position == *faults.dropAnswerAtByte) {
        return;
    }
    m_output.push_back(faults.randomAnswers ? RandomByte() : answer);
    if (faults.duplicateAnswerAtByte == position) {
        m_output.push_back(m_output.back());
    }
}

std::uint8_t ControllerProtocol::LogByte(std::size_t position)
{
    const std::size_t recordIndex = position / 3;
    while (m_currentRecordIndex <= recordIndex) {
        m_currentRecord = m_log.Next();
        const std::size_t index = m_currentRecordIndex++;
        if (m_config.faults.zeroCalibration && index < 2) {
            m_currentRecord.ticks = 0;
        }
        if (m_config.faults.badTypeAtRecord == index) {
            m_currentRecord.type = m_config.faults.badTypeByte;
        }
        if (m_config.faults.saturateAtRecord == index) {
            m_currentRecord.ticks = 0xFFFF;
        }
    }
    return m_currentRecord.Bytes()[position % 3];
}

std::uint8_t ControllerProtocol::RandomByte()
{
    // The low byte of the engine's raw output, not a distribution, so the
    // sequence is the same with every standard library.
    return static_cast<std::uint8_t>(m_random() & 0xFF);
}

}  // namespace dentora::sim
