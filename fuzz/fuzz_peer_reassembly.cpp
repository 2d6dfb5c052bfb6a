// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Datagrams from several peers, cut from one byte stream and fed to the reassembler, which is
// checked step by step against a plain model of the same rules: each sender's bytes are kept
// apart, bytes that would take a sender above the capacity are thrown away with what it held,
// an impossible length field throws its sender's bytes away, bytes that waited too long are
// dropped, the sender whose bytes waited longest makes room when the total or the number of
// senders would go over its limit, and whole messages come out in the order they were sent.
//
// The input is a script. The first byte picks the limits (the real ones, or small ones so that
// they are reached with short inputs). Then, per datagram:
//   control byte: bits 0-2 sender, bit 3 process after this datagram, bit 4 repeat the chunk
//                 (bits 5-7 + 1) x 16 times, bit 5 (without bit 4) let the handler send each
//                 message it receives back in as more data from its sender
//   one byte:     chunk length
//   the chunk:    that many bytes (fewer at the end of the input)
// and the pending bytes are processed once more at the end. The clock moves on by one
// millisecond per datagram.
#include "FuzzCheck.h"
#include "core/groupmsg/MessagePacket.h"
#include "core/groupmsg/PeerReassembler.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

// The rules spelt out the slow and obvious way.
class Model
{
public:
    Model(const PeerReassembler::Limits &limits, const qint64 &now) : m_limits(limits), m_now(now) { }

    void append(const QString &from, const QByteArray &data)
    {
        if (data.isEmpty())
            return;
        for (const QString &sender : m_buffers.keys()) {
            if (m_now - m_buffers[sender].since >= m_limits.maxAgeMs)
                m_buffers.remove(sender);
        }
        const bool isNew = !m_buffers.contains(from);
        const QByteArray joined = m_buffers.value(from).bytes + data;
        if (joined.size() > m_limits.perSender || invalidFront(joined)) {
            m_buffers.remove(from);
            return;
        }
        for (;;) {
            qint64 total = data.size();
            QString oldest;
            for (auto it = m_buffers.cbegin(); it != m_buffers.cend(); ++it) {
                total += it->bytes.size();
                if (it.key() != from && (oldest.isEmpty() || it->order < m_buffers[oldest].order))
                    oldest = it.key();
            }
            if (total <= m_limits.total && (!isNew || m_buffers.size() < m_limits.senders))
                break;
            FUZZ_CHECK(!oldest.isEmpty(), from + QStringLiteral(" found no room"));
            m_buffers.remove(oldest);
        }
        Held &held = m_buffers[from];
        held.bytes = joined;
        if (isNew) {
            held.since = m_now;
            held.order = ++m_order;
        }
    }

    // The next whole message of the sender.
    bool take(const QString &from, qint32 &command, QByteArray &payload)
    {
        if (!m_buffers.contains(from))
            return false;
        Held held = m_buffers.value(from);
        if (held.bytes.size() < 8)
            return false;
        const qint32 length = qFromBigEndian<qint32>(held.bytes.constData());
        FUZZ_CHECK(length >= 8 && length <= m_limits.perSender, from + QStringLiteral(" holds a bad length field"));
        if (held.bytes.size() < length)
            return false;
        command = qFromBigEndian<qint32>(held.bytes.constData() + 4);
        payload = held.bytes.mid(8, length - 8);
        held.bytes.remove(0, length);
        if (held.bytes.isEmpty() || invalidFront(held.bytes)) {
            m_buffers.remove(from);
        } else {
            held.since = m_now;
            held.order = ++m_order;
            m_buffers[from] = held;
        }
        return true;
    }

    // After processing, no sender may hold a whole message.
    void settle()
    {
        for (const QString &from : m_buffers.keys()) {
            qint32 command = 0;
            QByteArray payload;
            FUZZ_CHECK(!take(from, command, payload), QStringLiteral("a whole message was left behind for ") + from);
        }
    }

    QByteArray held(const QString &from) const { return m_buffers.value(from).bytes; }
    QStringList senders() const { return m_buffers.keys(); }

private:
    struct Held
    {
        QByteArray bytes;
        qint64 since = 0;
        quint64 order = 0;
    };

    bool invalidFront(const QByteArray &bytes) const
    {
        if (bytes.size() < 8)
            return false;
        const qint32 length = qFromBigEndian<qint32>(bytes.constData());
        return length < 8 || length > m_limits.perSender;
    }

    QMap<QString, Held> m_buffers;
    PeerReassembler::Limits m_limits;
    const qint64 &m_now;
    quint64 m_order = 0;
};

