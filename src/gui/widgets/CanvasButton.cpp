// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/CanvasButton.h"

#include "gui/framework/DesignFont.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// A real converted to a signed 32-bit integer, truncating toward zero. Out-of-range values
// saturate rather than overflow, which would be undefined for the plain cast.
qint32 whole(qreal r)
{
    const qreal t = std::trunc(r);
    if (t >= static_cast<qreal>(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (t <= static_cast<qreal>(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(t);
}

// Integer halving that truncates toward zero, as C++ division does.
qint32 half(qint32 n)
{
    return n / 2;
}

// Corner arcs are 5 wide and 5 high, that is ellipses of radius 2.5.
constexpr qreal cornerRadius = 2.5;

// A button too small for its inset fills nothing, rather than a rectangle turned inside out.
void fillRounded(QPainter &painter, const QRectF &rect, const QColor &color)
{
    if (rect.isEmpty())
        return;
    painter.setBrush(color);
    painter.drawRoundedRect(rect, cornerRadius, cornerRadius);
}

const QColor pushedColor(0x2A, 0x61, 0xC5);
const QColor hoverColor(0xFC, 0x7F, 0x08);

const std::pair<CanvasButton::State, QLatin1String> stateNames[] = {
    {CanvasButton::State::Normal, QLatin1String("normal")},
    {CanvasButton::State::Hover, QLatin1String("hover")},
    {CanvasButton::State::Pushed, QLatin1String("pushed")},
};

CanvasButton::State stateNamed(const QString &name)
{
    for (const auto &[state, text] : stateNames) {
        if (name.compare(text, Qt::CaseInsensitive) == 0)
            return state;
    }
    return CanvasButton::State::Other;
}

} // namespace

CanvasButton::CanvasButton(Kind kind, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_caption(QStringLiteral("label")), m_textColor(0x00, 0x00, 0x00),
      m_bgColor(0x51, 0x53, 0x52)
{
    // Where nothing is filled the window behind shows through.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

CanvasButton::~CanvasButton() = default;

void CanvasButton::Invalidate(bool eraseBackground)
{
    Q_UNUSED(eraseBackground)
    update();
}

void CanvasButton::Refresh(bool eraseBackground)
{
    Q_UNUSED(eraseBackground)
    update();
}

void CanvasButton::SetFocus()
{
    // Asking a control that takes no focus for it changes nothing: a tally's SetFocus on the
    // trigger buttons would otherwise take the keyboard from the check box the operator is on.
    if (focusPolicy() == Qt::NoFocus)
        return;
    setFocus(Qt::OtherFocusReason);
}

void CanvasButton::setState(State state)
{
    m_state = state;
    m_lookIsThePress = false;
}

QString CanvasButton::state() const
{
    for (const auto &[state, text] : stateNames) {
        if (state == m_state)
            return text;
    }
    return QString();
}

void CanvasButton::setState(const QString &name)
{
    setState(stateNamed(name));
}

QFont CanvasButton::captionFont() const
{
    // Starting from the application font keeps its default size, in whatever unit it is set.
    QFont font = QGuiApplication::font();
    font.setFamily(QStringLiteral("Helvetica"));
    font.setStyleHint(QFont::Helvetica);
    font.setBold(true);
    return withDesignSize(font, static_cast<qreal>(m_textSize));
}

QPointF CanvasButton::captionPosition(qreal gWidth, qreal gHeight, qreal captionWidth, qreal ascent)
{
    const qint32 x = half(whole(gWidth - captionWidth));
    const qreal y = gHeight - half(whole(gHeight - ascent));
    return QPointF(x, y);
}

void CanvasButton::mousePressEvent(QMouseEvent *event)
{
    // A second mouse button pressed during an open press belongs to that press. A press left
    // open because its release never came (the button was hidden meanwhile, say) is stale
    // once its button is no longer held, and a new press replaces it.
    if (m_pressButton != Qt::NoButton && (event->buttons() & m_pressButton)) {
        event->accept();
        return;
    }
    endPress();
    const State before = m_state;
    if (Event_MouseDown()) {
        m_lookBeforePress = before;
        m_lookIsThePress = true;
        claimPress(event->button());
        event->accept();
    } else {
        event->ignore();
    }
}

void CanvasButton::mouseReleaseEvent(QMouseEvent *event)
{
    // Only the release that ends a claimed press counts, wherever the pointer is by then.
    if (m_pressButton == Qt::NoButton || event->button() != m_pressButton) {
        event->ignore();
        return;
    }
    endPress();
    event->accept();
    Event_MouseUp();
}

void CanvasButton::enterEvent(QEnterEvent *event)
{
    Q_UNUSED(event)
    if (pressLost())
        dropPress();
    Event_MouseEnter();
}

void CanvasButton::leaveEvent(QEvent *event)
{
    Q_UNUSED(event)
    if (pressLost())
        dropPress();
    Event_MouseExit();
}

void CanvasButton::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    dropPress();
}

void CanvasButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        dropPress();
}

bool CanvasButton::eventFilter(QObject *watched, QEvent *event)
{
    // A modal box over the window takes every later mouse event, the release included.
    if (watched == m_watchedWindow && event->type() == QEvent::WindowBlocked)
        dropPress();
    return QWidget::eventFilter(watched, event);
}

void CanvasButton::claimPress(Qt::MouseButton button)
{
    m_pressButton = button;
    m_pressSeenByApplication = (QGuiApplication::mouseButtons() & button) != 0;
    m_watchedWindow = window();
    if (m_watchedWindow && m_watchedWindow != this)
        m_watchedWindow->installEventFilter(this);
}

void CanvasButton::endPress()
{
    if (m_watchedWindow && m_watchedWindow != this)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = nullptr;
    m_pressButton = Qt::NoButton;
    m_pressSeenByApplication = false;
}

bool CanvasButton::pressLost() const
{
    return m_pressButton != Qt::NoButton && m_pressSeenByApplication
        && !(QGuiApplication::mouseButtons() & m_pressButton);
}

void CanvasButton::dropPress()
{
    if (m_pressButton == Qt::NoButton)
        return;
    endPress();
    if (!m_lookIsThePress)
        return;
    // A momentary button is "normal" whenever no press holds it; a latching one goes back to
    // what its owner last gave it, since the click that would have changed it never happened.
    m_state = m_kind == Kind::Momentary ? State::Normal : m_lookBeforePress;
    m_lookIsThePress = false;
    Refresh(true);
}

bool CanvasButton::Event_MouseDown()
{
    m_state = State::Pushed;
    Refresh(true);
    return true;
}

void CanvasButton::Event_MouseEnter()
{
    // A latching button only repaints: hovering leaves its look alone.
    if (m_kind == Kind::Momentary)
        m_state = State::Hover;
    Refresh(true);
}

void CanvasButton::Event_MouseExit()
{
    if (m_kind == Kind::Momentary)
        m_state = State::Normal;
    Refresh(true);
}

void CanvasButton::Event_MouseUp()
{
    // A momentary button shows "normal" after a click even with the pointer still over it; a
    // latching one stays "pushed" until its owner gives it back its "normal" look.
    if (m_kind == Kind::Momentary)
        m_state = State::Normal;
    Refresh(true);
    Q_EMIT Action();
}

void CanvasButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    // The backdrop is dropped on every paint, before it could ever be drawn.
    m_backdrop = QPixmap();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const int w = width();
    const int h = height();
    painter.setPen(Qt::NoPen);
    switch (m_state) {
    case State::Normal:
        fillRounded(painter, QRectF(0, 0, w, h), m_bgColor);
        break;
    case State::Pushed:
        fillRounded(painter, QRectF(6 / 2, 6 / 2, w - 6, h - 6), pushedColor);
        break;
    case State::Hover:
        fillRounded(painter, QRectF(1, 1, w - 2, h - 2), hoverColor);
        break;
    case State::Other:
        break;
    }

    painter.setPen(m_textColor);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(captionFont());
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QPointF origin = captionPosition(w, h, metrics.horizontalAdvance(m_caption), metrics.ascent());
    painter.drawText(origin, m_caption);
}
