// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/PeerBoxes.h"

#include "core/platform/DebugLog.h"
#include "core/platform/ErrorReport.h"
#include "gui/framework/MsgBox.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

PeerBoxes::PeerBoxes(
    std::function<bool()> mustWait, std::function<qint64()> monotonicMs, MsgBox::Responder answerer, QObject *parent)
    : QObject(parent), m_mustWait(std::move(mustWait)), m_monotonicMs(std::move(monotonicMs)),
      m_answerer(std::move(answerer))
{ }

void PeerBoxes::show(const QString &from, const QString &text)
{
    if (m_perSender.value(from) >= MaxPerSender || m_waiting.size() >= MaxWaiting) {
        dropped(from, text);
        return;
    }
    m_waiting.enqueue({from, text});
    ++m_perSender[from];
    if (m_showing)
        return; // the running loop of boxes comes to it
    if (mustWait())
        scheduleShow();
    else
        showWaiting();
}

bool PeerBoxes::mustWait() const
{
    return QGuiApplication::mouseButtons() != Qt::NoButton || (m_mustWait && m_mustWait());
}

bool PeerBoxes::pressHoldsBack()
{
    if (QGuiApplication::mouseButtons() == Qt::NoButton) {
        m_pressWaitSinceMs.reset();
        return false;
    }
    const qint64 nowMs = m_monotonicMs();
    if (!m_pressWaitSinceMs)
        m_pressWaitSinceMs = nowMs;
    return nowMs - *m_pressWaitSinceMs < MaxPressWaitMs;
}

void PeerBoxes::scheduleShow()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // A receive pass is over at the next turn of the loop; a held button takes a while longer.
    const int delayMs = QGuiApplication::mouseButtons() != Qt::NoButton ? PressPollMs : 0;
    QTimer::singleShot(delayMs, this, [this] {
        m_scheduled = false;
        ErrorReport::guarded("PeerBoxes.showWaiting", [this] { showWaiting(); });
    });
}

void PeerBoxes::showWaiting()
{
    if (m_showing)
        return;
    if (pressHoldsBack()) {
        scheduleShow();
        return;
    }
    m_showing = true;
    // The owner may be closed while a box is open, which deletes this object.
    const QPointer<PeerBoxes> alive(this);
    const auto showingEnds = qScopeGuard([&] {
        if (alive)
            m_showing = false;
    });
    while (!m_waiting.isEmpty()) {
        // The operator may have pressed a button again while the last box was open.
        if (pressHoldsBack()) {
            scheduleShow();
            return;
        }
        // The next box waits afresh.
        m_pressWaitSinceMs.reset();
        const Box box = m_waiting.dequeue();
        const auto dismissed = qScopeGuard([&] {
            if (alive)
                release(box.from);
        });
        MsgBox::show(box.text, m_answerer);
        if (!alive)
            return;
    }
    logUnloggedDrops();
}

void PeerBoxes::release(const QString &from)
{
    const auto it = m_perSender.find(from);
    if (it != m_perSender.end() && --it.value() <= 0)
        m_perSender.erase(it);
}

void PeerBoxes::dropped(const QString &from, const QString &text)
{
    if (!m_dropSecond.isValid() || m_dropSecond.elapsed() >= 1000) {
        logUnloggedDrops();
        m_dropSecond.start();
        m_dropsLogged = 0;
    }
    if (m_dropsLogged >= LoggedDropsPerSecond) {
        ++m_dropsUnlogged;
        return;
    }
    ++m_dropsLogged;
    const QString shown = text.size() > LoggedTextLength ? text.left(LoggedTextLength) + QStringLiteral("...") : text;
    DebugLog(QStringLiteral("Message from %1 not shown, too many boxes waiting: %2").arg(from, shown));
}

void PeerBoxes::logUnloggedDrops()
{
    if (m_dropsUnlogged == 0)
        return;
    DebugLog(QStringLiteral("%1 more messages not shown, too many boxes waiting").arg(m_dropsUnlogged));
    m_dropsUnlogged = 0;
}
