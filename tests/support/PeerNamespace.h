// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class ChildProcess;

// A second host for the program's outside world: a network namespace of its own, joined to the
// test's namespace by a veth pair on a private /24. The program binds its ports on every
// address of the test's namespace, so a relay box or graphics server beside it on the same
// ports has to live on another host; tools started here run inside that namespace.
class PeerNamespace
{
public:
    PeerNamespace();
    ~PeerNamespace();
    PeerNamespace(const PeerNamespace &) = delete;
    PeerNamespace &operator=(const PeerNamespace &) = delete;

    // Builds the namespace and the link. False, with the reason, when this environment cannot
    // (not root, no `ip`).
    bool create(QString *why);

    // The peer's address, our own address on the link, and one on the link that nobody has.
    QString address() const { return m_subnet + QStringLiteral(".2"); }
    QString localAddress() const { return m_subnet + QStringLiteral(".1"); }
    QString unusedAddress() const { return m_subnet + QStringLiteral(".3"); }

    // Starts one of the build's simulators (by file name, from the build's tools folder) in
    // the peer namespace and waits until it listens; nullptr, with the reason, when it does not.
    ChildProcess *startTool(const QString &tool, const QStringList &arguments, QString *why);

private:
    void destroy();

    QString m_name;
    QString m_link;
    QString m_subnet;
    bool m_created = false;
    std::vector<std::unique_ptr<ChildProcess>> m_tools;
};
