// One wheel held against the capture's rising crank edges: each edge taken
// as a tooth of the wheel, a glitch, a tooth where the wheel has none, or
// not yet in sync; and how many whole revolutions the wheel explains.
#pragma once

#include "analysis/wheel_library.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dentora::analysis {

// A rising crank edge and the period that follows it.
struct CrankRise {
    double ticks = 0.0;
    bool trustedPeriod = true;  // no saturated count before the next rise
    double highTicks = 0.0;     // to the falling edge that follows; 0 when none does
};

enum class RiseRole : std::uint8_t {
    kUnsynced,    // no sync here: too few teeth since a stall, or none at all
    kTooth,       // a tooth of the wheel
    kGlitch,      // an edge inside one tooth's period: left out
    kExtraTooth,  // a tooth where the wheel has an empty position: left out, counted
    kStrayTooth,  // a pulse as long as a tooth's inside one of the wheel's periods: left out
};

struct RiseFit {
    RiseRole role = RiseRole::kUnsynced;
    int index = -1;               // kTooth: the wheel's tooth, 0 for tooth 1
    int lostAfter = 0;            // kTooth: teeth of the wheel that should have risen within its period
    bool misfit = false;          // kTooth: its period fits no place on the wheel
    std::int64_t revolution = 0;  // kTooth: counts each tooth 1 passed, across stalls
    double angle = 0.0;           // kTooth: crank degrees, continuous within one sync
    int sync = 0;                 // kTooth: which sync it belongs to, counted from 1
};

struct WheelFit {
    WheelDefinition wheel;
    std::vector<RiseFit> rises;  // one per CrankRise
    int revolutionsSeen = 0;     // whole revolutions between two teeth 1 of one sync
    int revolutionsFitting = 0;  // of those, the ones the wheel explains with at most one glitch
    int faults = 0;              // lost, extra and misfitting teeth
    int glitches = 0;
    bool camAgrees = false;  // the cam pulses fall as the wheel's do
    double Confidence() const { return revolutionsSeen > 0 ? double(revolutionsFitting) / revolutionsSeen : 0.0; }
};

// Walks the rises with the wheel at the phase that fits its first teeth
// best, starting over after every untrusted period and every stall.
WheelFit FitWheel(const WheelDefinition& wheel, const std::vector<CrankRise>& rises);

// Holds the cam's rising edges (ticks, with the high time where a falling
// edge followed) against the wheel's cam pulses; on an even wheel the cam
// alone tells where a revolution starts, so it also numbers the teeth.
struct CamRise {
    double ticks = 0.0;
    double highTicks = 0.0;  // 0 when unknown
};
void FitCam(WheelFit& fit, const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam);

// The wheels worth fitting besides the library: N-M wheels from the gaps the
// capture shows, and N+1 even wheels sized by the cam.
std::vector<WheelDefinition> GenericCandidates(const std::vector<CrankRise>& rises, const std::vector<CamRise>& cam);

}  // namespace dentora::analysis
