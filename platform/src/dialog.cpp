#include "platform/dialog.h"

#include "platform/winapp.h"
#include "qt_color.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Rounds like the window system's MulDiv, which dialog-unit conversion uses.
int MulDiv(int number, int numerator, int denominator)
{
    return int(std::lround(double(number) * numerator / denominator));
}

struct DialogBaseUnits {
    int x;
    int y;
};

// A dialog unit is a quarter of the font's average character width and an
// eighth of its height.
DialogBaseUnits BaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabetWidth / 26 + 1) / 2, metrics.height()};
}

RECT MapUnits(const RECT& dialogUnits, DialogBaseUnits units)
{
    return RECT{MulDiv(dialogUnits.left, units.x, 4), MulDiv(dialogUnits.top, units.y, 8),
                MulDiv(dialogUnits.right, units.x, 4), MulDiv(dialogUnits.bottom, units.y, 8)};
}

class DialogWidget : public QDialog {
public:
    DialogWidget(QWidget* parent, std::function<void()> onOk, std::function<void()> onCancel)
        : QDialog(parent), m_onOk(std::move(onOk)), m_onCancel(std::move(onCancel))
    {
    }
    void accept() override { m_onOk(); }
    void reject() override { m_onCancel(); }  // Escape and the close box

private:
    std::function<void()> m_onOk;
    std::function<void()> m_onCancel;
};

class DropDownCombo : public QComboBox {
public:
    DropDownCombo(QWidget* parent, std::function<void()> onDropDown, std::function<void()> onEditReturn)
        : QComboBox(parent), m_onDropDown(std::move(onDropDown)), m_onEditReturn(std::move(onEditReturn))
    {
    }
    void showPopup() override
    {
        m_onDropDown();
        // The box stays as narrow as its template makes it; its list is as
        // wide as its longest entry.
        QAbstractItemView* list = view();
        const int entriesWidth =
            list->sizeHintForColumn(0) + 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
        list->setMinimumWidth(std::max(width(), entriesWidth));
        QComboBox::showPopup();
    }

protected:
    // The edit field passes Enter on to the box; with the list closed it
    // ends here instead of at the dialog's default button.
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && isEditable() && !view()->isVisible()) {
            event->accept();
            m_onEditReturn();
            return;
        }
        QComboBox::keyPressEvent(event);
    }

private:
    std::function<void()> m_onDropDown;
    std::function<void()> m_onEditReturn;
};

// The toolkit saves the picker's custom colours in its settings file once
// one is added, and the tool saves nothing: adding one is off, as defining
// one is in the classic picker with CC_PREVENTFULLOPEN.
void DisableAddingCustomColours(QColorDialog& picker)
{
    const QString addText = QColorDialog::tr("&Add to Custom Colors");
    for (QPushButton* button : picker.findChildren<QPushButton*>()) {
        if (button->text() == addText)
            button->setEnabled(false);
    }
}

// A plain black rectangle, as the classic SS_BLACKFRAME static draws it.
QFrame* MakeBlackFrame(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

}  // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* parent) : m_template(dialogTemplate), m_parentWnd(parent)
{
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    if (!m_dialog)
        Build();
    QPointer<QDialog> dialog = m_dialog;
    const int result = dialog->exec();
    delete dialog.data();
    return result;
}

BOOL CDialog::CreateModeless()
{
    if (m_dialog)
        return FALSE;
    Build();
    m_dialog->show();
    return TRUE;
}

void CDialog::Build()
{
    CreateDialogWidget();
    ComputeBaseUnits();
    SetUpWindow();
    CreateControls();
    OnInitDialog();
    FitToScreen();
}

void CDialog::CreateDialogWidget()
{
    QWidget* parentWidget = m_parentWnd ? m_parentWnd->GetSafeWidget() : nullptr;
    m_dialog = new DialogWidget(
        parentWidget, [this] { OnOK(); }, [this] { OnCancel(); });
    m_connectionGuard = std::make_unique<QObject>();
    QObject::connect(m_dialog, &QObject::destroyed, m_connectionGuard.get(), [this] {
        m_dialog = nullptr;
        m_controls.clear();
    });
    AdoptWidget(m_dialog, m_parentWnd);
}

