// Fitting one wheel to the rising crank edges. Every period is held against
// the wheel's spacing at that place times the local speed, taken as the
// median over three periods on each side (each divided by its own expected
// spacing), so the fit does not care how fast the engine turns or how much
// that speed swings from one compression to the next.
#include "wheel_fit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace dentora::analysis {
namespace {

// Periods on each side that set the local speed.
constexpr std::ptrdiff_t kScaleNeighbours = 3;
// A period fits a spacing within this share of the wheel's resolution (the
// least spacing, or the least difference between two spacings): just under
// half, so no period fits two places at once.
constexpr double kToleranceShare = 0.45;
// A period longer than this many times the wheel's longest spacing is a
// stall: the sync ends there and starts over after it.
constexpr double kStallFactor = 3.0;
// A pulse cut into a tooth's period is noise while its high time over that
// period stays under this share of the teeth's typical duty; longer, it is
// a tooth the wheel lacks.
constexpr double kGlitchHighShare = 0.25;
// Places a sync start is tried at before the walk moves on.
constexpr std::size_t kSyncTries = 8;
// A sync starts where this many periods in a row fit the wheel outright.
constexpr std::size_t kSyncRun = 4;
// At most this many edges that cut a tooth's period, of a capture without
// falling edges, still let a revolution fit: noise is the sensor's fault,
// not the wheel's, but without the duty it cannot be told from a tooth.
constexpr int kGlitchesPerFittingRevolution = 1;

double Resolution(const std::vector<double>& spacing)
{
    std::vector<double> distinct = spacing;
    std::sort(distinct.begin(), distinct.end());
    double least = distinct.front();
    for (std::size_t i = 1; i < distinct.size(); ++i) {
        const double step = distinct[i] - distinct[i - 1];
        if (step > 1e-6)
            least = std::min(least, step);
    }
    return least;
}

class Walk {
public:
    Walk(const WheelDefinition& wheel, const std::vector<CrankRise>& rises) : m_rises(rises)
    {
        m_fit.wheel = wheel;
        m_fit.rises.resize(rises.size());
        for (std::size_t k = 0; k < wheel.rises.size(); ++k)
            m_spacing.push_back(wheel.Spacing(k));
        m_teeth = int(m_spacing.size());
        m_tolerance = kToleranceShare * Resolution(m_spacing);
        m_longest = *std::max_element(m_spacing.begin(), m_spacing.end());
        m_pitch = *std::min_element(m_spacing.begin(), m_spacing.end());
        std::vector<double> duties;
        for (std::size_t i = 0; i + 1 < rises.size(); ++i) {
            if (rises[i].highTicks > 0.0 && rises[i].trustedPeriod && Period(i) > 0.0)
                duties.push_back(rises[i].highTicks / Period(i));
        }
        if (!duties.empty()) {
            std::nth_element(duties.begin(), duties.begin() + std::ptrdiff_t(duties.size() / 2), duties.end());
            m_typicalDuty = duties[duties.size() / 2];
        }
    }

    WheelFit Run()
    {
        const std::size_t periods = m_rises.empty() ? 0 : m_rises.size() - 1;
        for (std::size_t begin = 0; begin < periods;) {
            m_end = begin;
            while (m_end < periods && m_rises[m_end].trustedPeriod)
                ++m_end;
            const int before = m_fit.revolutionsSeen;
            const std::size_t stop = WalkSegment(begin);
            // A wheel that keeps losing sync must not shrink the revolutions it is judged on.
            const int due = int((stop - begin) / std::size_t(m_teeth)) - 2;
            m_fit.revolutionsSeen = std::max(m_fit.revolutionsSeen, before + due);
            begin = stop + 1;
        }
        return std::move(m_fit);
    }

private:
    double Period(std::size_t i) const { return m_rises[i + 1].ticks - m_rises[i].ticks; }
    int Wrap(int k) const { return ((k % m_teeth) + m_teeth) % m_teeth; }
    double Expected(int k) const { return m_spacing[std::size_t(Wrap(k))]; }
    bool Fits(double ratio, double expected) const { return std::abs(ratio - expected) <= m_tolerance; }

