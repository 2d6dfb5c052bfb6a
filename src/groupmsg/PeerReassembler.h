// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "MessagePacket.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

// Collects the bytes of each sender apart and cuts them into messages by their length field.
//
// ProcessData() runs passes that take at most one message per sender each, until a pass takes
// nothing, so the messages of one sender keep their order and senders interleave fairly.
// A message is taken off its sender's bytes before it is handed on, and passes never nest: a
// handler that appends data or asks for processing again (a nested event loop, a poll) only
// leaves work for the running pass loop, which goes on until nothing is left to take.
class PeerReassembler
{
public:
    // A sender may hold at most this much; a UDP datagram is never larger.
    static constexpr qint64 DefaultCapacity = 64 * 1024;

    using Handler = std::function<void(const QString &from, const MessagePacket &message)>;

    explicit PeerReassembler(qint64 capacity = DefaultCapacity);

    // Appends one datagram's bytes to the sender's. Bytes that would take the sender above the
    // capacity are discarded together with what the sender had waiting.
    void append(const QString &from, const QByteArray &data);

    // Takes the message at the front of the sender's bytes, if a whole one is there. A length
    // field that no message can have discards the sender's bytes.
    bool CheckForSingleMessage(const QString &from, MessagePacket &message);

    void ProcessData(const Handler &deliver);

    bool isProcessing() const { return m_processing; }
    QByteArray bufferedBytes(const QString &from) const { return m_buffers.value(from); }
    qsizetype senderCount() const { return m_buffers.size(); }
    qint64 capacity() const { return m_capacity; }

private:
    bool runPass(const Handler &deliver);

    // Only senders with bytes waiting have an entry, so spoofed source addresses cost nothing
    // once their bytes are used up or thrown away.
    QMap<QString, QByteArray> m_buffers;
    qint64 m_capacity;
    bool m_processing = false;
    bool m_moreWork = false;
};
