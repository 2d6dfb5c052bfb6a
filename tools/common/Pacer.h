// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Raises tick() count times (or for ever when count is 0) at a steady rate. Each tick is
// scheduled from the start time, not from the previous tick, so a slow tick does not push all
// later ones back and the average rate stays exact.
class Pacer : public QObject
{
    Q_OBJECT
public:
    Pacer(qint64 count, double perSecond, QObject *parent = nullptr);

    void start();

Q_SIGNALS:
    void tick(qint64 number); // counted from 1
    void finished();

private:
    void fire();
    void scheduleNext();

    qint64 m_count;
    double m_perSecond;
    qint64 m_done = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};
