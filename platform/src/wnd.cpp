#include "platform/wnd.h"

#include "platform/winapp.h"
#include "window_widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimerEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace platform {

QEvent::Type PostedMessageEvent::eventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

WindowEventSink::WindowEventSink(CWnd* owner) : m_owner(owner) {}

bool WindowEventSink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner->m_hScrollBar && event->type() == QEvent::Wheel) {
        m_owner->DispatchScrollWheel(*static_cast<QWheelEvent*>(event));
        return true;
    }
    if (watched != m_owner->m_widget)
        return false;
    if (event->type() == QEvent::Resize) {
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        m_owner->OnSize(0, size.width(), size.height());
        return false;
    }
    if (event->type() == QEvent::Timer) {
        const int qtId = static_cast<QTimerEvent*>(event)->timerId();
        if (m_owner->m_timers.count(qtId) == 0)
            return false;
        m_owner->DispatchTimer(qtId);
        return true;
    }
    if (event->type() == PostedMessageEvent::eventType()) {
        const auto* message = static_cast<PostedMessageEvent*>(event);
        m_owner->OnMessage(message->message, message->wParam, message->lParam);
        return true;
    }
    return false;
}

ClientArea::ClientArea(CWnd* owner, QWidget* parent) : QWidget(parent), m_owner(owner)
{
    // The owner paints every pixel of the client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // OnMouseMove hears the pointer without a button held too.
    setMouseTracking(true);
}

void ClientArea::paintEvent(QPaintEvent*)
{
    m_owner->OnPaint();
    if (!hasFocus())
        return;
    // The style's own focus rectangle is a faint tint, lost on a dark
    // chart: a solid band in the selection colour with a line of its text
    // colour inside stands out on any background the user picks.
    QPainter painter(this);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(palette().color(QPalette::HighlightedText), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(2, 2, -3, -3));
}

bool ClientArea::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<QString> text = m_owner->OnToolTipNeeded(CPoint{help->pos().x(), help->pos().y()});
    if (!text)
        return QWidget::event(event);
    if (text->isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), *text, this);
    return true;
}

namespace {

// The virtual key of a key event and the DLGC_ bit that lets it through; 0
// for a key no window handles.
std::pair<UINT, UINT> VirtualKeyOf(const QKeyEvent& event)
{
    static const std::pair<int, UINT> kNamedKeys[] = {
        {Qt::Key_PageUp, VK_PRIOR}, {Qt::Key_PageDown, VK_NEXT}, {Qt::Key_Left, VK_LEFT}, {Qt::Key_Right, VK_RIGHT}};
    for (const auto& [qtKey, virtualKey] : kNamedKeys) {
        if (event.key() == qtKey)
            return {virtualKey, DLGC_WANTARROWS};
    }
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {0, 0};
    const int key = event.key();
    if (key == Qt::Key_Escape)
        return {VK_ESCAPE, DLGC_WANTALLKEYS};
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return {UINT(key), DLGC_WANTCHARS};  // Qt's codes for them are ASCII, as the window system's
    if (key == Qt::Key_BracketLeft)
        return {VK_OEM_4, DLGC_WANTCHARS};
    if (key == Qt::Key_BracketRight)
        return {VK_OEM_6, DLGC_WANTCHARS};
    return {0, 0};
}

UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    UINT flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (modifiers & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

CPoint ClientPoint(const QPointF& position)
{
    return CPoint{int(std::floor(position.x())), int(std::floor(position.y()))};
}

}  // namespace

void ClientArea::keyPressEvent(QKeyEvent* event)
{
    const auto [virtualKey, wantedAs] = VirtualKeyOf(*event);
    if (virtualKey != 0 && (m_owner->OnGetDlgCode() & wantedAs) != 0) {
        m_owner->OnKeyDown(virtualKey, UINT(std::max(event->count(), 1)), 0);
        return;
    }
    // A window that has the keyboard keeps Return: it does not press the
    // dialog's default button (Exit) behind the user's back.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ClientArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_owner->OnLButtonDown(MouseFlags(event->buttons(), event->modifiers()), ClientPoint(event->position()));
}

void ClientArea::mouseMoveEvent(QMouseEvent* event)
{
    m_owner->OnMouseMove(MouseFlags(event->buttons(), event->modifiers()), ClientPoint(event->position()));
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_owner->OnLButtonUp(MouseFlags(event->buttons(), event->modifiers()), ClientPoint(event->position()));
}

void ClientArea::wheelEvent(QWheelEvent* event)
{
    const int delta = std::clamp(event->angleDelta().y(), -32768, 32767);
    if (!m_owner->OnMouseWheel(MouseFlags(event->buttons(), event->modifiers()), short(delta),
                               ClientPoint(event->position())))
        QWidget::wheelEvent(event);
}

}  // namespace platform

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_widget && m_ownsWidget) {
        QWidget* widget = m_widget;
        ForgetWidget();
        delete widget;
    }
    delete m_sink;
}

