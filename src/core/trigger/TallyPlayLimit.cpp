// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TallyPlayLimit.h"

#include <QStringList>
#include <QTimer>

TallyPlayLimit::TallyPlayLimit(
    std::function<qint64()> monotonicMs, std::function<void(const QString &)> systemLog, QObject *parent)
    : QObject(parent), m_monotonicMs(std::move(monotonicMs)), m_systemLog(std::move(systemLog))
{
    // Armed only while skips wait to be told, so it may be precise: a coarse one could come late.
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { tell(m_monotonicMs()); });
}

bool TallyPlayLimit::request(qint64 nowMs, const std::function<int()> &runsAlive)
{
    if (m_starts.take(nowMs)) {
        if (runsAlive() < MaxAlive) {
            tell(nowMs);
            return true;
        }
        ++m_skippedBusy;
    } else {
        ++m_skippedFast;
    }
    if (!m_reportedAt || nowMs < *m_reportedAt || nowMs - *m_reportedAt >= ReportPeriodMs)
        tell(nowMs);
    else if (!m_timer->isActive())
        m_timer->start(static_cast<int>(*m_reportedAt + ReportPeriodMs - nowMs));
    return false;
}

void TallyPlayLimit::tell(qint64 nowMs)
{
    if (m_skippedFast + m_skippedBusy == 0)
        return;
    QStringList reasons;
    if (m_skippedFast > 0)
        reasons.append(QStringLiteral("%1 time(s): the tally switches too fast").arg(m_skippedFast));
    if (m_skippedBusy > 0)
        reasons.append(QStringLiteral("%1 time(s): %2 runs have not ended").arg(m_skippedBusy).arg(MaxAlive));
    m_skippedFast = 0;
    m_skippedBusy = 0;
    m_reportedAt = nowMs;
    m_timer->stop();
    m_systemLog(QStringLiteral("Play from tally skipped ") + reasons.join(QStringLiteral("; ")));
}
