// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HostNetwork.h"

#include "core/platform/Clock.h"
#include "core/platform/HostAddressCache.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace HostNetwork {
namespace {
QString ipv4Of(const QNetworkInterface &interface)
{
    const auto entries = interface.addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip().toString();
    }
    return QString();
}
} // namespace

int interfaceCount()
{
    // Only interfaces that are up: a loopback that is down carries nothing.
    int up = 0;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (interface.flags() & QNetworkInterface::IsUp)
            ++up;
    }
    return up;
}

namespace {
QStringList readIPv4Addresses()
{
    // Every IPv4 address of every interface: the echo of a group message carries the address
    // the route picked, which need not be an interface's first.
    QStringList addresses;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                addresses.append(entry.ip().toString());
        }
    }
    return addresses;
}

HostAddressCache &hostAddresses()
{
    // Asked for every peer message, the program's own echoes included.
    static HostAddressCache cache(&readIPv4Addresses, &Clock::monotonicMs);
    return cache;
}
} // namespace

QStringList ipv4Addresses()
{
    return hostAddresses().addresses();
}

QStringList freshIPv4Addresses()
{
    // News of a change may wait unread: a message sent from a new address can be handled in
    // the same turn of the loop as that news, before it. Read here, a change marks the list
    // stale once, however many senders look after it, and news of nothing relevant not at all.
    readWaitingNews();
    return hostAddresses().fresh();
}

void addressesChanged()
{
    hostAddresses().changed();
}

bool View::isOwnAddress(const QString &address) const
{
    // While our interface has no IPv4 address our group messages go out, and come back, from
    // 0.0.0.0. No other instance can be heard from there: the kernel drops a group datagram
    // from the unspecified address unless the group is a local-link one (224.0.0.x), which
    // neither of ours is.
    if (address == QLatin1String("0.0.0.0"))
        return true;
    if (ipv4Addresses && ipv4Addresses().contains(address))
        return true;
    // Our address may have changed since the list was read: the echo of a message sent from
    // the new one must not pass for a peer's.
    return freshIPv4Addresses && freshIPv4Addresses().contains(address);
}

QString primaryIPv4Address()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        const QString address = ipv4Of(interface);
        if (!address.isEmpty())
            return address;
    }
    return QStringLiteral("127.0.0.1");
}

} // namespace HostNetwork
