// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>

// A self-drawn button: a filled rounded rectangle whose colour and inset show its state, with a
// bold caption centred on it. The two kinds (medButton, largeButton) are this one class and
// differ only in how the mouse moves the state: a momentary button follows the pointer, a
// latching one shows "pushed" from a press until its owner says otherwise.
//
// The widget is transparent (it paints no background of its own) and takes no keyboard focus
// at all: SetFocus() on it does nothing, so the keyboard stays where the operator put it.
// Setting a property does not repaint: a change made by the owner shows once the owner calls
// Invalidate or Refresh.
//
// A press whose release can no longer come (a modal box blocked the window, the button was
// hidden, the release went to another client) is dropped without an Action, and the button
// takes back the look it had before the press.
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
    void setState(State state);
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
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The mouse table of both kinds. Event_MouseDown returns true to claim the press, so that
    // the release that ends it reaches Event_MouseUp.
    bool Event_MouseDown();
    void Event_MouseEnter();
    void Event_MouseExit();
    void Event_MouseUp();

    void claimPress(Qt::MouseButton button);
    void endPress();
    // Whether the application saw the claimed press and has seen its button go up since,
    // although no release came here.
    bool pressLost() const;
    // Drops an open press without an Action and gives back the look from before it.
    void dropPress();

    Kind m_kind;
    QString m_caption;
    State m_state = State::Normal;
    QColor m_textColor;
    QColor m_bgColor;
    qint64 m_textSize = 0;
    QPixmap m_backdrop;
    // The mouse button whose press this button claimed, NoButton when no press is open.
    Qt::MouseButton m_pressButton = Qt::NoButton;
    // The application's own record of held buttons included the press; presses sent straight
    // to the widget leave it out, and then only the events here tell.
    bool m_pressSeenByApplication = false;
    // The look before the press, given back when the press is dropped, unless the owner has set
    // a look of its own since.
    State m_lookBeforePress = State::Normal;
    bool m_lookIsThePress = false;
    // The top-level window watched while a press is open.
    QPointer<QWidget> m_watchedWindow;
};
