// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// Reading the event lines of the relay box and graphics server simulators.
namespace SimulatorOutput {

// `command from <addr>:<port> "<bytes>" at <us>` of the relay box.
struct RelayCommandLine
{
    QString fromAddress;
    int fromPort = 0;
    QByteArray data;
};
// The commands among the lines, in order; other lines (replies) are left out.
QList<RelayCommandLine> relayCommands(const QStringList &lines);

// One JSON line of the graphics server.
struct GraphicsRequest
{
    QString method;
    QString path;
    QString peer;
    QJsonObject headers;
    QByteArray body;
};
QList<GraphicsRequest> graphicsRequests(const QStringList &lines);

// The simulators' quoting undone: \\ \" \n \r \t and \xHH.
QByteArray unescape(const QString &quoted);

} // namespace SimulatorOutput
