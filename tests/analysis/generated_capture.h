// Captures as the controller would hand them out, from the simulator's
// engine model, and where the model put each edge.
#pragma once

#include "analysis/trigger_analysis.h"
#include "simulator/engine_model.h"

#include <cstdint>
#include <vector>

namespace dentora::testing {

namespace sim = dentora::sim;

// The first `count` records of the log, calibration included.
inline std::vector<TriggerRecord> GeneratedCapture(const sim::EngineConfig& config, std::size_t count)
{
    sim::TachLog log(sim::ResolveTiming(config));
    std::vector<TriggerRecord> records;
    for (std::size_t i = 0; i < count; ++i) {
        const sim::Record record = log.Next();
        records.push_back({record.type, record.ticks});
    }
    return records;
}

// The ticks of the model's rising edges of one signal, in order.
inline std::vector<std::uint64_t> RisingEdgeTicks(const sim::EngineConfig& config, sim::Channel channel,
                                                  std::size_t edges)
{
    sim::EdgeStream stream(sim::ResolveTiming(config));
    std::vector<std::uint64_t> ticks;
    for (std::size_t i = 0; i < edges; ++i) {
        const sim::Edge edge = stream.Next();
        if (edge.channel == channel && edge.rising)
            ticks.push_back(edge.tick);
    }
    return ticks;
}

// A wheel of the given shape at a steady 3000 rpm, the cam rising at camStart.
inline sim::EngineConfig Wheel(int teeth, int missing, double camStart = 60.0)
{
    sim::EngineConfig config;
    config.teeth = teeth;
    config.missingTeeth = missing;
    config.camStartDegrees = camStart;
    return config;
}

// The same wheel cranking: from 300 rpm, 30 % faster each revolution, up to
// 4000 rpm, on an 8 µs tick so that the slow start fits the 16-bit counts.
inline sim::EngineConfig Cranking(sim::EngineConfig config)
{
    config.rpm = 300;
    config.tickMicros = 8;
    config.accelerationPerRevolution = 0.3;
    config.topRpm = 4000;
    return config;
}

}  // namespace dentora::testing