    // Ticks per crank degree around period i, taken as the wheel's tooth k.
    double Scale(std::size_t i, int k) const
    {
        double ratios[2 * kScaleNeighbours];
        std::size_t count = 0;
        for (std::ptrdiff_t d = -kScaleNeighbours; d <= kScaleNeighbours; ++d) {
            const std::ptrdiff_t j = std::ptrdiff_t(i) + d;
            if (d != 0 && j >= std::ptrdiff_t(m_begin) && j < std::ptrdiff_t(m_end))
                ratios[count++] = Period(std::size_t(j)) / Expected(k + int(d));
        }
        if (count == 0)
            return Period(i) / Expected(k);
        std::nth_element(ratios, ratios + count / 2, ratios + count);
        return ratios[count / 2];
    }

    enum class Decision { kFits, kCut, kLost, kStall, kMisfit };

    // What period i is, taken as the wheel's tooth k.
    Decision Decide(std::size_t i, int k, double scale) const
    {
        const double ratio = Period(i) / scale;
        // An edge that cuts this period leaves the next one too short for the wheel.
        const bool cut = i + 1 < m_end && Fits((Period(i) + Period(i + 1)) / scale, Expected(k)) &&
            (!Fits(ratio, Expected(k)) || !Fits(Period(i + 1) / scale, Expected(k + 1)));
        if (cut)
            return Decision::kCut;
        if (Fits(ratio, Expected(k)))
            return Decision::kFits;
        if (Fits(ratio, Expected(k) + Expected(k + 1)))
            return Decision::kLost;
        return ratio > kStallFactor * m_longest ? Decision::kStall : Decision::kMisfit;
    }

    // Whether the kSyncRun periods from `from` fit the wheel outright at `phase`.
    bool Opens(std::size_t from, int phase) const
    {
        for (std::size_t j = 0; j < kSyncRun; ++j) {
            const int k = phase + int(j);
            if (Decide(from + j, k, Scale(from + j, k)) != Decision::kFits)
                return false;
        }
        return true;
    }

    // Of the phases the first periods fit outright, the one whose walk over
    // the first two revolutions needs the fewest edges taken out, teeth lost
    // or periods that fit nowhere; -1 when no phase fits those periods.
    int BestPhase(std::size_t from) const
    {
        const std::size_t last = std::min(m_end, from + std::size_t(2 * m_teeth + 4));
        int best = -1;
        int bestFaults = 0;
        const int phases = m_fit.wheel.Uniform() ? 1 : m_teeth;
        for (int phase = 0; phase < phases; ++phase) {
            if (!Opens(from, phase))
                continue;
            int faults = 0;
            int k = phase;
            for (std::size_t i = from; i < last && (best < 0 || faults < bestFaults);) {
                const Decision decision = Decide(i, k, Scale(i, k));
                faults += decision == Decision::kFits ? 0 : 1;
                i += decision == Decision::kCut ? 2 : 1;
                k += decision == Decision::kLost ? 2 : 1;
            }
            if (best < 0 || faults < bestFaults) {
                best = phase;
                bestFaults = faults;
            }
        }
        return best;
    }

    // Finds where a sync can start at or after `from`: the first place whose
    // best phase explains the next periods outright. The periods before it
    // (a starter's first jerks) stay unsynced and out of the local speed.
    // Returns the start, or m_end when there is none.
    std::size_t StartSync(std::size_t from)
    {
        m_synced = false;
        const std::size_t lastTry = std::min(m_end, from + kSyncTries);
        for (std::size_t start = from; start < lastTry && m_end - start >= std::size_t(m_teeth) + 2; ++start) {
            m_begin = start;
            const int phase = BestPhase(start);
            if (phase < 0)
                continue;
            m_k = phase;
            m_revolution += 2;
            ++m_sync;
            m_synced = true;
            m_cycleOpen = m_k == 0;
            ResetCycle();
            return start;
        }
        // Nothing opens here: try again half a revolution on, so that a
        // wheel that fits nowhere costs little.
        return std::min(m_end, lastTry + std::size_t(m_teeth / 2));
    }

    void ResetCycle()
    {
        m_clean = true;
        m_cycleGlitches = 0;
        m_cycleMisfits = 0;
    }