BOOL CWnd::Create(DWORD style, const RECT& rect, CWnd* parent, UINT controlId)
{
    if (m_widget || !parent || !parent->GetSafeWidget())
        return FALSE;
    auto* frame = new QWidget(parent->GetSafeWidget());
    frame->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_client = new platform::ClientArea(this, frame);
    if (style & WS_TABSTOP)
        m_client->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_client, 1);
    if (style & WS_HSCROLL) {
        m_hScrollBar = new QScrollBar(Qt::Horizontal, frame);
        layout->addWidget(m_hScrollBar);
        QObject::connect(m_hScrollBar, &QAbstractSlider::actionTriggered, m_hScrollBar,
                         [this](int action) { DispatchScrollAction(action); });
        QObject::connect(m_hScrollBar, &QAbstractSlider::sliderReleased, m_hScrollBar, [this] {
            OnHScroll(SB_THUMBPOSITION, UINT(m_hScrollBar->sliderPosition()), nullptr);
            OnHScroll(SB_ENDSCROLL, 0, nullptr);
        });
        // Moves that set the value without an action (the bar's "Scroll
        // here") arrive as the thumb dragged there and let go.
        QObject::connect(m_hScrollBar, &QAbstractSlider::valueChanged, m_hScrollBar,
                         [this](int value) { DispatchThumbPlaced(value); });
    }
    AdoptWidget(frame, parent);
    if (m_hScrollBar)
        m_hScrollBar->installEventFilter(m_sink);
    m_controlId = controlId;
    frame->setVisible(style & WS_VISIBLE);
    return TRUE;
}

void CWnd::Attach(QWidget* widget, CWnd* parent, UINT controlId)
{
    AdoptWidget(widget, parent);
    m_ownsWidget = false;
    m_controlId = controlId;
}

void CWnd::AdoptWidget(QWidget* widget, CWnd* parent)
{
    m_widget = widget;
    m_parent = parent;
    m_ownsWidget = true;
    if (!m_sink)
        m_sink = new platform::WindowEventSink(this);
    widget->installEventFilter(m_sink);
    QObject::connect(widget, &QObject::destroyed, m_sink, [this] { ForgetWidget(); });
}

void CWnd::PlaceScrollThumb(int position)
{
    if (m_hScrollBar)
        m_hScrollBar->setSliderPosition(std::clamp(position, m_hScrollBar->minimum(), m_hScrollBar->maximum()));
}

void CWnd::ForgetWidget()
{
    if (m_widget && m_sink) {
        m_widget->removeEventFilter(m_sink);
        QObject::disconnect(m_widget, nullptr, m_sink, nullptr);
    }
    m_widget = nullptr;
    m_client = nullptr;
    m_hScrollBar = nullptr;
    m_timers.clear();
}

QWidget* CWnd::ClientWidget() const
{
    return m_client ? static_cast<QWidget*>(m_client) : m_widget;
}

void CWnd::InvalidateRect(const RECT*, BOOL)
{
    // The whole client area is always repainted, and the painter covers
    // every pixel, so there is no separate erase.
    if (QWidget* client = ClientWidget())
        client->update();
}

