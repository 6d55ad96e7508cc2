// The main dialog's controls as the tool's dialog template 102 lays them
// out, written down here value by value: kind, text and rectangle in dialog
// units. A slip in the code's own table shows as a difference from this one.
#include "analyzer_dlg.h"
#include "fresh_state.h"
#include "res/resource.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

enum class Kind { DefaultButton, Button, BlackFrame, DropDownCombo, GroupBox, CentredText, StatusEdit };

struct ExpectedControl {
    Kind kind;
    const char* text;
    int x, y, cx, cy;
};

const ExpectedControl kTemplate102[] = {
    {Kind::DefaultButton, "Exit", 226, 318, 50, 14},
    {Kind::BlackFrame, "", 18, 142, 470, 136},
    {Kind::DropDownCombo, "", 87, 43, 49, 77},
    {Kind::Button, "Run Test", 218, 43, 66, 13},
    {Kind::GroupBox, "", 7, 3, 488, 20},
    {Kind::CentredText, "Tach Signal Analyzer for Kestrel+Pintail+Shrike", 169, 11, 172, 8},
    {Kind::GroupBox, "Control", 7, 26, 488, 45},
    {Kind::CentredText, "Com Port", 51, 45, 30, 8},
    {Kind::StatusEdit, "", 101, 92, 303, 13},
    {Kind::GroupBox, "Status", 7, 77, 488, 45},
    {Kind::GroupBox, "Chart", 7, 127, 488, 178},
    {Kind::Button, "BG Color...", 58, 285, 66, 13},
    {Kind::Button, "Grid On/Off...", 163, 285, 66, 13},
    {Kind::Button, "Crank Line Color...", 273, 285, 66, 13},
    {Kind::Button, "Cam Line Color...", 378, 285, 66, 13},
};

// Whether widget is a control of this kind showing this text.
bool IsKindWithText(const QWidget* widget, Kind kind, const QString& text)
{
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        const bool kindMatches = kind == (button->isDefault() ? Kind::DefaultButton : Kind::Button);
        return kindMatches && button->text() == text;
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return kind == Kind::CentredText && (label->alignment() & Qt::AlignHCenter) && label->text() == text;
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return kind == Kind::GroupBox && group->title() == text;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return kind == Kind::DropDownCombo && combo->isEditable();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return kind == Kind::StatusEdit && edit->isReadOnly() && (edit->alignment() & Qt::AlignHCenter) &&
            edit->text() == text;
    if (const auto* frame = qobject_cast<const QFrame*>(widget))
        return kind == Kind::BlackFrame && frame->frameShape() == QFrame::Box && text.isEmpty();
    return false;
}

TEST(DialogTemplate, ControlsHaveTheTemplatesKindsTextsAndRectangles)
{
    ResetProcessState();
    auto dialog = std::make_unique<CAnalyzerDlg>();
    ASSERT_TRUE(dialog->CreateModeless());
    auto* window = qobject_cast<QDialog*>(dialog->GetSafeWidget());
    ASSERT_NE(window, nullptr);
    QApplication::processEvents();

    EXPECT_EQ(window->font().pointSize(), 8);
    const RECT size = dialog->MapDialogRect(RECT{0, 0, 502, 351});
    EXPECT_EQ(window->size(), QSize(size.right, size.bottom));

    int matched = 0;
    for (const ExpectedControl& control : kTemplate102) {
        const QString text = QString::fromLatin1(control.text);
        SCOPED_TRACE(text.toStdString() + " at " + std::to_string(control.x) + "," + std::to_string(control.y));
        const RECT r =
            dialog->MapDialogRect(RECT{control.x, control.y, control.x + control.cx, control.y + control.cy});
        int found = 0;
        for (QWidget* widget : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect g = widget->geometry();
            // The combo box's template height is that of its open list.
            const bool heightMatches = control.kind == Kind::DropDownCombo || g.height() == r.bottom - r.top;
            if (g.left() == r.left && g.top() == r.top && g.width() == r.right - r.left && heightMatches &&
                IsKindWithText(widget, control.kind, text))
                ++found;
        }
        EXPECT_EQ(found, 1);
        matched += found;
    }
    EXPECT_EQ(matched, 15);
    dialog.reset();
    ResetProcessState();
}

// Icon 128 comes with the program: its 16 and 32 pixel images have pixels.
TEST(DialogTemplate, IconHasItsSixteenAndThirtyTwoPixelImages)
{
    const QIcon icon = LoadAppIcon();
    for (int size : {16, 32}) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2)), 0) << size;
    }
}

}  // namespace
