// The buttons under the chart, clicked in the real main dialog, with the
// real colour picker answered as a user would.
#include "analyzer_dlg.h"
#include "capture/decoder.h"
#include "chart_fixture.h"
#include "res/resource.h"

#include <QApplication>
#include <QColorDialog>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

class Appearance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        g_nGridOn = 1;
        m_dialog = std::make_unique<CAnalyzerDlg>();
        ASSERT_TRUE(m_dialog->CreateModeless());
    }

    void TearDown() override
    {
        m_dialog.reset();
        ResetProcessState();
    }

    void Click(int buttonId)
    {
        auto* button = m_dialog->GetSafeWidget()->findChild<QPushButton*>(QStringLiteral("control%1").arg(buttonId));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    // Clicks a button that opens the colour picker, and has answer handle
    // the picker once it runs.
    void ClickAndAnswerPicker(int buttonId, const std::function<void(QColorDialog&)>& answer)
    {
        bool answered = false;
        QObject scope;  // no answer after this returns, picker or not
        QTimer::singleShot(0, &scope, [&] {
            auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
            if (!picker) {
                // Nothing to answer; whatever is modal must not hang the test.
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            answered = true;
            answer(*picker);
        });
        Click(buttonId);
        EXPECT_TRUE(answered) << "no colour picker for button " << buttonId;
    }

    static void Pick(QColorDialog& picker, COLORREF color)
    {
        picker.setCurrentColor(QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
    }

private:
    std::unique_ptr<CAnalyzerDlg> m_dialog;
};

TEST_F(Appearance, BackgroundColourChosenInThePickerFillsTheChart)
{
    const COLORREF chosen = RGB(40, 60, 80);
    ClickAndAnswerPicker(IDC_BKCOLOR, [&](QColorDialog& picker) {
        EXPECT_EQ(picker.currentColor(), QColor(0, 0, 0));  // preset with the current one
        Pick(picker, chosen);
        picker.accept();
    });
    EXPECT_EQ(g_chart.GetBackColor(), chosen);
    EXPECT_EQ(PaintChart().pixel(1, 1), ToRgb(chosen));
}

TEST_F(Appearance, CancelledPickerLeavesTheColourAlone)
{
    const QImage before = PaintChart();
    ClickAndAnswerPicker(IDC_BKCOLOR, [](QColorDialog& picker) {
        Pick(picker, RGB(200, 10, 10));
        picker.reject();
    });
    EXPECT_EQ(g_chart.GetBackColor(), RGB(0, 0, 0));
    EXPECT_EQ(PaintChart(), before);
}

TEST_F(Appearance, GridButtonHidesThenShowsTheGrid)
{
    RECT client;
    g_chart.GetClientRect(&client);
    const int firstGridRow = client.bottom / 10;
    const QRgb grid = ToRgb(RGB(0, 128, 0));
    ASSERT_EQ(PaintChart().pixel(1, firstGridRow), grid);

    Click(IDC_GRID_TOGGLE);
    EXPECT_EQ(g_nGridOn, 0);
    EXPECT_FALSE(g_chart.GridOn());
    EXPECT_EQ(PaintChart().pixel(1, firstGridRow), ToRgb(RGB(0, 0, 0)));

    Click(IDC_GRID_TOGGLE);
    EXPECT_EQ(g_nGridOn, 1);
    EXPECT_TRUE(g_chart.GridOn());
    EXPECT_EQ(PaintChart().pixel(1, firstGridRow), grid);
}

// A trace already drawn changes colour as a whole, old part included.
TEST_F(Appearance, TraceColourButtonsRecolourTheWholeTrace)
{
    struct Case {
        int buttonId;
        UINT lineId;
    };
    for (const Case& c : {Case{IDC_CRANK_COLOR, kCrankLine}, Case{IDC_CAM_COLOR, kCamLine}}) {
        g_chart.ClearPoints();
        for (int edge = 0; edge < 8; ++edge) {
            const float x = 100.0f * float(edge);
            g_chart.AddPoint(c.lineId, x, edge % 2 ? 0.5f : 0.0f, TRUE);
            g_chart.AddPoint(c.lineId, x + 0.01f, edge % 2 ? 0.0f : 0.5f, TRUE);
        }
        const COLORREF old = g_chart.GetLineColor(c.lineId);
        const int tracePixels = CountPixels(PaintChart(), old);
        ASSERT_GT(tracePixels, 0);

        const COLORREF chosen = RGB(250, 0, 250);
        ClickAndAnswerPicker(c.buttonId, [&](QColorDialog& picker) {
            EXPECT_EQ(picker.currentColor(), QColor(GetRValue(old), GetGValue(old), GetBValue(old)));
            Pick(picker, chosen);
            picker.accept();
        });
        EXPECT_EQ(g_chart.GetLineColor(c.lineId), chosen);
        const QImage after = PaintChart();
        EXPECT_EQ(CountPixels(after, old), 0);
        EXPECT_EQ(CountPixels(after, chosen), tracePixels);
    }
}

}  // namespace
