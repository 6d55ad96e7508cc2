// A chart window of an exact client size on a host widget of its own,
// direct access to the model's members for setting up a picture, and the
// pixels of its paints.
#pragma once

#include "chart/chart_testing.h"
#include "chart/chart_wnd.h"
#include "fresh_state.h"
#include "platform/wnd_testing.h"

#include <QImage>
#include <QScrollBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using Inspect = ChartWndInspector;

class ChartFixture : public ::testing::Test {
protected:
    void SetUp() override { ResetProcessState(); }

    void TearDown() override
    {
        ResetProcessState();  // the chart's window goes before its host
        m_host.reset();
    }

    // The chart's window with a client area of exactly width x height.
    void CreateChart(int width, int height)
    {
        m_host = std::make_unique<QWidget>();
        m_hostWnd.Attach(m_host.get(), nullptr, 0);
        const int barHeight = QScrollBar(Qt::Horizontal).sizeHint().height();
        ASSERT_TRUE(g_chart.Create(WS_VISIBLE, RECT{0, 0, width, height + barHeight}, &m_hostWnd, 1000));
        m_host->resize(width, height + barHeight);
        m_host->show();
        RECT client;
        g_chart.GetClientRect(&client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }

private:
    std::unique_ptr<QWidget> m_host;
    CWnd m_hostWnd;
};

// What the chart's own paint puts on the screen.
inline QImage PaintChart()
{
    return ClientWidget(g_chart)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QRgb ToRgb(COLORREF color)
{
    return qRgb(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline int CountPixels(const QImage& image, COLORREF color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == ToRgb(color) ? 1 : 0;
    }
    return count;
}
