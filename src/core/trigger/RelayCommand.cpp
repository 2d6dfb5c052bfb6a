// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/RelayCommand.h"

#include "core/platform/OutsideText.h"
#include "core/trigger/NumberText.h"

#include <QHostAddress>

QByteArray RelayCommand::datagram(int code, const QString &newAddress)
{
    QByteArray bytes = QByteArrayLiteral("cmdkey") + QByteArray::number(code) + '\n';
    if (code == NewAddress)
        bytes += newAddress.toUtf8() + '\n';
    return bytes;
}

QString RelayCommand::screenText(int code)
{
    switch (code) {
    case Key1On:
        return QStringLiteral("Sent Key 1 On");
    case Key1Off:
        return QStringLiteral("Sent Key 1 Off");
    case Key2On:
        return QStringLiteral("Sent Key 2 On");
    case Key2Off:
        return QStringLiteral("Sent Key 2 Off");
    case NewAddress:
        return QStringLiteral("New IP address sent to relay box");
    default:
        return QString();
    }
}

QString RelayCommand::dailyLogText(int code)
{
    switch (code) {
    case Key1On:
        return QStringLiteral("Key 1 On");
    case Key1Off:
        return QStringLiteral("Key 1 Off");
    case Key2On:
        return QStringLiteral("Key 2 On");
    case Key2Off:
        return QStringLiteral("Key 2 Off");
    default:
        return QString();
    }
}

RelayCommand::Reply RelayCommand::reply(const QByteArray &data)
{
    Reply r;
    r.text = OutsideText::cut(data, ReplyTextLimit, OutsideText::Measure::EscapedBytes);
    // The value is read from everything that came, as for a short reply: the cut only bounds
    // what is written, it does not change which replies reach the daily log.
    r.value = textToNumber(QString::fromUtf8(data));
    r.row = QStringLiteral("Rx message: ") + r.text + QLatin1Char(' ') + numberToText(r.value);
    r.dailyLogDue = r.value == 1.0 || r.value == 2.0 || r.value == 3.0;
    return r;
}

bool RelayCommand::isFromRelayBox(const QString &sender, const QString &relayBoxAddress)
{
    // Compared as addresses where the preference is one, so that another spelling of the same
    // address still names the box; a host name can never match a sender's address.
    const QHostAddress box(relayBoxAddress.trimmed());
    return !box.isNull() && box.isEqual(QHostAddress(sender), QHostAddress::TolerantConversion);
}
