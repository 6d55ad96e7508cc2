// Arbitrary sequences of chart operations and scroll-bar actions, with
// arbitrary floats (NaN, infinities, huge values) and occasional paints.
// Every scroll that moves the window must leave it inside the extent, and
// no scroll may take it out; every stored point must be finite.
#include "fuzz_support.h"
#include "platform/wnd_testing.h"

#include <QAbstractSlider>
#include <QScrollBar>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

enum class Operation {
    kAddLine,
    kSetLineVisible,
    kSetLinePenStyle,
    kSetLineWidth,
    kSetLineColor,
    kSetBackColor,
    kSetGrid,
    kAddPoint,
    kAppendPoint,
    kClearPoints,
    kScrollAction,
    kDrag,
    kPaint,
    kMaxValue = kPaint,
};

// Mostly ids that get defined, now and then any id at all.
UINT ConsumeLineId(FuzzedDataProvider& input)
{
    static const UINT kIds[] = {0, 1, 2, 3, 0xFFFFFFFFu};
    if (input.ConsumeIntegralInRange(0, 7) == 0)
        return input.ConsumeIntegral<UINT>();
    return input.PickValueInArray(kIds);
}

float ConsumeCoordinate(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        // Any bit pattern: NaNs, infinities, denormals, the float extremes.
        const auto bits = input.ConsumeIntegral<std::uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 1: return input.ConsumeFloatingPointInRange(-1e9f, 1e9f);
    case 2:
        return input.PickValueInArray({0.0f, 0.01f, 1000.0f, -1.0f, std::numeric_limits<float>::max(),
                                       std::numeric_limits<float>::lowest(), std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::quiet_NaN()});
    default:
        // Steps of a capture: a growing time axis.
        return float(input.ConsumeIntegralInRange(-100, 100000)) * 0.5f;
    }
}

// Pen widths a user could set; marker sizes follow from them.
int ConsumeWidth(FuzzedDataProvider& input)
{
    return input.ConsumeIntegralInRange(-4, 64);
}

// ClearPoints may leave the window outside the extent, and some scroll
// codes leave the window alone (a step left within a unit of 0, the jumps
// to either end, the end of a drag). Every code that moves the window must
// bring it inside; none may take it out.
void RequireScrollKeepsViewInside(const CChartWnd& chart, bool heldBefore, bool windowMoved)
{
    if (heldBefore || windowMoved)
        RequireViewInsideExtent(chart);
}

void TriggerScrollAction(QScrollBar& bar, FuzzedDataProvider& input, const CChartWnd& chart)
{
    static const QAbstractSlider::SliderAction kActions[] = {
        QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub, QAbstractSlider::SliderPageStepAdd,
        QAbstractSlider::SliderPageStepSub,   QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum,
        QAbstractSlider::SliderMove,
    };
    const auto action = input.PickValueInArray(kActions);
    const bool heldBefore = ViewInsideExtent(chart);
    bar.triggerAction(action);
    const bool windowMoved = action == QAbstractSlider::SliderSingleStepAdd ||
        action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub ||
        action == QAbstractSlider::SliderMove;
    RequireScrollKeepsViewInside(chart, heldBefore, windowMoved);
}

// A drag of the thumb: pressed, moved through a few positions, released.
void Drag(QScrollBar& bar, FuzzedDataProvider& input, const CChartWnd& chart)
{
    bar.setSliderDown(true);
    const int moves = input.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < moves; ++i) {
        const int position = input.ConsumeIntegralInRange(-10, 1010);
        // The bar reports a move only to a position in its range it is not at.
        const bool windowMoved = std::clamp(position, bar.minimum(), bar.maximum()) != bar.sliderPosition();
        const bool heldBefore = ViewInsideExtent(chart);
        bar.setSliderPosition(position);
        RequireScrollKeepsViewInside(chart, heldBefore, windowMoved);
    }
    const bool heldBefore = ViewInsideExtent(chart);
    bar.setSliderDown(false);
    RequireScrollKeepsViewInside(chart, heldBefore, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    auto chart = std::make_unique<CChartWnd>();
    const DWORD style = input.ConsumeBool() ? (WS_VISIBLE | CWS_NOTIFY) : WS_VISIBLE;
    // Small sizes keep paints cheap, and reach the client areas too low
    // for a grid row.
    const RECT rect{0, 0, input.ConsumeIntegralInRange(0, 240), input.ConsumeIntegralInRange(0, 100)};
    Require(chart->Create(style, rect, &FuzzHostWindow(), 1000), "the chart window was not created");
    QScrollBar& bar = *HorizontalScrollBar(*chart);

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeEnum<Operation>()) {
        case Operation::kAddLine: {
            const UINT id = ConsumeLineId(input);
            const auto color = input.ConsumeIntegral<COLORREF>();
            const auto styleWord = input.ConsumeIntegral<DWORD>();
            const int width = ConsumeWidth(input);
            chart->AddLine(id, color, styleWord, width, input.ConsumeBool(), input.ConsumeIntegral<int>());
            break;
        }
        case Operation::kSetLineVisible:
            chart->SetLineVisible(ConsumeLineId(input), input.ConsumeBool(), input.ConsumeBool());
            break;
        case Operation::kSetLinePenStyle:
            chart->SetLinePenStyle(ConsumeLineId(input), input.ConsumeIntegral<int>(), input.ConsumeBool());
            break;
        case Operation::kSetLineWidth:
            chart->SetLineWidth(ConsumeLineId(input), ConsumeWidth(input), input.ConsumeBool());
            break;
        case Operation::kSetLineColor:
            chart->SetLineColor(ConsumeLineId(input), input.ConsumeIntegral<COLORREF>());
            break;
        case Operation::kSetBackColor: chart->SetBackColor(input.ConsumeIntegral<COLORREF>()); break;
        case Operation::kSetGrid: chart->SetGrid(input.ConsumeBool()); break;
        case Operation::kAddPoint: {
            const UINT id = ConsumeLineId(input);
            const float x = ConsumeCoordinate(input);
            chart->AddPoint(id, x, ConsumeCoordinate(input), input.ConsumeBool());
            break;
        }
        case Operation::kAppendPoint:
            chart->AppendPoint(ConsumeLineId(input), ConsumeCoordinate(input), input.ConsumeBool());
            break;
        case Operation::kClearPoints: chart->ClearPoints(); break;
        case Operation::kScrollAction: TriggerScrollAction(bar, input, *chart); break;
        case Operation::kDrag: Drag(bar, input, *chart); break;
        case Operation::kPaint: PaintChart(*chart); break;
        }
    }
    RequireFinitePoints(*chart, {0, 1, 2, 3, 0xFFFFFFFFu});
    chart.reset();
    DeliverPostedEvents();
    return 0;
}
