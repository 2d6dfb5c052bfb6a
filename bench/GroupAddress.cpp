// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Prints the multicast address of a peer group (default "Brenvale"), as the program computes it.
#include "core/groupmsg/EasyUDPSocket.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString group = arguments.size() > 1 ? arguments.at(1) : QStringLiteral("Brenvale");
    QTextStream(stdout) << EasyUDPSocket::HashGroupNameToIP(group) << '\n';
    return 0;
}
