// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HostAddressCache.h"

HostAddressCache::HostAddressCache(Reader read, Clock monotonicMs)
    : m_read(std::move(read)), m_monotonicMs(std::move(monotonicMs))
{ }

QStringList HostAddressCache::addresses()
{
    return readIfOlderThan(MaxAgeMs);
}

QStringList HostAddressCache::fresh()
{
    return readIfOlderThan(FreshIntervalMs);
}

QStringList HostAddressCache::readIfOlderThan(qint64 ms)
{
    const qint64 now = m_monotonicMs();
    if (m_readAt && !m_changed && now - *m_readAt < ms)
        return m_addresses;
    m_readAt = now;
    m_changed = false;
    m_addresses = m_read();
    return m_addresses;
}