void CWnd::MoveWindow(int x, int y, int width, int height)
{
    if (m_widget)
        m_widget->setGeometry(x, y, width, height);
}

void CWnd::GetClientRect(RECT* rect) const
{
    *rect = RECT{};
    if (QWidget* client = ClientWidget()) {
        rect->right = client->width();
        rect->bottom = client->height();
    }
}

void CWnd::GetWindowRect(RECT* screenRect) const
{
    *screenRect = RECT{};
    if (!m_widget)
        return;
    const QPoint origin = m_widget->mapToGlobal(QPoint(0, 0));
    *screenRect = RECT{origin.x(), origin.y(), origin.x() + m_widget->width(), origin.y() + m_widget->height()};
}

void CWnd::ScreenToClient(RECT* rect) const
{
    QWidget* client = ClientWidget();
    if (!client)
        return;
    const QPoint offset = client->mapFromGlobal(QPoint(0, 0));
    rect->left += offset.x();
    rect->right += offset.x();
    rect->top += offset.y();
    rect->bottom += offset.y();
}

int CWnd::SetScrollInfo(int bar, const SCROLLINFO* info, BOOL)
{
    if (bar != SB_HORZ || !m_hScrollBar)
        return 0;
    if (info->fMask & SIF_RANGE) {
        m_scrollInfo.nMin = info->nMin;
        m_scrollInfo.nMax = info->nMax;
    }
    if (info->fMask & SIF_PAGE)
        m_scrollInfo.nPage = info->nPage;
    if (info->fMask & SIF_POS)
        m_scrollInfo.nPos = info->nPos;

    const int page = int(std::min<UINT>(m_scrollInfo.nPage, UINT(m_scrollInfo.nMax - m_scrollInfo.nMin + 1)));
    const int highest = std::max(m_scrollInfo.nMin, m_scrollInfo.nMax - std::max(page, 1) + 1);
    m_scrollInfo.nPos = std::clamp(m_scrollInfo.nPos, m_scrollInfo.nMin, highest);
    m_scrollInfo.nTrackPos = m_scrollInfo.nPos;

    const QSignalBlocker quiet(m_hScrollBar);
    m_hScrollBar->setRange(m_scrollInfo.nMin, highest);
    m_hScrollBar->setPageStep(std::max(page, 1));
    m_hScrollBar->setSliderPosition(m_scrollInfo.nPos);
    m_hScrollBar->setValue(m_scrollInfo.nPos);
    return m_scrollInfo.nPos;
}

BOOL CWnd::GetScrollInfo(int bar, SCROLLINFO* info) const
{
    if (bar != SB_HORZ || !m_hScrollBar)
        return FALSE;
    const UINT mask = info->fMask;
    *info = m_scrollInfo;
    info->fMask = mask;
    return TRUE;
}

void CWnd::DispatchScrollAction(int action)
{
    UINT code = SB_ENDSCROLL;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINELEFT; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINERIGHT; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGELEFT; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGERIGHT; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    case QAbstractSlider::SliderToMinimum: code = SB_LEFT; break;
    case QAbstractSlider::SliderToMaximum: code = SB_RIGHT; break;
    default: return;
    }
    const UINT position = UINT(m_hScrollBar->sliderPosition());
    RestoreScrollPosition();
    OnHScroll(code, position, nullptr);
}

void CWnd::RestoreScrollPosition()
{
    // The bar shows only what the window sets: undo the toolkit's own move
    // before the handler decides where the thumb goes.
    const QSignalBlocker quiet(m_hScrollBar);
    m_hScrollBar->setSliderPosition(m_scrollInfo.nPos);
    m_hScrollBar->setValue(m_scrollInfo.nPos);
}

void CWnd::DispatchThumbPlaced(int value)
{
    // Every move by an action or by SetScrollInfo leaves the bar where the
    // window put it; only a direct placement gets here with another value.
    if (value == m_scrollInfo.nPos)
        return;
    RestoreScrollPosition();
    OnHScroll(SB_THUMBTRACK, UINT(value), nullptr);
    OnHScroll(SB_THUMBPOSITION, UINT(value), nullptr);
    OnHScroll(SB_ENDSCROLL, 0, nullptr);
}

