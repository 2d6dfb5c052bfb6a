// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/SimulatorOutput.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace SimulatorOutput {

QByteArray unescape(const QString &quoted)
{
    const QByteArray in = quoted.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c != '\\' || i + 1 >= in.size()) {
            out.append(c);
            continue;
        }
        const char next = in.at(++i);
        switch (next) {
        case 'n':
            out.append('\n');
            break;
        case 'r':
            out.append('\r');
            break;
        case 't':
            out.append('\t');
            break;
        case 'x':
            out.append(static_cast<char>(in.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
            break;
        default:
            out.append(next);
            break;
        }
    }
    return out;
}

QList<RelayCommandLine> relayCommands(const QStringList &lines)
{
    static const QRegularExpression pattern(QStringLiteral(R"re(^command from (\S+):(\d+) "(.*)" at \d+$)re"));
    QList<RelayCommandLine> commands;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch())
            commands.append({match.captured(1), match.captured(2).toInt(), unescape(match.captured(3))});
    }
    return commands;
}

QList<GraphicsRequest> graphicsRequests(const QStringList &lines)
{
    QList<GraphicsRequest> requests;
    for (const QString &line : lines) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object.isEmpty())
            continue;
        requests.append(
            {object.value(QLatin1String("method")).toString(), object.value(QLatin1String("path")).toString(),
                object.value(QLatin1String("peer")).toString(), object.value(QLatin1String("headers")).toObject(),
                object.value(QLatin1String("body")).toString().toUtf8()});
    }
    return requests;
}

} // namespace SimulatorOutput
