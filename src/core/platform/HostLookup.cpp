// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <system_error>
#include <thread>

// What a lookup thread shares with the object that started it. The object clears `owner` when
// it goes; a thread posts its result only while `owner` is set, holding the lock, so a result
// is either posted before the object goes (and dropped with its posted events) or not at all.
struct HostLookup::Shared
{
    std::mutex mutex;
    HostLookup *owner = nullptr;
};

namespace {
// As libcurl decides whether to ask for IPv6 addresses too: when this host can open an IPv6
// socket at all.
bool ipv6Works()
{
    static const bool works = [] {
        const int probe = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (probe < 0)
            return false;
        ::close(probe);
        return true;
    }();
    return works;
}

QList<QByteArray> resolve(const QByteArray &host, int family)
{
    addrinfo hints = {};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), nullptr, &hints, &found) != 0)
        return {};
    QList<QByteArray> addresses;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        QByteArray address;
        if (entry->ai_family == AF_INET
            && ::inet_ntop(
                AF_INET, &reinterpret_cast<const sockaddr_in *>(entry->ai_addr)->sin_addr, text, sizeof text))
            address = text;
        else if (entry->ai_family == AF_INET6
            && ::inet_ntop(
                AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(entry->ai_addr)->sin6_addr, text, sizeof text))
            address = '[' + QByteArray(text) + ']';
        if (!address.isEmpty() && !addresses.contains(address))
            addresses.append(address);
    }
    ::freeaddrinfo(found);
    return addresses;
}
} // namespace

HostLookup::HostLookup(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

HostLookup::~HostLookup()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

bool HostLookup::isNumeric(const QByteArray &host)
{
    in_addr ipv4 {};
    return host.startsWith('[') || ::inet_pton(AF_INET, host.constData(), &ipv4) == 1;
}

void HostLookup::lookup(const QByteArray &host)
{
    if (m_running.contains(host))
        return;
    m_running.insert(host);
    const int family = ipv6Works() ? AF_UNSPEC : AF_INET;
    try {
        std::thread([shared = m_shared, host, family] {
            const QList<QByteArray> addresses = resolve(host, family);
            const std::lock_guard lock(shared->mutex);
            if (HostLookup *owner = shared->owner) {
                QMetaObject::invokeMethod(
                    owner, [owner, host, addresses] { owner->finish(host, addresses); }, Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error &) {
        // No thread to be had: the lookup fails as one that found nothing, on the next turn.
        QMetaObject::invokeMethod(
            this, [this, host] { finish(host, {}); }, Qt::QueuedConnection);
    }
}

void HostLookup::finish(const QByteArray &host, const QList<QByteArray> &addresses)
{
    m_running.remove(host);
    Q_EMIT found(host, addresses);
}