void CWnd::DispatchScrollWheel(const QWheelEvent& event)
{
    // A notch is the system's number of lines, each a line step: away from
    // the user (or to the left) scrolls left. Part notches add up.
    const QPoint angle = event.angleDelta();
    int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (event.inverted())
        delta = -delta;
    m_wheelLines += delta * QApplication::wheelScrollLines();
    const int lines = m_wheelLines / kWheelNotch;
    if (lines == 0)
        return;
    m_wheelLines -= lines * kWheelNotch;
    for (int i = 0; i < std::abs(lines); ++i)
        OnHScroll(lines > 0 ? SB_LINELEFT : SB_LINERIGHT, 0, nullptr);
    OnHScroll(SB_ENDSCROLL, 0, nullptr);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_widget)
        return FALSE;
    QCoreApplication::postEvent(m_widget, new platform::PostedMessageEvent(message, wParam, lParam));
    return TRUE;
}

void CWnd::SetWindowText(const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget))
        button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(m_widget))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(m_widget))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(m_widget))
        group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(m_widget))
        combo->setEditText(text);
    else if (m_widget)
        m_widget->setWindowTitle(text);
    else
        m_text = text;
    // A control shows its new text at once, as it would on Windows, even
    // when the caller goes on to block the event loop (a serial read, the
    // pause after an abort).
    if (m_widget && !m_widget->isWindow() && m_widget->isVisible())
        m_widget->repaint();
}

QString CWnd::GetWindowText() const
{
    if (auto* button = qobject_cast<QAbstractButton*>(m_widget))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(m_widget))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(m_widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(m_widget))
        return group->title();
    if (auto* combo = qobject_cast<QComboBox*>(m_widget))
        return combo->currentText();
    return m_widget ? m_widget->windowTitle() : m_text;
}

void CWnd::SetToolTipText(const QString& text)
{
    if (m_widget)
        m_widget->setToolTip(text);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs)
{
    if (!m_widget)
        return 0;
    KillTimer(id);
    const int qtId = m_widget->startTimer(int(elapseMs), Qt::PreciseTimer);
    if (qtId == 0)
        return 0;
    m_timers[qtId] = id;
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second == id) {
            if (m_widget)
                m_widget->killTimer(it->first);
            m_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

void CWnd::DispatchTimer(int qtTimerId)
{
    OnTimer(m_timers.at(qtTimerId));
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar*) {}
void CWnd::OnKeyDown(UINT, UINT, UINT) {}
UINT CWnd::OnGetDlgCode()
{
    return DLGC_WANTARROWS;
}
void CWnd::OnLButtonDown(UINT, CPoint) {}
void CWnd::OnMouseMove(UINT, CPoint) {}
void CWnd::OnLButtonUp(UINT, CPoint) {}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint)
{
    return FALSE;
}
void CWnd::OnSize(UINT, int, int) {}
void CWnd::OnTimer(UINT_PTR) {}
LRESULT CWnd::OnMessage(UINT, WPARAM, LPARAM)
{
    return 0;
}
std::optional<QString> CWnd::OnToolTipNeeded(CPoint)
{
    return std::nullopt;
}

QString AfxGetAppName()
{
    if (const CWinApp* app = AfxGetApp(); app && app->m_pszAppName)
        return QString::fromUtf8(app->m_pszAppName);
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

namespace {
AfxMessageSink g_messageSink = nullptr;
}

void AfxSetMessageSink(AfxMessageSink sink)
{
    g_messageSink = sink;
}

int AfxMessageBox(CWnd* owner, const QString& text, UINT type)
{
    const bool yesNo = (type & MB_YESNO) != 0;
    if (g_messageSink) {
        g_messageSink(text);
        return yesNo ? IDNO : IDOK;
    }
    QMessageBox box((type & MB_ICONQUESTION) ? QMessageBox::Question : QMessageBox::NoIcon, AfxGetAppName(), text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    owner ? owner->GetSafeWidget() : nullptr);
    if (!yesNo) {
        box.exec();
        return IDOK;
    }
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
}