void CDialog::ComputeBaseUnits()
{
    m_font = DialogFont(m_template);
    m_dialog->setFont(m_font);
    const DialogBaseUnits units = BaseUnits(m_font);
    m_baseUnitX = units.x;
    m_baseUnitY = units.y;
}

void CDialog::SetUpWindow()
{
    m_dialog->setWindowTitle(QString::fromUtf8(m_template.caption));
    // F1 anywhere in the dialog is the help command.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), m_dialog);
    QObject::connect(help, &QShortcut::activated, m_dialog, [this] { OnCommand(ID_HELP, BN_CLICKED); });
    const RECT client = MapDialogRect(RECT{0, 0, m_template.cx, m_template.cy});
    m_dialog->resize(client.right, client.bottom);
    m_dialog->setWindowFlags(m_dialog->windowFlags() | Qt::WindowMinMaxButtonsHint);
}

void CDialog::CreateControls()
{
    QWidget* previousInTabOrder = nullptr;
    std::vector<QWidget*> background;
    for (std::size_t i = 0; i < m_template.controlCount; ++i) {
        const DialogControl& control = m_template.controls[i];
        QWidget* widget = CreateControl(control);
        PlaceControl(control, widget);
        if (control.kind == ControlKind::BlackFrame || control.kind == ControlKind::GroupBox)
            background.push_back(widget);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousInTabOrder)
                QWidget::setTabOrder(previousInTabOrder, widget);
            previousInTabOrder = widget;
        }
        std::unique_ptr<CWnd> wnd;
        if (control.kind == ControlKind::ComboDropDown)
            wnd = std::make_unique<CComboBox>();
        else
            wnd = std::make_unique<CWnd>();
        wnd->Attach(widget, this, UINT(control.id));
        m_controls.push_back(std::move(wnd));
    }
    // Frames and group boxes are drawn behind the controls they surround and
    // never take their clicks.
    for (QWidget* widget : background) {
        widget->lower();
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

QWidget* CDialog::CreateControl(const DialogControl& control)
{
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    const UINT id = UINT(control.id);
    switch (control.kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, m_dialog);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        QObject::connect(button, &QPushButton::clicked, button, [this, id] { OnCommand(id, BN_CLICKED); });
        return button;
    }
    case ControlKind::BlackFrame: return MakeBlackFrame(m_dialog);
    case ControlKind::ComboDropDown: {
        auto* combo = new DropDownCombo(
            m_dialog, [this, id] { OnCommand(id, CBN_DROPDOWN); }, [this, id] { OnCommand(id, CBN_EDITRETURN); });
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(12);
        return combo;
    }
    case ControlKind::GroupBox: return new QGroupBox(text, m_dialog);
    case ControlKind::CenteredText: {
        auto* label = new QLabel(text, m_dialog);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        return label;
    }
    case ControlKind::StatusEdit: {
        auto* edit = new QLineEdit(text, m_dialog);
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignCenter);
        return edit;
    }
    }
    return nullptr;
}

void CDialog::PlaceControl(const DialogControl& control, QWidget* widget) const
{
    const RECT r = MapDialogRect(RECT{control.x, control.y, control.x + control.cx, control.y + control.cy});
    int height = r.bottom - r.top;
    if (control.kind == ControlKind::ComboDropDown)
        height = widget->sizeHint().height();  // the template's height is the open list's
    widget->setGeometry(r.left, r.top, r.right - r.left, height);
    if (control.id != IDC_STATIC)
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
}

// Never larger than the screen's available area, frame and title included.
void CDialog::FitToScreen()
{
    const QScreen* screen = m_dialog->screen();
    if (!screen)
        return;
    const QStyle* style = m_dialog->style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, m_dialog);
    const QSize room = screen->availableSize() -
        QSize(2 * frame, 2 * frame + style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, m_dialog));
    const QSize fitted = m_dialog->size().boundedTo(room);
    m_dialog->setMinimumSize(m_dialog->minimumSize().boundedTo(fitted));
    m_dialog->resize(fitted);
}

