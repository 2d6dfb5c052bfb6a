// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QStringList>

#include <functional>

class QObject;

// The host's network interfaces as the program sees them: how many are up and the IPv4
// address of each, in the platform's order. The trigger reads them through the View it is
// given (core/platform/Services.h); the functions here are the host's own.
namespace HostNetwork {

struct View
{
    std::function<int()> interfaceCount;
    // Every IPv4 address of the host, as last read (HostAddressCache.h).
    std::function<QStringList()> ipv4Addresses;
    // The same, read anew unless that was done a moment ago; unset: ipv4Addresses only.
    std::function<QStringList()> freshIPv4Addresses;
    // Calls onChange on the event loop once per burst of changes to the host's interfaces or
    // their IPv4 addresses, for as long as `context` lives; unset: changes are not watched.
    std::function<void(QObject *context, std::function<void()> onChange)> watchChanges;

    // Whether a datagram from `address` was sent by this host: the echo of our own group
    // message, which comes back from whatever address the kernel picked for it. A sender
    // missing from the list is checked against a fresh one before it counts as a peer.
    bool isOwnAddress(const QString &address) const;
};

int interfaceCount();
// Every IPv4 address of every interface, in the platform's order; the kernel is asked at
// most once a second, and again after a change.
QStringList ipv4Addresses();
// The same, asked of the kernel now unless it was asked within the last quarter second and
// nothing changed since.
QStringList freshIPv4Addresses();
// The first IPv4 address of an interface that is up and not loopback, else 127.0.0.1.
QString primaryIPv4Address();

// Watches the host's interfaces and IPv4 addresses (HostNetworkWatchLinux.cpp on Linux): from
// each change on, the address lists above are read anew, and onChange runs once per burst of
// changes, SettleMs after the first of them, while `context` lives. False when the platform
// cannot tell; the reason goes to the system log.
constexpr int SettleMs = 300;
bool watchChanges(QObject *context, std::function<void()> onChange);
// Told by the watcher: the address lists no longer hold.
void addressesChanged();
// Reads now the news of the host's network that waits unread in each watcher, as the watcher
// does on the event loop; whether some of it was a change, which leaves the address lists
// stale. A message sent from a new address can be handled in the same turn of the loop as
// that news, before it.
bool readWaitingNews();

} // namespace HostNetwork
