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

} // namespace

CanvasButton::CanvasButton(QWidget *parent)
    : QWidget(parent)
    , m_caption(QStringLiteral("label"))
    , m_state(QStringLiteral("normal"))
    , m_textColor(0x00, 0x00, 0x00)
    , m_bgColor(0x51, 0x53, 0x52)
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
    setFocus(Qt::OtherFocusReason);
}

bool CanvasButton::isState(QLatin1String name) const
{
    return m_state.compare(name, Qt::CaseInsensitive) == 0;
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
    m_pressButton = Qt::NoButton;
    if (Event_MouseDown()) {
        m_pressButton = event->button();
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
    m_pressButton = Qt::NoButton;
    event->accept();
    Event_MouseUp();
}

void CanvasButton::enterEvent(QEnterEvent *event)
{
    Q_UNUSED(event)
    Event_MouseEnter();
}

void CanvasButton::leaveEvent(QEvent *event)
{
    Q_UNUSED(event)
    Event_MouseExit();
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
    if (isState(QLatin1String("normal")))
        fillRounded(painter, QRectF(0, 0, w, h), m_bgColor);
    else if (isState(QLatin1String("pushed")))
        fillRounded(painter, QRectF(6 / 2, 6 / 2, w - 6, h - 6), pushedColor);
    else if (isState(QLatin1String("hover")))
        fillRounded(painter, QRectF(1, 1, w - 2, h - 2), hoverColor);

    painter.setPen(m_textColor);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(captionFont());
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QPointF origin = captionPosition(w, h, metrics.horizontalAdvance(m_caption), metrics.ascent());
    painter.drawText(origin, m_caption);
}