RECT CDialog::MapDialogRect(const RECT& dialogUnits) const
{
    return MapUnits(dialogUnits, {m_baseUnitX, m_baseUnitY});
}

QFont DialogFont(const DialogTemplate& dialogTemplate)
{
    QFont font = QApplication::font();
    font.setPointSize(dialogTemplate.pointSize);
    return font;
}

RECT MapDialogRect(const DialogTemplate& dialogTemplate, const RECT& dialogUnits)
{
    return MapUnits(dialogUnits, BaseUnits(DialogFont(dialogTemplate)));
}

CWnd* CDialog::GetTemplateControl(std::size_t index) const
{
    return index < m_controls.size() ? m_controls[index].get() : nullptr;
}

CWnd* CDialog::GetDlgItem(int id) const
{
    for (const auto& control : m_controls) {
        if (int(control->GetDlgCtrlID()) == id)
            return control.get();
    }
    return nullptr;
}

void CDialog::EndDialog(int result)
{
    if (!m_dialog)
        return;
    const bool modal = m_dialog->isModal();
    m_dialog->done(result);
    if (!modal)
        m_dialog->deleteLater();
}

void CDialog::SetIcon(const QIcon& icon, BOOL)
{
    if (m_dialog)
        m_dialog->setWindowIcon(icon);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnCommand(UINT controlId, UINT notifyCode)
{
    if (notifyCode != BN_CLICKED)
        return;
    if (controlId == UINT(IDOK))
        OnOK();
    else if (controlId == UINT(IDCANCEL))
        OnCancel();
    else if (controlId == ID_HELP && AfxGetApp())
        AfxGetApp()->OnHelp();
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

namespace {
QComboBox* ComboOf(const CWnd* wnd)
{
    return qobject_cast<QComboBox*>(wnd->GetSafeWidget());
}
}  // namespace

int CComboBox::AddString(const QString& text)
{
    QComboBox* combo = ComboOf(this);
    combo->addItem(text);
    return combo->count() - 1;
}

void CComboBox::ResetContent()
{
    ComboOf(this)->clear();
}

int CComboBox::GetCount() const
{
    return ComboOf(this)->count();
}

int CComboBox::GetCurSel() const
{
    // As with the classic drop-down combo box, editing the text leaves no
    // entry selected.
    const QComboBox* combo = ComboOf(this);
    const int index = combo->currentIndex();
    if (index < 0 || combo->currentText() != combo->itemText(index))
        return -1;
    return index;
}

int CComboBox::SetCurSel(int index)
{
    QComboBox* combo = ComboOf(this);
    if (index < 0 || index >= combo->count())
        return -1;
    combo->setCurrentIndex(index);
    combo->setEditText(combo->itemText(index));
    return index;
}

void CComboBox::SetItemToolTip(int index, const QString& toolTip)
{
    ComboOf(this)->setItemData(index, toolTip, Qt::ToolTipRole);
}

QString CComboBox::GetItemToolTip(int index) const
{
    return ComboOf(this)->itemData(index, Qt::ToolTipRole).toString();
}

QString CComboBox::GetTypedText() const
{
    return GetCurSel() < 0 ? ComboOf(this)->currentText().trimmed() : QString();
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, CWnd* parent)
    : m_color(initial), m_flags(flags), m_parent(parent)
{
}

INT_PTR CColorDialog::DoModal()
{
    QColorDialog picker(platform::ToQColor(m_color), m_parent ? m_parent->GetSafeWidget() : nullptr);
    // Qt's own picker, so that it looks and behaves the same everywhere and
    // is reachable by the tests; it offers solid colours only (no alpha).
    picker.setOption(QColorDialog::DontUseNativeDialog);
    picker.setOption(QColorDialog::ShowAlphaChannel, !(m_flags & CC_SOLIDCOLOR));
    DisableAddingCustomColours(picker);
    if (picker.exec() != QDialog::Accepted)
        return IDCANCEL;
    m_color = platform::ToColorRef(picker.selectedColor());
    return IDOK;
}
