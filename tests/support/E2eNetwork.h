// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QStringList>

// A small private network for end-to-end tests: one network namespace per host, each with a
// veth whose other end sits on a bridge in a switch namespace, multicast routed to the veth.
// Host number i (counted from 1, in the order given) gets 10.99.<subnet>.<i>/24.
//
// Names carry a tag and the test's process id, so that parallel runs never meet. Every
// namespace made is removed by remove() or the destructor, also after a failed create();
// deleting a namespace takes its veth ends and the bridge with it.
class E2eNetwork
{
public:
    E2eNetwork(const QString &tag, int subnet);
    ~E2eNetwork();

    E2eNetwork(const E2eNetwork &) = delete;
    E2eNetwork &operator=(const E2eNetwork &) = delete;

    // Why namespaces cannot be made here (not root, no `ip netns`), or empty when they can.
    static QString unavailableReason();

    // Builds the switch and one namespace per host. On failure errorString() says why and
    // whatever was made is already removed.
    bool create(const QStringList &hosts);
    void remove();

    QString namespaceOf(const QString &host) const;
    // The host's first address, 10.99.<subnet>.<position>.
    QString addressOf(const QString &host) const;
    const QString &errorString() const { return m_error; }

    // Runs a command to its end (bounded by timeoutMs); returns whether it exited with 0.
    // Standard output and error go to `output` when given.
    static bool run(const QString &program, const QStringList &arguments, QString *output = nullptr,
                    int timeoutMs = 15000);

private:
    bool runStep(const QString &program, const QStringList &arguments);

    QString m_prefix;
    int m_subnet;
    QStringList m_hosts;
    QStringList m_created;
    QString m_error;
};
