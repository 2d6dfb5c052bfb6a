// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Pacer.h"

#include <algorithm>

Pacer::Pacer(qint64 count, double perSecond, QObject *parent) : QObject(parent), m_count(count), m_perSecond(perSecond)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Pacer::fire);
}

void Pacer::start()
{
    m_done = 0;
    m_clock.start();
    m_timer.start(0);
}

void Pacer::fire()
{
    ++m_done;
    Q_EMIT tick(m_done);
    if (m_count != 0 && m_done >= m_count) {
        Q_EMIT finished();
        return;
    }
    scheduleNext();
}

void Pacer::scheduleNext()
{
    const double dueMs = static_cast<double>(m_done) * 1000.0 / m_perSecond;
    const qint64 waitMs = static_cast<qint64>(dueMs) - m_clock.elapsed();
    m_timer.start(static_cast<int>(std::clamp<qint64>(waitMs, 0, 24 * 3600 * 1000)));
}
