// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/framework/MsgBox.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QQueue>
#include <QString>

#include <functional>
#include <optional>

// The boxes that show peer messages to the operator, one at a time, in the order the messages
// came.
//
// A box runs a modal loop, and one opened from inside the peer socket's receive pass would hold
// that pass up: a command 21 arriving meanwhile would wait for the operator while this trigger
// stays enabled. So while the pass runs a box only joins the queue, and the queue is shown from
// the event loop once the pass has returned; the pass then goes on inside the box's own loop
// and only adds to the queue.
//
// Nor does a box open while a mouse button is held in the program's windows: the box would
// take the release, and the click under way would be lost. The queue waits until the button
// is up, so the click is carried out first and the box opens after it. Qt knows the buttons only
// from the events it receives, and a release it never saw (the window hidden during a press,
// another client taking the grab) keeps a button held in its eyes until the next mouse event; so
// a box waits for a held button at most MaxPressWaitMs, then opens, and a press still under way
// is dropped by the button that took it.
//
// Anyone can send such messages, so the queue is bounded: at most MaxPerSender boxes of one
// sender (the one on screen included) and MaxWaiting waiting in all. A message that does not
// fit goes to the system log instead: a line for each of the first few in a second, a count
// for the rest.
class PeerBoxes : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxPerSender = 8;
    static constexpr int MaxWaiting = 16;
    static constexpr int LoggedDropsPerSecond = 10;
    // Characters of a dropped message's text kept in its log line.
    static constexpr int LoggedTextLength = 100;
    // How often a queue held back by a pressed mouse button looks again.
    static constexpr int PressPollMs = 20;
    // How long a box waits at most for a held mouse button.
    static constexpr int MaxPressWaitMs = 5000;

    // `mustWait` tells whether a box asked for now has to wait for the event loop; `monotonicMs`
    // times the wait for a held button; the boxes go to `answerer`.
    PeerBoxes(std::function<bool()> mustWait, std::function<qint64()> monotonicMs, MsgBox::Responder answerer,
        QObject *parent);

    // Shows `text` in a box now, or queues it, or logs it when the queue is full.
    void show(const QString &from, const QString &text);

private:
    struct Box
    {
        QString from;
        QString text;
    };

    // Whether a box asked for now must wait: a receive pass runs, or a mouse button is held.
    bool mustWait() const;
    // Whether a held mouse button still holds the next box back, counting how long it has.
    bool pressHoldsBack();
    void scheduleShow();
    void showWaiting();
    void release(const QString &from);
    void dropped(const QString &from, const QString &text);
    void logUnloggedDrops();

    std::function<bool()> m_mustWait;
    std::function<qint64()> m_monotonicMs;
    MsgBox::Responder m_answerer;
    QQueue<Box> m_waiting;
    // Boxes waiting or on screen, per sender.
    QHash<QString, int> m_perSender;
    bool m_showing = false;
    bool m_scheduled = false;
    // Since when the next box has waited for a held button, while it does.
    std::optional<qint64> m_pressWaitSinceMs;
    QElapsedTimer m_dropSecond;
    int m_dropsLogged = 0;
    int m_dropsUnlogged = 0;
};
