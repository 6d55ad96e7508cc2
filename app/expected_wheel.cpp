#include "expected_wheel.h"

#include <algorithm>
#include <cmath>

namespace dentora {
namespace {

double MeanDuty(const std::vector<CrankTooth>& teeth)
{
    double sum = 0.0;
    int count = 0;
    for (const CrankTooth& tooth : teeth) {
        if (tooth.duty && tooth.span == 1) {
            sum += *tooth.duty;
            ++count;
        }
    }
    return count > 0 ? sum / count : 0.5;
}

void AddRevolution(std::vector<ExpectedEdge>& edges, const WheelSummary& wheel, double start, double length,
                   double duty)
{
    const double slot = length / wheel.Slots();
    for (int tooth = 0; tooth < wheel.teethPresent; ++tooth) {
        const double rise = start + tooth * slot;
        edges.push_back({rise, true});
        edges.push_back({rise + duty * slot, false});
    }
}

}  // namespace

std::vector<ExpectedEdge> ExpectedCrankEdgesFromPattern(const TriggerReport& report)
{
    std::vector<double> firstTeeth;
    for (const CrankTooth& tooth : report.teeth) {
        if (tooth.number == 1)
            firstTeeth.push_back(tooth.rise.chartX);
    }
    if (!report.wheel.Known() || firstTeeth.empty())
        return {};
    const double duty = MeanDuty(report.teeth);
    const double captureStart = report.teeth.front().rise.chartX;
    const double captureEnd = report.teeth.back().nextRise.chartX;
    // One tooth 1 alone: its revolution as long as its teeth's periods say.
    double typicalLength = captureEnd - captureStart;
    if (firstTeeth.size() >= 2)
        typicalLength = firstTeeth[1] - firstTeeth[0];

    std::vector<ExpectedEdge> edges;
    const int revolutionsBefore = int(std::ceil((firstTeeth.front() - captureStart) / typicalLength));
    for (int k = revolutionsBefore; k > 0; --k)
        AddRevolution(edges, report.wheel, firstTeeth.front() - k * typicalLength, typicalLength, duty);
    for (std::size_t i = 0; i < firstTeeth.size(); ++i) {
        const bool last = i + 1 == firstTeeth.size();
        const double length =
            last ? (i > 0 ? firstTeeth[i] - firstTeeth[i - 1] : typicalLength) : firstTeeth[i + 1] - firstTeeth[i];
        AddRevolution(edges, report.wheel, firstTeeth[i], length, duty);
        for (double start = firstTeeth[i] + length; last && start < captureEnd; start += length)
            AddRevolution(edges, report.wheel, start, length, duty);
    }
    edges.erase(std::remove_if(
                    edges.begin(), edges.end(),
                    [&](const ExpectedEdge& edge) { return edge.chartX < captureStart || edge.chartX > captureEnd; }),
                edges.end());
    return edges;
}

}  // namespace dentora
