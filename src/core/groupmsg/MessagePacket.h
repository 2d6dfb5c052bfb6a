// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QtGlobal>

// One peer-group message on the wire: a big-endian signed 32-bit total length (the 8-byte
// header included), a big-endian signed 32-bit command, then the data bytes unchanged.
class MessagePacket
{
public:
    static constexpr qint32 HeaderSize = 8;

    // What the front of a sender's bytes holds.
    enum class Frame {
        Incomplete, // fewer than 8 bytes, or fewer than the length field asks for
        Complete, // a whole message of `length` bytes
        Invalid, // a length field no message can have (below 8 or above the limit)
    };

    MessagePacket() = default;
    MessagePacket(qint32 command, const QByteArray &data);

    qint32 command() const { return m_command; }
    const QByteArray &data() const { return m_data; }

    QByteArray toBytes() const;

    // Looks at the front of `buffer`; `length` receives the length field once the header is
    // there. Lengths above `maxLength` count as invalid.
    static Frame frameAt(const QByteArray &buffer, qint64 maxLength, qint32 &length);
    // The message at the front of `buffer`, whose frameAt() was Complete with `length`.
    static MessagePacket fromFrame(const QByteArray &buffer, qint32 length);

    bool operator==(const MessagePacket &other) const = default;

private:
    qint32 m_command = 0;
    QByteArray m_data;
};
