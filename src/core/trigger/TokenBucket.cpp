// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TokenBucket.h"

bool TokenBucket::take(qint64 nowMs)
{
    // A full bucket earns nothing, so its refill counts from the moment a token is spent.
    if (!m_refilledAt || nowMs < *m_refilledAt || m_tokens == m_burst) {
        m_refilledAt = nowMs;
    } else {
        const qint64 earned = (nowMs - *m_refilledAt) / m_refillMs;
        if (earned > 0) {
            m_tokens = static_cast<int>(qMin<qint64>(m_burst, m_tokens + earned));
            *m_refilledAt += earned * m_refillMs;
        }
    }
    if (m_tokens == 0)
        return false;
    --m_tokens;
    return true;
}
