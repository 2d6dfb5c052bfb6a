// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QStringList>

// A small private network for tests that need several hosts: one network namespace per host, each with a
// veth whose other end sits on a bridge in a switch namespace, multicast routed to the veth.
// Host number i (counted from 1, in the order given) gets 10.99.<subnet>.<i>/24.
//
// Names carry a tag and the test's process id, so that parallel runs never meet. Every
// namespace made is removed by remove() or the destructor, also after a failed create();
// deleting a namespace takes its veth ends and the bridge with it.
class HostNamespaces
{
public:
    HostNamespaces(const QString &tag, int subnet);
    ~HostNamespaces();

    HostNamespaces(const HostNamespaces &) = delete;
    HostNamespaces &operator=(const HostNamespaces &) = delete;

    // Why namespaces cannot be made here (not root, no `ip netns`), or empty when they can.
    static QString unavailableReason();

    // Builds the switch and one namespace per host. On failure errorString() says why and
    // whatever was made is already removed.
    bool create(const QStringList &hosts);
    void remove();
    // Deletes the host's veth pair and makes it again as create() did, as a network card
    // unplugged and plugged in again: same name, same address, a new interface.
    bool replug(const QString &host);

    QString namespaceOf(const QString &host) const;
    // The host's first address, 10.99.<subnet>.<position>.
    QString addressOf(const QString &host) const;
    const QString &errorString() const { return m_error; }

private:
    bool runStep(const QString &program, const QStringList &arguments);
    // The host's veth to the switch, its address and its group route.
    bool connectHost(const QString &host);

    QString m_prefix;
    int m_subnet;
    QStringList m_hosts;
    QStringList m_created;
    QString m_error;
};
