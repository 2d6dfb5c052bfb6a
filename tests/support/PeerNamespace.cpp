// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/PeerNamespace.h"

#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/HostNamespaces.h"

#include <QCoreApplication>

PeerNamespace::PeerNamespace()
{
    const qint64 pid = QCoreApplication::applicationPid();
    // Unique per test process: the names stay below the 15 characters of an interface name.
    m_name = QStringLiteral("brvdlg%1").arg(pid);
    m_link = QStringLiteral("brvd%1").arg(pid);
    m_subnet = QStringLiteral("10.97.%1").arg(20 + pid % 200);
}

PeerNamespace::~PeerNamespace()
{
    destroy();
}

bool PeerNamespace::create(QString *why)
{
    *why = HostNamespaces::unavailableReason();
    if (!why->isEmpty())
        return false;
    QString output;
    if (!Command::run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("add"), m_name}, &output)) {
        *why = QStringLiteral("ip netns add failed: ") + output;
        return false;
    }
    m_created = true;
    const QString script = QStringLiteral(R"(set -e
ip link add %2 type veth peer name veth0 netns %1
ip addr add %3.1/24 dev %2
ip link set %2 up
ip -n %1 link set lo up
ip -n %1 addr add %3.2/24 dev veth0
ip -n %1 link set veth0 up
)")
                               .arg(m_name, m_link, m_subnet);
    if (!Command::run(QStringLiteral("sh"), {QStringLiteral("-c"), script}, &output)) {
        *why = QStringLiteral("setting up the link failed: ") + output;
        destroy();
        return false;
    }
    return true;
}

ChildProcess *PeerNamespace::startTool(const QString &tool, const QStringList &arguments, QString *why)
{
    const QString program = qEnvironmentVariable("BRENVALE_BUILD_DIR") + QStringLiteral("/tools/") + tool;
    auto process = std::make_unique<ChildProcess>(tool);
    if (!process->start(m_name, program, arguments) || !process->waitUntilListening(10000)) {
        *why = tool + QStringLiteral(" did not start: ") + process->tail();
        return nullptr;
    }
    m_tools.push_back(std::move(process));
    return m_tools.back().get();
}

void PeerNamespace::destroy()
{
    m_tools.clear();
    if (!m_created)
        return;
    Command::run(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("del"), m_link}, nullptr);
    Command::run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), m_name}, nullptr);
    m_created = false;
}
