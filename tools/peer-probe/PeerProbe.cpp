// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "PeerProbe.h"

#include "ToolOutput.h"

#include <QNetworkDatagram>
#include <QVariant>
#include <QtEndian>

namespace {

constexpr qsizetype headerSize = 8;

QString stamp(qint64 micros)
{
    return QLatin1String(" at ") + QString::number(micros);
}

} // namespace

QByteArray PeerProbe::buildMessage(qint32 command, const QByteArray &data)
{
    QByteArray message(headerSize, '\0');
    qToBigEndian<qint32>(static_cast<qint32>(headerSize + data.size()), message.data());
    qToBigEndian<qint32>(command, message.data() + 4);
    return message + data;
}

PeerProbe::PeerProbe(const Settings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_pacer(settings.count, settings.perSecond)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &PeerProbe::readPending);
    connect(&m_pacer, &Pacer::tick, this, &PeerProbe::send);
    connect(&m_pacer, &Pacer::finished, this, &PeerProbe::sendingFinished);
}

bool PeerProbe::start()
{
    // Shared, so that several probes can watch one group on one host.
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    if (!m_socket.bind(QHostAddress::AnyIPv4, m_settings.port, mode)) {
        ToolOutput::status(QStringLiteral("cannot bind port %1: %2").arg(m_settings.port).arg(m_socket.errorString()));
        return false;
    }
    if (!m_socket.joinMulticastGroup(m_settings.group)) {
        ToolOutput::status(
            QStringLiteral("cannot join %1: %2").arg(m_settings.group.toString(), m_socket.errorString()));
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(m_settings.ttl));
    m_socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
    ToolOutput::status(QStringLiteral("listening on %1 group %2")
                           .arg(ToolOutput::endpoint(QHostAddress(QHostAddress::AnyIPv4), m_socket.localPort()),
                               m_settings.group.toString()));
    if (m_settings.sends)
        m_pacer.start();
    return true;
}

void PeerProbe::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid())
            break;
        printDatagram(ToolOutput::endpoint(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort())),
            datagram.data());
    }
}

// Cuts one datagram into messages by their length fields. Each datagram is read on its own:
// bytes that do not make a whole message are shown as a fragment rather than held back for
// the next datagram, so that what is on the wire stays visible as it is.
void PeerProbe::printDatagram(const QString &from, const QByteArray &bytes)
{
    // One stamp for the datagram and all the messages in it.
    const qint64 receivedAt = ToolOutput::nowMicros();
    ToolOutput::event(QLatin1String("datagram from ") + from + QLatin1String(" size ") + QString::number(bytes.size())
        + stamp(receivedAt));
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const qsizetype left = bytes.size() - offset;
        qint32 length = 0;
        if (left >= headerSize)
            length = qFromBigEndian<qint32>(bytes.constData() + offset);
        if (left < headerSize || length < headerSize || length > left) {
            ToolOutput::event(QLatin1String("fragment from ") + from + QLatin1String(" size ") + QString::number(left)
                + QLatin1String(" data ") + ToolOutput::quoted(bytes.mid(offset)) + stamp(receivedAt));
            return;
        }
        const qint32 command = qFromBigEndian<qint32>(bytes.constData() + offset + 4);
        const QByteArray data = bytes.mid(offset + headerSize, length - headerSize);
        ToolOutput::event(QLatin1String("message from ") + from + QLatin1String(" command ") + QString::number(command)
            + QLatin1String(" length ") + QString::number(length) + QLatin1String(" data ") + ToolOutput::quoted(data)
            + stamp(receivedAt));
        offset += length;
    }
}

void PeerProbe::send(qint64 number)
{
    const QByteArray bytes = m_settings.raw ? m_settings.data : buildMessage(m_settings.command, m_settings.data);
    const QString target = ToolOutput::endpoint(m_settings.to, m_settings.port);
    // Stamped before the write, so that a receiver's stamp is never earlier than this one.
    const qint64 sentAt = ToolOutput::nowMicros();
    if (m_socket.writeDatagram(bytes, m_settings.to, m_settings.port) != bytes.size()) {
        ToolOutput::status(
            QStringLiteral("datagram %1 to %2 not sent: %3").arg(number).arg(target, m_socket.errorString()));
        return;
    }
    QString line = QLatin1String("sent ") + QString::number(number) + QLatin1String(" to ") + target;
    if (m_settings.raw)
        line += QLatin1String(" size ") + QString::number(bytes.size()) + QLatin1String(" raw hex ")
            + ToolOutput::hex(bytes);
    else
        line += QLatin1String(" command ") + QString::number(m_settings.command) + QLatin1String(" length ")
            + QString::number(bytes.size()) + QLatin1String(" data ") + ToolOutput::quoted(m_settings.data);
    ToolOutput::event(line + stamp(sentAt));
}
