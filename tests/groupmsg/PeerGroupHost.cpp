// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// One member of the peer group, for the cross-host test: binds port 8083, registers in the
// group "Brenvale", joins it again when the host's network changes, as the program does, prints
// what happens as lines and takes commands on standard input:
//   rollcall | send <command> <data> | unregister | members | quit
// Output lines: "ready <address>", "joined <address>", "left <address>",
// "message <from> <command> <data>", preceded by "own <from>" when the host takes the sender
// for itself, "members <a>,<b>,...", "error <code>".
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/Services.h"
#include "core/trigger/GroupRejoin.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

namespace {
void say(const QString &line)
{
    static QTextStream out(stdout);
    out << line << Qt::endl;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString group = QStringLiteral("Brenvale");

    AutoDiscovery peer;
    const HostNetwork::View network = Services::system(nullptr).network;
    QObject::connect(&peer, &AutoDiscovery::MemberJoined, &app,
        [](const QString &address) { say(QStringLiteral("joined ") + address); });
    QObject::connect(&peer, &AutoDiscovery::MemberLeft, &app,
        [](const QString &address) { say(QStringLiteral("left ") + address); });
    QObject::connect(
        &peer, &AutoDiscovery::ReceivedMessage, &app, [&](const QString &from, qint32 command, const QByteArray &data) {
            if (network.isOwnAddress(from))
                say(QStringLiteral("own ") + from);
            say(QStringLiteral("message %1 %2 %3").arg(from).arg(command).arg(QString::fromUtf8(data)));
        });
    QObject::connect(&peer, &AutoDiscovery::Error, &app, [](int code) { say(QStringLiteral("error %1").arg(code)); });

    peer.Bind(8083);
    if (!peer.IsConnected())
        return 1;
    peer.Register(group);
    GroupRejoin rejoin({{peer.GroupAddress(), [&peer] { return peer.JoinAgain(); }}}, network);
    say(QStringLiteral("ready ") + peer.LocalAddress());

    QFile input;
    if (!input.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 1;
    QSocketNotifier notifier(0, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        // Commands come as whole lines written at once; read one byte at a time so nothing
        // is held back in a buffer the notifier does not know of.
        QByteArray line;
        char c = 0;
        while (input.read(&c, 1) == 1 && c != '\n')
            line.append(c);
        if (line.isEmpty() && c != '\n') {
            notifier.setEnabled(false);
            app.quit(); // end of input
            return;
        }
        const QString command = QString::fromUtf8(line).trimmed();
        if (command == QLatin1String("rollcall")) {
            peer.UpdateMemberList();
        } else if (command.startsWith(QLatin1String("send "))) {
            const QStringList parts = command.split(u' ');
            peer.SendMessageToGroup(parts.value(1).toInt(), parts.mid(2).join(u' ').toUtf8());
        } else if (command == QLatin1String("unregister")) {
            peer.Unregister(group);
        } else if (command == QLatin1String("members")) {
            say(QStringLiteral("members ") + peer.GetMemberList().join(u','));
        } else if (command == QLatin1String("quit")) {
            app.quit();
        }
    });
    return app.exec();
}
