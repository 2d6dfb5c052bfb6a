// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TallyPlayLimit.h"

TallyPlayLimit::Verdict TallyPlayLimit::request(qint64 nowMs)
{
    if (!m_refilledAt || nowMs < *m_refilledAt || m_tokens == Burst) {
        m_refilledAt = nowMs;
    } else {
        const qint64 earned = (nowMs - *m_refilledAt) / RefillMs;
        if (earned > 0) {
            m_tokens = static_cast<int>(qMin<qint64>(Burst, m_tokens + earned));
            *m_refilledAt += earned * RefillMs;
        }
    }

    Verdict verdict;
    if (m_tokens > 0) {
        --m_tokens;
        verdict.start = true;
        if (m_unreported > 0)
            verdict.report = takeReport(nowMs);
    } else {
        ++m_unreported;
        if (!m_reportedAt || nowMs < *m_reportedAt || nowMs - *m_reportedAt >= ReportPeriodMs)
            verdict.report = takeReport(nowMs);
    }
    return verdict;
}

QString TallyPlayLimit::takeReport(qint64 nowMs)
{
    const QString line
        = QStringLiteral("Play from tally skipped %1 time(s): the tally switches too fast").arg(m_unreported);
    m_unreported = 0;
    m_reportedAt = nowMs;
    return line;
}
