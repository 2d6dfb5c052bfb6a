// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TallyPlayLimit.h"

#include <QStringList>

TallyPlayLimit::Verdict TallyPlayLimit::request(qint64 nowMs, const std::function<int()> &runsAlive)
{
    Verdict verdict;
    if (m_starts.take(nowMs)) {
        if (runsAlive() < MaxAlive) {
            verdict.start = true;
            if (m_skippedFast + m_skippedBusy > 0)
                verdict.report = takeReport(nowMs);
            return verdict;
        }
        ++m_skippedBusy;
    } else {
        ++m_skippedFast;
    }
    if (!m_reportedAt || nowMs < *m_reportedAt || nowMs - *m_reportedAt >= ReportPeriodMs)
        verdict.report = takeReport(nowMs);
    return verdict;
}

QString TallyPlayLimit::takeReport(qint64 nowMs)
{
    QStringList reasons;
    if (m_skippedFast > 0)
        reasons.append(QStringLiteral("%1 time(s): the tally switches too fast").arg(m_skippedFast));
    if (m_skippedBusy > 0)
        reasons.append(QStringLiteral("%1 time(s): %2 runs have not ended").arg(m_skippedBusy).arg(MaxAlive));
    m_skippedFast = 0;
    m_skippedBusy = 0;
    m_reportedAt = nowMs;
    return QStringLiteral("Play from tally skipped ") + reasons.join(QStringLiteral("; "));
}
