// The main dialog as it opens: its controls from the template, the port
// list, the chart over its frame with its three lines, the trace levels,
// and the ways it closes.
#include "analyzer_dlg.h"
#include "capture/decoder.h"
#include "capture/test_run.h"
#include "chart/chart_testing.h"
#include "chart/chart_wnd.h"
#include "fresh_state.h"
#include "platform/wnd_testing.h"
#include "res/resource.h"
#include "serial/serial_link.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <memory>

namespace {

class TestableDialog : public CAnalyzerDlg {
public:
    using CAnalyzerDlg::OnTimer;
};

class DialogStartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        dialog = std::make_unique<TestableDialog>();
        ASSERT_TRUE(dialog->CreateModeless());
        window = qobject_cast<QDialog*>(dialog->GetSafeWidget());
        ASSERT_NE(window, nullptr);
        QApplication::processEvents();
    }

    template <class Widget>
    Widget* Control(int id)
    {
        CWnd* wnd = dialog->GetDlgItem(id);
        return wnd ? qobject_cast<Widget*>(wnd->GetSafeWidget()) : nullptr;
    }

    std::unique_ptr<TestableDialog> dialog;
    QDialog* window = nullptr;
};

TEST_F(DialogStartupTest, EveryTemplateControlStandsWhereTheTemplatePutsIt)
{
    const DialogTemplate& dialogTemplate = g_analyzerDialogTemplate;
    int groupBoxes = 0;
    int labels = 0;
    for (const QObject* child : window->children()) {
        groupBoxes += qobject_cast<const QGroupBox*>(child) != nullptr;
        labels += qobject_cast<const QLabel*>(child) != nullptr;
    }
    EXPECT_EQ(groupBoxes, 4);
    EXPECT_EQ(labels, 2);

    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const DialogControl& control = dialogTemplate.controls[i];
        if (control.id == IDC_STATIC)
            continue;
        SCOPED_TRACE(control.id);
        CWnd* wnd = dialog->GetDlgItem(control.id);
        ASSERT_NE(wnd, nullptr);
        const RECT expected =
            dialog->MapDialogRect(RECT{control.x, control.y, control.x + control.cx, control.y + control.cy});
        const QRect actual = wnd->GetSafeWidget()->geometry();
        EXPECT_EQ(actual.left(), expected.left);
        EXPECT_EQ(actual.top(), expected.top);
        EXPECT_EQ(actual.width(), expected.right - expected.left);
        if (control.kind != ControlKind::ComboDropDown) {
            EXPECT_EQ(actual.height(), expected.bottom - expected.top);
        }
    }

    const RECT client = dialog->MapDialogRect(RECT{0, 0, 502, 351});
    EXPECT_EQ(window->width(), client.right);
    EXPECT_EQ(window->height(), client.bottom);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Dentora")));
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(DialogStartupTest, ButtonsCarryTheirTextsAndExitIsTheDefault)
{
    const std::pair<int, const char*> buttons[] = {
        {IDOK, "Exit"},
        {IDC_RUN_TEST, "Run Test"},
        {IDC_BKCOLOR, "BG Color..."},
        {IDC_GRID_TOGGLE, "Grid On/Off..."},
        {IDC_CRANK_COLOR, "Crank Line Color..."},
        {IDC_CAM_COLOR, "Cam Line Color..."},
    };
    for (const auto& [id, text] : buttons) {
        auto* button = Control<QPushButton>(id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->text(), QString::fromLatin1(text));
        EXPECT_EQ(button->isDefault(), id == IDOK) << id;
        // The whole text fits on the button in the dialog's font.
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4) << id;
    }
    auto* status = Control<QLineEdit>(IDC_STATUS);
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_TRUE(status->text().isEmpty());
    EXPECT_EQ(status->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(g_pStatus, dialog->GetDlgItem(IDC_STATUS));
    EXPECT_EQ(g_pRunButton, dialog->GetDlgItem(IDC_RUN_TEST));
}

TEST_F(DialogStartupTest, TabOrderFollowsTheTemplate)
{
    std::vector<QWidget*> expected;
    for (std::size_t i = 0; i < g_analyzerDialogTemplate.controlCount; ++i) {
        const DialogControl& control = g_analyzerDialogTemplate.controls[i];
        if (control.id == IDC_STATIC)
            continue;
        QWidget* widget = dialog->GetDlgItem(control.id)->GetSafeWidget();
        if (widget->focusPolicy() & Qt::TabFocus)
            expected.push_back(widget);
    }
    ASSERT_EQ(expected.size(), 8u);  // Exit, port box, Run Test, status, four appearance buttons

    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        while (next && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        // The port box's edit field sits inside it in the chain.
        while (next && next->parentWidget() == expected[i])
            next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i + 1]) << "after control " << i;
    }
}

