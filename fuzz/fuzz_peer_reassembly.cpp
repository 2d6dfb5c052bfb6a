// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Datagrams from several peers, cut from one byte stream and fed to the reassembler, which is
// checked step by step against a plain model of the same rules: each sender's bytes are kept
// apart, bytes that would take a sender above the capacity are thrown away with what it held,
// an impossible length field throws its sender's bytes away, and whole messages come out in
// the order they were sent.
//
// The input is a script. The first byte picks the capacity (the real 64 KiB, or a small one so
// that the limits are reached with short inputs). Then, per datagram:
//   control byte: bits 0-2 sender, bit 3 process after this datagram, bit 4 repeat the chunk
//                 (bits 5-7 + 1) x 16 times, bit 5 (without bit 4) let the handler send each
//                 message it receives back in as more data from its sender
//   one byte:     chunk length
//   the chunk:    that many bytes (fewer at the end of the input)
// and the pending bytes are processed once more at the end.
#include "FuzzCheck.h"
#include "MessagePacket.h"
#include "PeerReassembler.h"

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
    explicit Model(qint64 capacity) : m_capacity(capacity) {}

    void append(const QString &from, const QByteArray &data)
    {
        if (data.isEmpty())
            return;
        QByteArray &held = m_buffers[from];
        if (held.size() + data.size() > m_capacity)
            m_buffers.remove(from);
        else
            held.append(data);
    }

    // The next whole message of the sender, throwing away bytes with an impossible length.
    bool take(const QString &from, qint32 &command, QByteArray &payload)
    {
        QByteArray held = m_buffers.value(from);
        if (held.size() < 8)
            return false;
        const qint32 length = qFromBigEndian<qint32>(held.constData());
        if (length < 8 || length > m_capacity) {
            m_buffers.remove(from);
            return false;
        }
        if (held.size() < length)
            return false;
        command = qFromBigEndian<qint32>(held.constData() + 4);
        payload = held.mid(8, length - 8);
        held.remove(0, length);
        if (held.isEmpty())
            m_buffers.remove(from);
        else
            m_buffers[from] = held;
        return true;
    }

    // After processing, no sender may hold a whole message or an impossible length field.
    void settle()
    {
        for (const QString &from : m_buffers.keys()) {
            qint32 command = 0;
            QByteArray payload;
            FUZZ_CHECK(!take(from, command, payload), QStringLiteral("a whole message was left behind for ") + from);
        }
    }

    QByteArray held(const QString &from) const { return m_buffers.value(from); }
    QStringList senders() const { return m_buffers.keys(); }

private:
    QMap<QString, QByteArray> m_buffers;
    qint64 m_capacity;
};

QString senderName(int index)
{
    return QStringLiteral("127.0.0.%1:8083").arg(index + 1);
}

class Run
{
public:
    explicit Run(qint64 capacity) : m_reassembler(capacity), m_model(capacity) {}

    void feed(const QString &from, const QByteArray &chunk)
    {
        m_fed += chunk.size();
        m_reassembler.append(from, chunk);
        m_model.append(from, chunk);
        const QByteArray held = m_reassembler.bufferedBytes(from);
        FUZZ_CHECK(held.size() <= m_reassembler.capacity(), from);
        FUZZ_CHECK(held == m_model.held(from), from + QStringLiteral(" holds ") + QString::fromLatin1(held.toHex()));
        // Mid-pass the reassembler may already have thrown away another sender's bytes that the
        // model only lets go of when it settles, so the full comparison waits for the pass.
        if (!m_reassembler.isProcessing())
            compare();
    }

    void process(bool echo)
    {
        m_echo = echo;
        m_reassembler.ProcessData([this](const QString &from, const MessagePacket &message) { deliver(from, message); });
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
            FUZZ_CHECK(held == m_model.held(from), from + QStringLiteral(" holds ") + QString::fromLatin1(held.toHex()));
        }
        FUZZ_CHECK(m_delivered <= m_fed, QStringLiteral("%1 bytes out of %2 in").arg(m_delivered).arg(m_fed));
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
    const qint64 capacity = data[0] < 0x80 ? PeerReassembler::DefaultCapacity : 8 + (data[0] & 0x7F);
    Run run(capacity);

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
