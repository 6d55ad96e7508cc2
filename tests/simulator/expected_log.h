// The first `count` bytes of the log the engine model makes for `config`,
// as an undisturbed controller would answer them.
#pragma once

#include "simulator/controller_protocol.h"

#include <vector>

namespace dentora::sim {

inline std::vector<std::uint8_t> ExpectedLogBytes(const ControllerConfig& config, std::size_t count)
{
    TachLog log(ResolveTiming(config.engine));
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
        for (std::uint8_t byte : log.Next().Bytes()) {
            bytes.push_back(byte);
        }
    }
    bytes.resize(count);
    return bytes;
}

}  // namespace dentora::sim
