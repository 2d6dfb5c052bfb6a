// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/groupmsg/MessagePacket.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <list>

// Collects the bytes of each sender apart and cuts them into messages by their length field.
//
// ProcessData() runs passes that take at most one message per sender each, until a pass takes
// nothing, so the messages of one sender keep their order and senders interleave fairly.
// A message is taken off its sender's bytes before it is handed on, and passes never nest: a
// handler that appends data or asks for processing again (a nested event loop, a poll) only
// leaves work for the running pass loop, which goes on until nothing is left to take.
//
// Anyone on the network can send bytes that never make a whole message, from as many source
// addresses as they like, so what is held is bounded per sender, in total, in senders and in
// age. A pass looks only at the senders whose bytes changed since they were last looked at,
// so its cost follows the new data, not the number of senders held.
class PeerReassembler
{
public:
    // A sender may hold at most this much; a UDP datagram is never larger.
    static constexpr qint64 DefaultCapacity = 64 * 1024;

    struct Limits
    {
        // Bytes one sender may hold.
        qint64 perSender = DefaultCapacity;
        // Bytes all senders together may hold: sixteen messages of the largest size, far more
        // than a group whose members send one whole message per datagram ever has waiting.
        qint64 total = 16 * DefaultCapacity;
        // Senders with bytes held at once; well above the members of a group.
        qsizetype senders = 64;
        // Milliseconds the front of a sender's bytes may wait for the rest of its message. The
        // datagrams of one message arrive within milliseconds of each other.
        qint64 maxAgeMs = 5000;
    };

    using Handler = std::function<void(const QString &from, const MessagePacket &message)>;
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    explicit PeerReassembler(qint64 capacity = DefaultCapacity);
    PeerReassembler(const Limits &limits, Clock clock);

    // The monotonic clock used when none is given.
    static qint64 steadyMilliseconds();

    // Appends one datagram's bytes to the sender's. Bytes that would take the sender above its
    // capacity, or that start a message with a length field no message can have, are
    // discarded together with what the sender had waiting. Senders whose bytes are older than
    // the age limit are dropped first; then, while the total or the number of senders would go
    // over its limit, the other sender whose bytes have waited longest.
    void append(const QString &from, const QByteArray &data);

    // Takes the message at the front of the sender's bytes, if a whole one is there. When the
    // bytes left then start with a length field that no message can have, they are discarded.
    bool CheckForSingleMessage(const QString &from, MessagePacket &message);

    void ProcessData(const Handler &deliver);

    bool isProcessing() const { return m_processing; }
    QByteArray bufferedBytes(const QString &from) const { return m_held.value(from).bytes; }
    qsizetype senderCount() const { return m_held.size(); }
    qint64 heldBytes() const { return m_heldBytes; }
    qint64 capacity() const { return m_limits.perSender; }
    const Limits &limits() const { return m_limits; }

private:
    struct Held
    {
        QByteArray bytes;
        // When the front of the bytes began to wait: the first datagram, or the last message
        // taken off them.
        qint64 since = 0;
        std::list<QString>::iterator byAge;
        // Listed in m_ready, waiting for a pass to look at it.
        bool ready = false;
        // The pass that last looked at it; a sender is looked at once per pass.
        quint64 visited = 0;
    };
    using HeldMap = QHash<QString, Held>;

    void runPass(const Handler &deliver);
    bool take(HeldMap::iterator it, MessagePacket &message);
    bool dropIfInvalid(HeldMap::iterator it);
    void markReady(HeldMap::iterator it);
    void compactReady();
    void dropExpired(qint64 now);
    void makeRoom(const QString &from, qint64 bytes, bool newSender);
    void erase(HeldMap::iterator it);

    Limits m_limits;
    Clock m_clock;
    // Only senders with bytes waiting have an entry, so spoofed source addresses cost nothing
    // once their bytes are used up or thrown away.
    HeldMap m_held;
    // The senders held, the one whose bytes have waited longest first.
    std::list<QString> m_byAge;
    // Senders to look at in the next pass, in the order their bytes came. A sender dropped and
    // back again may be listed twice (the pass looks at it once); the list is compacted before
    // it can grow past a few times the sender limit.
    QList<QString> m_ready;
    qint64 m_heldBytes = 0;
    quint64 m_pass = 0;
    bool m_processing = false;
};
