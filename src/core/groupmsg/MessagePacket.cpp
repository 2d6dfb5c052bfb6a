// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/groupmsg/MessagePacket.h"

#include <QtEndian>

MessagePacket::MessagePacket(qint32 command, const QByteArray &data) : m_command(command), m_data(data) { }

QByteArray MessagePacket::toBytes() const
{
    QByteArray bytes(HeaderSize, Qt::Uninitialized);
    const auto length = static_cast<qint32>(HeaderSize + m_data.size());
    qToBigEndian<qint32>(length, bytes.data());
    qToBigEndian<qint32>(m_command, bytes.data() + 4);
    bytes.append(m_data);
    return bytes;
}

MessagePacket::Frame MessagePacket::frameAt(const QByteArray &buffer, qint64 maxLength, qint32 &length)
{
    if (buffer.size() < HeaderSize)
        return Frame::Incomplete;
    length = qFromBigEndian<qint32>(buffer.constData());
    if (length < HeaderSize || length > maxLength)
        return Frame::Invalid;
    return buffer.size() < length ? Frame::Incomplete : Frame::Complete;
}

MessagePacket MessagePacket::fromFrame(const QByteArray &buffer, qint32 length)
{
    const qint32 command = qFromBigEndian<qint32>(buffer.constData() + 4);
    return MessagePacket(command, buffer.mid(HeaderSize, length - HeaderSize));
}
