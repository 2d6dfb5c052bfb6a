// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Clock.h"

#include <chrono>

namespace Clock {

QDateTime LocalSeconds::at(qint64 utcSecond, qint64 nowMs)
{
    if (m_reads == 0 || utcSecond != m_second || nowMs < m_readAt || nowMs - m_readAt >= LocalReuseMs) {
        m_local = QDateTime::fromSecsSinceEpoch(utcSecond, Qt::LocalTime);
        m_second = utcSecond;
        m_readAt = nowMs;
        ++m_reads;
    }
    return m_local;
}

QDateTime now()
{
    thread_local LocalSeconds local;
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    // Whole seconds, rounded down also before 1970.
    return local.at(std::chrono::floor<std::chrono::seconds>(sinceEpoch).count(), monotonicMs());
}

qint64 monotonicMs()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
}

} // namespace Clock