    void Step()
    {
        if (++m_k < m_teeth)
            return;
        m_k = 0;
        ++m_revolution;
        if (m_cycleOpen) {
            ++m_fit.revolutionsSeen;
            if (m_clean && m_cycleGlitches <= kGlitchesPerFittingRevolution)
                ++m_fit.revolutionsFitting;
        }
        m_cycleOpen = true;
        ResetCycle();
    }

    void Accept(std::size_t i, int lost, bool misfit)
    {
        const auto& shape = m_fit.wheel.rises;
        const double angle = double(m_revolution) * 360.0 + shape[std::size_t(m_k)];
        m_fit.rises[i] = {RiseRole::kTooth, m_k, lost, misfit, m_revolution, angle, m_sync};
        if (lost > 0 || misfit) {
            m_clean = false;
            ++m_fit.faults;
        }
        for (int step = 0; step <= lost; ++step)
            Step();
    }

    // The edge ending period i cuts one of the wheel's periods in two: a
    // noise pulse when it stays high only briefly, a tooth in the wheel's gap
    // or a stray tooth when it stays high as long as a tooth.
    void Drop(std::size_t i, double scale)
    {
        const double high = m_rises[i + 1].highTicks;
        const bool dutyKnown = high > 0.0 && m_typicalDuty > 0.0;
        RiseRole& role = m_fit.rises[i + 1].role;
        const double duty = high / (Period(i) + Period(i + 1));
        if (dutyKnown && duty < kGlitchHighShare * m_typicalDuty) {
            role = RiseRole::kGlitch;
            ++m_fit.glitches;
            return;
        }
        const double before = Period(i) / scale;
        const double positions = std::round(before / m_pitch);
        const bool inGap =
            Expected(m_k) >= 1.5 * m_pitch && positions >= 1.0 && std::abs(before - positions * m_pitch) <= m_tolerance;
        if (!inGap && !dutyKnown) {
            // Without the duty a glitch cannot be told from a tooth: a
            // revolution may hold one.
            role = RiseRole::kGlitch;
            ++m_fit.glitches;
            ++m_cycleGlitches;
            return;
        }
        role = inGap ? RiseRole::kExtraTooth : RiseRole::kStrayTooth;
        m_clean = false;
        ++m_fit.faults;
    }

    // Walks from `begin` to the end of the trusted run or a stall; returns
    // the period where it stopped.
    std::size_t WalkSegment(std::size_t begin)
    {
        m_begin = begin;
        if (m_end - begin < std::size_t(m_teeth) + 2)
            return m_end;
        for (std::size_t i = StartSync(begin); i < m_end;) {
            if (!m_synced) {
                i = StartSync(i);
                continue;
            }
            const double scale = Scale(i, m_k);
            switch (Decide(i, m_k, scale)) {
            case Decision::kFits: Accept(i++, 0, false); break;
            case Decision::kCut:
                Drop(i, scale);
                Accept(i, 0, false);
                m_fit.rises[i + 1].revolution = m_revolution;
                i += 2;
                break;
            case Decision::kLost: Accept(i++, 1, false); break;
            case Decision::kStall: m_cycleOpen = false; return i;
            case Decision::kMisfit:
                Accept(i++, 0, true);
                if (++m_cycleMisfits > std::max(2, m_teeth / 4) && i < m_end) {
                    m_fit.revolutionsSeen += m_cycleOpen ? 1 : 0;
                    i = StartSync(i);
                }
                break;
            }
        }
        return m_end;
    }

    const std::vector<CrankRise>& m_rises;
    WheelFit m_fit;
    std::vector<double> m_spacing;
    int m_teeth = 0;
    double m_tolerance = 0.0;
    double m_longest = 0.0;
    double m_pitch = 0.0;
    double m_typicalDuty = 0.0;  // the teeth's median high time over period; 0 without falling edges
    bool m_synced = false;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    int m_k = 0;
    std::int64_t m_revolution = -2;
    int m_sync = 0;
    bool m_cycleOpen = false;
    bool m_clean = true;
    int m_cycleGlitches = 0;
    int m_cycleMisfits = 0;
};

}  // namespace

WheelFit FitWheel(const WheelDefinition& wheel, const std::vector<CrankRise>& rises)
{
    return Walk(wheel, rises).Run();
}

}  // namespace dentora::analysis