TEST_F(DialogStartupTest, PortListOffersComOneToTwelveWithTheFirstSelected)
{
    auto* ports = Control<QComboBox>(IDC_COMPORT);
    ASSERT_NE(ports, nullptr);
    EXPECT_TRUE(ports->isEditable());
    ASSERT_EQ(ports->count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ports->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    EXPECT_EQ(ports->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(dialog->GetDlgItemAs<CComboBox>(IDC_COMPORT)->GetCurSel(), 0);
    EXPECT_EQ(g_nComPort, 1);
}

TEST_F(DialogStartupTest, ChartCoversItsFrameWithThreeSolidTwoPixelLines)
{
    ASSERT_TRUE(g_chart.IsWindow());
    EXPECT_EQ(g_chart.GetParent(), dialog.get());
    EXPECT_EQ(g_chart.GetDlgCtrlID(), UINT(IDC_CHART_FRAME));
    EXPECT_EQ(g_chart.GetSafeWidget()->geometry(), dialog->GetDlgItem(IDC_CHART_FRAME)->GetSafeWidget()->geometry());
    EXPECT_TRUE(g_chart.GetSafeWidget()->isVisible());
    EXPECT_NE(HorizontalScrollBar(g_chart), nullptr);

    EXPECT_EQ(ChartWndInspector::LineCount(g_chart), 3u);
    EXPECT_EQ(g_chart.GetLineColor(kCrankLine), RGB(0, 100, 255));
    EXPECT_EQ(g_chart.GetLineColor(kCamLine), RGB(255, 255, 0));
    EXPECT_EQ(g_chart.GetLineColor(kSpareLine), RGB(0, 255, 0));
    for (UINT id : {kCrankLine, kCamLine, kSpareLine}) {
        EXPECT_EQ(ChartWndInspector::Width(g_chart, id), 2) << id;
        EXPECT_EQ(ChartWndInspector::PenStyle(g_chart, id), PS_SOLID) << id;
        EXPECT_TRUE(ChartWndInspector::Visible(g_chart, id)) << id;
        EXPECT_TRUE(g_chart.LinePoints(id)->empty()) << id;
    }
    EXPECT_EQ(g_chart.GetBackColor(), RGB(0, 0, 0));
    EXPECT_TRUE(g_chart.GridOn());
    EXPECT_FLOAT_EQ(g_fCrankHigh, 0.5f);
    EXPECT_FLOAT_EQ(g_fCamHigh, 0.4f);
}

TEST_F(DialogStartupTest, ExitButtonClosesTheDialog)
{
    Control<QPushButton>(IDOK)->click();
    EXPECT_EQ(window->result(), IDOK);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(DialogStartupTest, EscapeClosesTheDialog)
{
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &escape);
    EXPECT_EQ(window->result(), IDCANCEL);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(DialogStartupTest, CloseBoxClosesTheDialogAndTheChartGoesWithIt)
{
    window->close();
    EXPECT_FALSE(window->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dialog->GetSafeWidget(), nullptr);
    EXPECT_FALSE(g_chart.IsWindow());
}

// Tab reaches the chart, which then shows a focus frame; its keys scroll
// as the scroll bar's arrows and page areas do.
TEST_F(DialogStartupTest, ChartTakesTheKeyboardAndScrollsWithIt)
{
    for (int x = 0; x <= 5000; x += 10)
        g_chart.AddPoint(kCrankLine, float(x), (x / 10) % 2 ? 0.5f : 0.0f, TRUE);
    const float end = g_chart.XStart();
    ASSERT_GT(end, 3000.0f);
    QWidget* chart = ClientWidget(g_chart);
    QApplication::setActiveWindow(window);
    const QImage unfocused = chart->grab().toImage();

    QWidget* lastButton = Control<QPushButton>(IDC_CAM_COLOR);
    lastButton->setFocus();
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(lastButton, &tab);
    ASSERT_TRUE(chart->hasFocus()) << "Tab does not reach the chart";
    EXPECT_NE(chart->grab().toImage(), unfocused) << "no focus frame";

    const auto press = [chart](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(chart, &event);
        return g_chart.XStart();
    };
    // One hundredth of the 1000-unit window per arrow, half of it per page.
    EXPECT_FLOAT_EQ(press(Qt::Key_Left), end - 10.0f);
    EXPECT_FLOAT_EQ(press(Qt::Key_PageUp), end - 510.0f);
    EXPECT_FLOAT_EQ(press(Qt::Key_Right), end - 500.0f);
    EXPECT_FLOAT_EQ(press(Qt::Key_PageDown), end) << "a page right stops at the extent's end";
    EXPECT_EQ(HorizontalScrollBar(g_chart)->value(),
              int((double(end) - g_chart.XMin()) * 1000.0 / (double(g_chart.XMax()) - g_chart.XMin())));
}

// The controls as they stand, with their template entries.
struct Placed {
    const DialogControl* control;
    QRect rect;
};

std::vector<Placed> PlacedControls(const CAnalyzerDlg& dialog)
{
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < g_analyzerDialogTemplate.controlCount; ++i)
        placed.push_back(
            {&g_analyzerDialogTemplate.controls[i], dialog.GetTemplateControl(i)->GetSafeWidget()->geometry()});
    return placed;
}

// Every control inside the client area, no two that take clicks overlapping,
// and the chart over its frame.
void ExpectUsableLayout(const CAnalyzerDlg& dialog)
{
    const QRect client = dialog.GetSafeWidget()->rect();
    const auto placed = PlacedControls(dialog);
    for (const Placed& a : placed) {
        SCOPED_TRACE(a.control->text);
        EXPECT_TRUE(client.contains(a.rect)) << "outside the window: control " << a.control->id;
        const auto inBackground = [](const Placed& p) {
            return p.control->kind == ControlKind::GroupBox || p.control->kind == ControlKind::BlackFrame;
        };
        if (inBackground(a))
            continue;
        for (const Placed& b : placed) {
            if (&a != &b && !inBackground(b)) {
                EXPECT_FALSE(a.rect.intersects(b.rect)) << "overlaps " << b.control->text;
            }
        }
    }
    EXPECT_EQ(g_chart.GetSafeWidget()->geometry(), dialog.GetDlgItem(IDC_CHART_FRAME)->GetSafeWidget()->geometry());
}

TEST_F(DialogStartupTest, ResizedDialogGivesTheChartTheRoomAndKeepsEveryControlUsable)
{
    const auto atTemplateSize = PlacedControls(*dialog);
    const QSize templateSize = window->size();
    const QRect chartAtStart = ClientWidget(g_chart)->geometry();
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    window->resize(templateSize + QSize(300, 200));
    QApplication::processEvents();
    ExpectUsableLayout(*dialog);
    const auto enlarged = PlacedControls(*dialog);
    const QRect frame = dialog->GetDlgItem(IDC_CHART_FRAME)->GetSafeWidget()->geometry();
    for (std::size_t i = 0; i < enlarged.size(); ++i) {
        const QRect& before = atTemplateSize[i].rect;
        const QRect& after = enlarged[i].rect;
        SCOPED_TRACE(enlarged[i].control->text);
        if (enlarged[i].control->id == IDC_CHART_FRAME) {
            EXPECT_EQ(after.size(), before.size() + QSize(300, 200));
        } else if (enlarged[i].control->kind != ControlKind::GroupBox) {
            EXPECT_EQ(after.size(), before.size()) << "only the chart and its group boxes grow";
            // What stood under the chart stays as far under it.
            if (before.top() > atTemplateSize[1].rect.bottom()) {
                EXPECT_EQ(after.top() - frame.bottom(), before.top() - atTemplateSize[1].rect.bottom());
            } else {
                EXPECT_EQ(after.top(), before.top());
            }
        }
    }
    const QRect chartNow = ClientWidget(g_chart)->geometry();
    EXPECT_EQ(chartNow.size(), chartAtStart.size() + QSize(300, 200));
    EXPECT_FLOAT_EQ(g_chart.XSpan(), 1000.0f) << "the window spans the same units, wider";

    window->resize(1, 1);  // as small as it goes
    QApplication::processEvents();
    EXPECT_LT(window->height(), templateSize.height() * 5 / 6);
    EXPECT_LT(window->width(), templateSize.width() * 3 / 4);
    ExpectUsableLayout(*dialog);
    // Still a chart to read, six text lines high (the cam trace's high level,
    // 0.4 of it, over two lines up), and room for the longest status line.
    EXPECT_GE(ClientWidget(g_chart)->height(), 6 * window->fontMetrics().height());
    const QLineEdit* status = qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_STATUS)->GetSafeWidget());
    EXPECT_GE(status->width(),
              status->fontMetrics().horizontalAdvance(QStringLiteral(">>> No answer from controller - Abort <<<")) + 8);

    window->resize(templateSize);
    QApplication::processEvents();
    const auto back = PlacedControls(*dialog);
    for (std::size_t i = 0; i < back.size(); ++i)
        EXPECT_EQ(back[i].rect, atTemplateSize[i].rect) << back[i].control->text;
}

}  // namespace
