// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/HostNamespaces.h"

#include "support/Command.h"

#include <QCoreApplication>

namespace {
const QString ip = QStringLiteral("ip");
const QString switchHost = QStringLiteral("SW");
} // namespace

HostNamespaces::HostNamespaces(const QString &tag, int subnet)
    : m_prefix(QStringLiteral("brv%1%2").arg(tag).arg(QCoreApplication::applicationPid())), m_subnet(subnet)
{ }

HostNamespaces::~HostNamespaces()
{
    remove();
}

QString HostNamespaces::unavailableReason()
{
    QString uid;
    if (!Command::run(QStringLiteral("id"), {QStringLiteral("-u")}, &uid))
        return QStringLiteral("cannot tell the user id: ") + uid;
    if (uid != QLatin1String("0"))
        return QStringLiteral("building network namespaces needs root; run the suite as root "
                              "(scripts/netns-run.sh) to drive the program across hosts");
    // Root in a user namespace passes the test above but may not mount /run/netns: try it.
    const QString probe = QStringLiteral("brvprobe%1").arg(QCoreApplication::applicationPid());
    QString out;
    if (!Command::run(ip, {QStringLiteral("netns"), QStringLiteral("add"), probe}, &out))
        return QStringLiteral("cannot create network namespaces here: ") + out;
    Command::run(ip, {QStringLiteral("netns"), QStringLiteral("del"), probe});
    return {};
}

bool HostNamespaces::runStep(const QString &program, const QStringList &arguments)
{
    QString out;
    if (Command::run(program, arguments, &out))
        return true;
    m_error = program + u' ' + arguments.join(u' ') + QStringLiteral(": ") + out;
    return false;
}

bool HostNamespaces::create(const QStringList &hosts)
{
    remove();
    m_error.clear();
    m_hosts = hosts;

    // A stale namespace of a crashed run with the same process id would make `add` fail.
    const QStringList all = QStringList(hosts) << switchHost;
    for (const QString &host : all)
        Command::run(ip, {QStringLiteral("netns"), QStringLiteral("del"), namespaceOf(host)});

    for (const QString &host : all) {
        if (!runStep(ip, {QStringLiteral("netns"), QStringLiteral("add"), namespaceOf(host)})) {
            remove();
            return false;
        }
        m_created.append(namespaceOf(host));
    }

    const QString sw = namespaceOf(switchHost);
    // Snooping off: the bridge floods every group datagram, as a plain switch would.
    bool ok = runStep(ip,
                  {QStringLiteral("-n"), sw, QStringLiteral("link"), QStringLiteral("add"), QStringLiteral("br0"),
                      QStringLiteral("type"), QStringLiteral("bridge"), QStringLiteral("mcast_snooping"),
                      QStringLiteral("0")})
        && runStep(ip,
            {QStringLiteral("-n"), sw, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("br0"),
                QStringLiteral("up")});
    for (qsizetype i = 0; ok && i < hosts.size(); ++i)
        ok = connectHost(hosts.at(i));
    if (!ok)
        remove();
    return ok;
}

bool HostNamespaces::connectHost(const QString &host)
{
    const QString sw = namespaceOf(switchHost);
    const QString ns = namespaceOf(host);
    const QString port = QStringLiteral("p") + host;
    return runStep(ip,
               {QStringLiteral("-n"), sw, QStringLiteral("link"), QStringLiteral("add"), port, QStringLiteral("type"),
                   QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), QStringLiteral("veth0"),
                   QStringLiteral("netns"), ns})
        && runStep(ip,
            {QStringLiteral("-n"), sw, QStringLiteral("link"), QStringLiteral("set"), port, QStringLiteral("master"),
                QStringLiteral("br0"), QStringLiteral("up")})
        && runStep(ip,
            {QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                QStringLiteral("up")})
        && runStep(ip,
            {QStringLiteral("-n"), ns, QStringLiteral("addr"), QStringLiteral("add"),
                addressOf(host) + QStringLiteral("/24"), QStringLiteral("dev"), QStringLiteral("veth0")})
        && runStep(ip,
            {QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("veth0"),
                QStringLiteral("up")})
        && runStep(ip,
            {QStringLiteral("-n"), ns, QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("224.0.0.0/4"),
                QStringLiteral("dev"), QStringLiteral("veth0")});
}

bool HostNamespaces::replug(const QString &host)
{
    m_error.clear();
    // Deleting one end of a veth pair deletes the other.
    return runStep(ip,
               {QStringLiteral("-n"), namespaceOf(switchHost), QStringLiteral("link"), QStringLiteral("del"),
                   QStringLiteral("p") + host})
        && connectHost(host);
}

void HostNamespaces::remove()
{
    while (!m_created.isEmpty())
        Command::run(ip, {QStringLiteral("netns"), QStringLiteral("del"), m_created.takeLast()});
}

QString HostNamespaces::namespaceOf(const QString &host) const
{
    return m_prefix + host;
}

QString HostNamespaces::addressOf(const QString &host) const
{
    const qsizetype position = m_hosts.indexOf(host);
    if (position < 0)
        return {};
    return QStringLiteral("10.99.%1.%2").arg(m_subnet).arg(position + 1);
}
