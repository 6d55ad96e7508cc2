#include "simulator/controller_protocol.h"

#include <stdexcept>
#include <string>

namespace dentora::sim {

namespace {

std::uint16_t countFor(const ControllerConfig& config) {
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
    : config_(config),
      timing_(resolveTiming(config.engine)),
      announcedCount_(countFor(config)),
      log_(timing_),
      random_(config.seed) {}

void ControllerProtocol::receive(std::uint8_t byte, Clock::time_point now) {
    advanceTo(now);
    switch (byte) {
    case kGoCommand:
        ++stats_.goCommands;
        startCapture(now);
        break;
    case kCountCommand:
        ++stats_.countCommands;
        answerCount();
        break;
    case kNextByteCommand:
        ++stats_.nextByteCommands;
        answerNextByte();
        break;
    default:
        ++stats_.ignoredBytes;
        break;
    }
}

void ControllerProtocol::advanceTo(Clock::time_point now) {
    if (acknowledgeDue_ && *acknowledgeDue_ <= now) {
        acknowledgeDue_.reset();
        output_.push_back(kAcknowledge);
    }
}

std::optional<ControllerProtocol::Clock::time_point> ControllerProtocol::nextEventTime() const {
    return acknowledgeDue_;
}

std::vector<std::uint8_t> ControllerProtocol::takeOutput() {
    std::vector<std::uint8_t> taken;
    taken.swap(output_);
    stats_.bytesQueued += taken.size();
    return taken;
}

void ControllerProtocol::startCapture(Clock::time_point now) {
    log_ = TachLog(timing_);
    logPosition_ = 0;
    currentRecordIndex_ = 0;
    // Each capture replays the same random bytes, so a failing run can be repeated.
    random_.seed(config_.seed);
    acknowledgeDue_.reset();
    const ControllerFaults& faults = config_.faults;
    if (faults.silent || vanished_) {
        return;
    }
    for (unsigned i = 0; i < faults.noiseBeforeAcknowledge; ++i) {
        std::uint8_t noise = randomByte();
        output_.push_back(noise == kAcknowledge ? static_cast<std::uint8_t>(noise + 1) : noise);
    }
    if (!faults.neverAcknowledge) {
        acknowledgeDue_ = now + config_.acknowledgeDelay;
    }
}

void ControllerProtocol::answerCount() {
    if (config_.faults.silent || config_.faults.ignoreCount || vanished_) {
        return;
    }
    if (config_.faults.randomAnswers) {
        output_.push_back(randomByte());
        output_.push_back(randomByte());
        return;
    }
    output_.push_back(static_cast<std::uint8_t>(announcedCount_ & 0xFF));
    output_.push_back(static_cast<std::uint8_t>(announcedCount_ >> 8));
}

void ControllerProtocol::answerNextByte() {
    const ControllerFaults& faults = config_.faults;
    if (faults.silent || vanished_) {
        return;
    }
    const std::size_t position = logPosition_++;
    if (faults.vanishAfterRecord && position >= 3 * (*faults.vanishAfterRecord + 1)) {
        vanished_ = true;
        acknowledgeDue_.reset();
        return;
    }
    const std::size_t announcedBytes = announcedCount_ / 3 * 3;
    if (faults.logEndsEarly && position >= announcedBytes) {
        return;
    }
    // The dropped byte is still taken from the log, so the next answer is the byte after it.
    const std::uint8_t answer = logByte(position);
    if (faults.dropAnswerAtByte && position == *faults.dropAnswerAtByte) {
        return;
    }
    output_.push_back(faults.randomAnswers ? randomByte() : answer);
    if (faults.duplicateAnswerAtByte == position) {
        output_.push_back(output_.back());
    }
}

std::uint8_t ControllerProtocol::logByte(std::size_t position) {
    const std::size_t recordIndex = position / 3;
    while (currentRecordIndex_ <= recordIndex) {
        currentRecord_ = log_.next();
        const std::size_t index = currentRecordIndex_++;
        if (config_.faults.zeroCalibration && index < 2) {
            currentRecord_.ticks = 0;
        }
        if (config_.faults.badTypeAtRecord == index) {
            currentRecord_.type = config_.faults.badTypeByte;
        }
        if (config_.faults.saturateAtRecord == index) {
            currentRecord_.ticks = 0xFFFF;
        }
    }
    return currentRecord_.bytes()[position % 3];
}

std::uint8_t ControllerProtocol::randomByte() {
    // The low byte of the engine's raw output, not a distribution, so the
    // sequence is the same with every standard library.
    return static_cast<std::uint8_t>(random_() & 0xFF);
}

}  // namespace dentora::sim
