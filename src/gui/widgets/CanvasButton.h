// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

// A self-drawn button: a filled rounded rectangle whose colour and inset show `state`, with a
// bold caption centred on it. medButton and largeButton differ only in how the mouse moves
// the state, so they supply the four mouse handlers and this class does the rest.
//
// The widget is transparent (it paints no background of its own) and never takes focus by
// mouse or tab; the owner can still give it focus with SetFocus(). Setting a property does
// not repaint: a change made by the owner shows once the owner calls Invalidate or Refresh.
class CanvasButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString state READ state WRITE setState)
    Q_PROPERTY(QColor TextColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor bgColor READ bgColor WRITE setBgColor)
    Q_PROPERTY(qint64 textSize READ textSize WRITE setTextSize)
    Q_PROPERTY(QPixmap Backdrop READ backdrop WRITE setBackdrop)

public:
    explicit CanvasButton(QWidget *parent = nullptr);
    ~CanvasButton() override;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    QString state() const { return m_state; }
    void setState(const QString &state) { m_state = state; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color) { m_textColor = color; }
    QColor bgColor() const { return m_bgColor; }
    void setBgColor(const QColor &color) { m_bgColor = color; }
    // Caption size in points; 0 (or less) means the application's default size.
    qint64 textSize() const { return m_textSize; }
    void setTextSize(qint64 size) { m_textSize = size; }
    // Kept only until the next paint, which drops it without ever drawing it.
    QPixmap backdrop() const { return m_backdrop; }
    void setBackdrop(const QPixmap &picture) { m_backdrop = picture; }

    // Both schedule a repaint of the whole button; the argument (erase the background first)
    // is accepted for the callers' sake and has no effect, since the button is transparent.
    void Invalidate(bool eraseBackground = true);
    void Refresh(bool eraseBackground = true);
    void SetFocus();

    // True when `state` names the given look, ignoring letter case.
    bool isState(QLatin1String name) const;

    // The caption font: bold Helvetica (its metric twin where Helvetica itself is missing) at
    // textSize points, or at the application's default size when textSize is 0.
    QFont captionFont() const;

    // Where the caption's baseline starts on a drawing area gWidth x gHeight: x centres the
    // caption, y puts the baseline so the ascent sits in the middle. Both halvings truncate
    // toward zero, so a caption wider than the area starts at a negative x.
    static QPointF captionPosition(qreal gWidth, qreal gHeight, qreal captionWidth, qreal ascent);

Q_SIGNALS:
    void Action();

protected:
    // The mouse table of each kind of button. Event_MouseDown returns true to claim the press,
    // so that the release that ends it reaches Event_MouseUp.
    virtual bool Event_MouseDown() = 0;
    virtual void Event_MouseEnter() = 0;
    virtual void Event_MouseExit() = 0;
    virtual void Event_MouseUp() = 0;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_caption;
    QString m_state;
    QColor m_textColor;
    QColor m_bgColor;
    qint64 m_textSize = 0;
    QPixmap m_backdrop;
    // The mouse button whose press this button claimed, NoButton when no press is open.
    Qt::MouseButton m_pressButton = Qt::NoButton;
};
