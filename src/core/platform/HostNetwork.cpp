// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HostNetwork.h"

#include <QElapsedTimer>
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

QStringList ipv4Addresses()
{
    // Asked for every peer message, the program's own echoes included: the kernel is asked
    // at most once a second.
    static QStringList addresses;
    static QElapsedTimer age;
    if (age.isValid() && age.elapsed() < 1000)
        return addresses;
    age.start();
    addresses.clear();
    // Every IPv4 address of every interface: the echo of a group message carries the address
    // the route picked, which need not be an interface's first.
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
