// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Prints the multicast address a peer-group name stands for, e.g. for "Brenvale".
#include "core/groupmsg/EasyUDPSocket.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: brenvale-group-address GROUP-NAME\n";
        return 2;
    }
    QTextStream(stdout) << EasyUDPSocket::HashGroupNameToIP(args.at(1)) << '\n';
    return 0;
}