QString senderName(int index)
{
    return QStringLiteral("127.0.0.%1:8083").arg(index + 1);
}

class Run
{
public:
    explicit Run(const PeerReassembler::Limits &limits)
        : m_reassembler(limits, [this] { return m_now; }), m_model(limits, m_now)
    { }

    void feed(const QString &from, const QByteArray &chunk)
    {
        ++m_now;
        m_fed += chunk.size();
        m_reassembler.append(from, chunk);
        m_model.append(from, chunk);
        compare();
    }

    void process(bool echo)
    {
        m_echo = echo;
        m_reassembler.ProcessData(
            [this](const QString &from, const MessagePacket &message) { deliver(from, message); });
        FUZZ_CHECK(!m_reassembler.isProcessing(), QString());
        m_model.settle();
        compare();
    }

    void compare() const
    {
        const QStringList senders = m_model.senders();
        FUZZ_CHECK(m_reassembler.senderCount() == senders.size(),
            QStringLiteral("%1 senders held, %2 expected").arg(m_reassembler.senderCount()).arg(senders.size()));
        for (const QString &from : senders) {
            const QByteArray held = m_reassembler.bufferedBytes(from);
            FUZZ_CHECK(held.size() <= m_reassembler.capacity(), from);
            FUZZ_CHECK(
                held == m_model.held(from), from + QStringLiteral(" holds ") + QString::fromLatin1(held.toHex()));
        }
        FUZZ_CHECK(m_delivered <= m_fed, QStringLiteral("%1 bytes out of %2 in").arg(m_delivered).arg(m_fed));
        const PeerReassembler::Limits &limits = m_reassembler.limits();
        FUZZ_CHECK(m_reassembler.heldBytes() <= limits.total && senders.size() <= limits.senders,
            QStringLiteral("%1 bytes held by %2 senders").arg(m_reassembler.heldBytes()).arg(senders.size()));
    }

private:
    void deliver(const QString &from, const MessagePacket &message)
    {
        FUZZ_CHECK(m_reassembler.isProcessing(), from);
        const QByteArray bytes = message.toBytes();
        const qint32 length = qFromBigEndian<qint32>(bytes.constData());
        FUZZ_CHECK(length >= MessagePacket::HeaderSize, from);
        FUZZ_CHECK(message.data().size() == length - MessagePacket::HeaderSize, from);
        FUZZ_CHECK(length <= m_reassembler.capacity(), from);
        m_delivered += length;

        qint32 command = 0;
        QByteArray payload;
        FUZZ_CHECK(m_model.take(from, command, payload), from + QStringLiteral(" delivered a message it did not send"));
        FUZZ_CHECK(command == message.command() && payload == message.data(), from + QStringLiteral(" out of order"));
        // The message is off the sender's bytes before the handler sees it.
        FUZZ_CHECK(m_reassembler.bufferedBytes(from) == m_model.held(from), from);

        // A handler that feeds more data and asks for processing again from inside a delivery,
        // as a nested event loop would. The budget keeps the echo from going on for ever.
        if (m_echo && m_echoBudget > 0) {
            --m_echoBudget;
            feed(from, bytes);
            m_reassembler.ProcessData([](const QString &, const MessagePacket &) {
                fuzzFailure(__FILE__, __LINE__, "nested ProcessData delivered", QString());
            });
        }
    }

    qint64 m_now = 0;
    PeerReassembler m_reassembler;
    Model m_model;
    qint64 m_fed = 0;
    qint64 m_delivered = 0;
    bool m_echo = false;
    int m_echoBudget = 64;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    PeerReassembler::Limits limits;
    if (data[0] >= 0x80) {
        limits.perSender = 8 + (data[0] & 0x7F);
        limits.total = 2 * limits.perSender + 3;
        limits.senders = 2 + (data[0] & 3);
        limits.maxAgeMs = 16 + (data[0] & 0x30);
    }
    Run run(limits);

    std::size_t at = 1;
    while (at + 2 <= size) {
        const std::uint8_t control = data[at];
        const std::size_t wanted = data[at + 1];
        at += 2;
        const std::size_t length = qMin(wanted, size - at);
        QByteArray chunk(reinterpret_cast<const char *>(data + at), qsizetype(length));
        at += length;

        if (control & 0x10)
            chunk = chunk.repeated(((control >> 5) + 1) * 16);
        run.feed(senderName(control & 7), chunk);
        if (control & 0x08)
            run.process(!(control & 0x10) && (control & 0x20));
    }
    run.process(false);
    return 0;
}
