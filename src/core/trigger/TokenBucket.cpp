// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TokenBucket.h"

void TokenBucket::refill(qint64 nowMs)
{
    // A millisecond earns perSecond thousandths of a token, so rates that are no whole number
    // of milliseconds apart (60 a second) are kept exactly.
    if (m_refilledAt && nowMs > *m_refilledAt)
        m_milliTokens = qMin(m_burst * 1000LL, m_milliTokens + (nowMs - *m_refilledAt) * m_perSecond);
    else if (m_refilledAt && nowMs < *m_refilledAt)
        m_milliTokens -= m_milliTokens % 1000; // after a step back the next token starts afresh
    m_refilledAt = nowMs;
}

bool TokenBucket::canTake(qint64 nowMs)
{
    refill(nowMs);
    return m_milliTokens >= 1000;
}

bool TokenBucket::take(qint64 nowMs)
{
    if (!canTake(nowMs))
        return false;
    m_milliTokens -= 1000;
    return true;
}
