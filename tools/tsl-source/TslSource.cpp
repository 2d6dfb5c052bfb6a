// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "TslSource.h"

#include "ToolOutput.h"

#include <QVariant>

namespace {

constexpr int textOffset = 2;
constexpr int textLength = 16;

} // namespace

QByteArray TslSource::buildPacket(quint8 header, quint8 tally, const QByteArray &text, bool withRightXdata)
{
    QByteArray packet;
    packet.append(static_cast<char>(header));
    // Control byte as a real source fills it: full brightness (bits 4-5) and the first two
    // tallies; the receiver does not read it.
    packet.append(static_cast<char>(0x30 | (tally & 0x03)));
    packet.append(text.left(textLength).leftJustified(textLength, ' '));

    // Checksum: two's complement of the modulo-128 sum of the display data.
    int sum = 0;
    for (int i = 0; i < textOffset + textLength; ++i)
        sum += static_cast<unsigned char>(packet.at(i));
    packet.append(static_cast<char>((128 - sum % 128) % 128));

    const int xdataCount = withRightXdata ? 2 : 1;
    packet.append(static_cast<char>(xdataCount)); // VBC: version 0 (4.0), byte count in bits 0-3
    packet.append(static_cast<char>(tally));
    if (withRightXdata)
        packet.append(static_cast<char>(tally));
    return packet;
}

QString TslSource::tallyName(quint8 tally)
{
    switch (tally) {
    case 0:
        return QStringLiteral("off");
    case 1:
        return QStringLiteral("red");
    case 2:
        return QStringLiteral("green");
    case 3:
        return QStringLiteral("both");
    default:
        return QStringLiteral("0x%1").arg(tally, 2, 16, QLatin1Char('0'));
    }
}

TslSource::TslSource(const Settings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_pacer(settings.count, settings.perSecond)
{
    connect(&m_pacer, &Pacer::tick, this, &TslSource::send);
    connect(&m_pacer, &Pacer::finished, this, &TslSource::finished);
}

bool TslSource::start()
{
    // Socket options need an open socket, so bind to any free port first.
    if (!m_socket.bind(QHostAddress::AnyIPv4, 0)) {
        ToolOutput::status(QStringLiteral("cannot open a socket: %1").arg(m_socket.errorString()));
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(m_settings.ttl));
    m_socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
    m_pacer.start();
    return true;
}

void TslSource::send(qint64 number)
{
    // Stamped before the write, so that a receiver's stamp is never earlier than this one.
    const qint64 sentAt = ToolOutput::nowMicros();
    const qint64 written = m_socket.writeDatagram(m_settings.packet, m_settings.to, m_settings.port);
    const QString target = ToolOutput::endpoint(m_settings.to, m_settings.port);
    if (written != m_settings.packet.size()) {
        ToolOutput::status(
            QStringLiteral("datagram %1 to %2 not sent: %3").arg(number).arg(target, m_socket.errorString()));
        return;
    }
    // Built by concatenation: the description carries user text, which may hold "%1".
    ToolOutput::event(QStringLiteral("sent %1 to %2 size %3 ").arg(number).arg(target).arg(m_settings.packet.size())
        + m_settings.description + QLatin1String(" hex ") + ToolOutput::hex(m_settings.packet) + QLatin1String(" at ")
        + QString::number(sentAt));
}
