// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QStringList>

#include <functional>
#include <optional>

// The host's IPv4 addresses as last read, for telling our own group messages from a peer's
// on every message that comes in. Reading them means asking the kernel, so the list is kept:
// for at most MaxAgeMs for an ordinary look, and a sender missing from it can ask for a fresh
// one. A fresh read is granted at most once per FreshIntervalMs, however many senders miss,
// plus once after each change the host reports: a list read within that interval and with no
// change since is fresh already, so a miss against it is a real peer.
class HostAddressCache
{
public:
    static constexpr qint64 MaxAgeMs = 1000;
    static constexpr qint64 FreshIntervalMs = 250;

    using Reader = std::function<QStringList()>;
    using Clock = std::function<qint64()>;

    HostAddressCache(Reader read, Clock monotonicMs);

    // At most MaxAgeMs old, and read anew after a change.
    QStringList addresses();
    // Read now, unless the list is already fresh in the sense above.
    QStringList fresh();
    // The host's interfaces or addresses changed: the list no longer holds.
    void changed() { m_changed = true; }

private:
    QStringList readIfOlderThan(qint64 ms);

    Reader m_read;
    Clock m_monotonicMs;
    QStringList m_addresses;
    std::optional<qint64> m_readAt;
    bool m_changed = false;
};
