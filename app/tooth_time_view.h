// "Tooth Times": every crank tooth's period as a bar (gap teeth, glitches
// and other anomalies in colours of their own) with the instant engine
// speed as a line, linked to the chart both ways: a click on a bar scrolls
// the chart there, and the stretch the chart shows is marked on the plot.
// Zoomed with Ctrl and the wheel (the wheel alone scrolls), 0 or Home shows
// every tooth again.
#pragma once

#include "analysis/trigger_analysis.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QScrollBar;

namespace dentora {

class TriggerView;

enum class ToothKind { kNormal, kGap, kGlitch, kAnomaly };

// Each tooth's kind: a glitch or another anomaly inside its period wins
// over a gap.
std::vector<ToothKind> ClassifyTeeth(const TriggerReport& report);

class ToothTimePlot : public QWidget {
public:
    ToothTimePlot(TriggerView& view, QWidget* parent);

    // The report changed: every tooth in view again.
    void Reload();
    // The teeth shown: from first, count of them (fractions at the edges).
    void ShowTeeth(double first, double count);
    double FirstShown() const { return m_first; }
    double CountShown() const { return m_count; }
    std::size_t TeethCount() const { return m_kinds.size(); }
    // Where the bars stand, and the colour of each kind.
    QRect PlotArea() const;
    static QColor KindColor(ToothKind kind);
    // The tooth at a column of the plot area, or -1.
    int ToothAtColumn(int x) const;

    void SetOnShownChanged(std::function<void()> callback) { m_onShownChanged = std::move(callback); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Column {
        int firstTooth = 0;
        int lastTooth = 0;  // excluded
    };
    Column ColumnTeeth(int x) const;
    void DrawBars(QPainter& painter, const QRect& area, double top) const;
    void DrawSpeed(QPainter& painter, const QRect& area) const;
    void DrawChartView(QPainter& painter, const QRect& area) const;
    void DrawAxes(QPainter& painter, const QRect& area, double top) const;
    const TriggerReport* Report() const;

    QPointer<TriggerView> m_view;
    std::vector<ToothKind> m_kinds;
    double m_first = 0.0;
    double m_count = 0.0;
    std::function<void()> m_onShownChanged;
};

class ToothTimeWindow : public QDialog {
public:
    ToothTimeWindow(TriggerView& view, QWidget* parent);
    ToothTimePlot* plot() const { return m_plot; }

private:
    void SyncScrollBar();

    ToothTimePlot* m_plot = nullptr;
    QScrollBar* m_scrollBar = nullptr;
};

// Shows the dialog's one tooth-time window, beside it, making it on first use.
ToothTimeWindow* ShowToothTimes(TriggerView& view, QWidget* parent);

}  // namespace dentora
