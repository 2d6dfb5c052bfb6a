// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "RelayBox.h"

#include "ToolOutput.h"

#include <QNetworkDatagram>

RelayBox::RelayBox(const Settings &settings, QObject *parent) : QObject(parent), m_settings(settings)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &RelayBox::readPending);
}

bool RelayBox::start()
{
    // Exclusive, like a real box: a second listener on the port is a mistake worth seeing.
    if (!m_socket.bind(m_settings.bindAddress, m_settings.port, QAbstractSocket::DontShareAddress)) {
        ToolOutput::status(
            QStringLiteral("cannot bind %1: %2")
                .arg(ToolOutput::endpoint(m_settings.bindAddress, m_settings.port), m_socket.errorString()));
        return false;
    }
    ToolOutput::status(
        QStringLiteral("listening on %1").arg(ToolOutput::endpoint(m_settings.bindAddress, m_socket.localPort())));
    return true;
}

void RelayBox::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid())
            break;
        const QString from
            = ToolOutput::endpoint(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        ToolOutput::event(QLatin1String("command from ") + from + QLatin1Char(' ') + ToolOutput::quoted(datagram.data())
            + QLatin1String(" at ") + QString::number(ToolOutput::nowMicros()));
        if (!m_settings.replies)
            continue;
        const qint64 sentAt = ToolOutput::nowMicros();
        const qint64 written = m_socket.writeDatagram(
            m_settings.reply, datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
        if (written != m_settings.reply.size()) {
            ToolOutput::status(
                QLatin1String("reply to ") + from + QLatin1String(" not sent: ") + m_socket.errorString());
            continue;
        }
        ToolOutput::event(QLatin1String("reply to ") + from + QLatin1Char(' ') + ToolOutput::quoted(m_settings.reply)
            + QLatin1String(" at ") + QString::number(sentAt));
    }
}
