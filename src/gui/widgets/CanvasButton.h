// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

// A self-drawn button: a filled rounded rectangle whose colour and inset show its state, with a
// bold caption centred on it. The two kinds (medButton, largeButton) are this one class and
// differ only in how the mouse moves the state: a momentary button follows the pointer, a
// latching one shows "pushed" from a press until its owner says otherwise.
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
    // The looks. Other is any name outside the three: it fills nothing and still draws the
    // caption.
    enum class State { Normal, Hover, Pushed, Other };
    enum class Kind { Momentary, Latching };

    explicit CanvasButton(Kind kind, QWidget *parent = nullptr);
    ~CanvasButton() override;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    void setState(State state) { m_state = state; }
    // The state by name, as design values give it: "normal", "hover" or "pushed" in any letter
    // case; any other name is Other, which reads back as an empty name.
    QString state() const;
    void setState(const QString &name);
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
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The mouse table of both kinds. Event_MouseDown returns true to claim the press, so that
    // the release that ends it reaches Event_MouseUp.
    bool Event_MouseDown();
    void Event_MouseEnter();
    void Event_MouseExit();
    void Event_MouseUp();

    Kind m_kind;
    QString m_caption;
    State m_state = State::Normal;
    QColor m_textColor;
    QColor m_bgColor;
    qint64 m_textSize = 0;
    QPixmap m_backdrop;
    // The mouse button whose press this button claimed, NoButton when no press is open.
    Qt::MouseButton m_pressButton = Qt::NoButton;
};
