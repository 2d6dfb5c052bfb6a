// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/groupmsg/PeerReassembler.h"

#include <QLoggingCategory>
#include <QSet>

#include <chrono>

Q_LOGGING_CATEGORY(lcGroupMsg, "brenvale.groupmsg")

namespace {
PeerReassembler::Limits withCapacity(qint64 capacity)
{
    PeerReassembler::Limits limits;
    limits.perSender = capacity;
    return limits;
}
} // namespace

PeerReassembler::PeerReassembler(qint64 capacity) : PeerReassembler(withCapacity(capacity), {}) { }

PeerReassembler::PeerReassembler(const Limits &limits, Clock clock)
    : m_limits(limits), m_clock(clock ? std::move(clock) : Clock(&PeerReassembler::steadyMilliseconds))
{
    // One sender's full share always fits, and there is room for at least one sender.
    m_limits.total = qMax(m_limits.total, m_limits.perSender);
    m_limits.senders = qMax<qsizetype>(m_limits.senders, 1);
}

qint64 PeerReassembler::steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PeerReassembler::append(const QString &from, const QByteArray &data)
{
    if (data.isEmpty())
        return;
    const qint64 now = m_clock();
    dropExpired(now);
    auto it = m_held.find(from);
    const bool newSender = it == m_held.end();
    const qint64 held = newSender ? 0 : it->bytes.size();
    if (held + data.size() > m_limits.perSender) {
        qCDebug(lcGroupMsg) << "discarding" << held + data.size() << "bytes from" << from << "over the limit";
        if (!newSender)
            erase(it);
        return;
    }
    // Held bytes never start with a length field that no message can have; one that these
    // bytes complete is thrown away before room is made for it.
    if (held < MessagePacket::HeaderSize) {
        qint32 length = 0;
        const QByteArray front = (newSender ? QByteArray() : it->bytes) + data.left(MessagePacket::HeaderSize);
        if (MessagePacket::frameAt(front, m_limits.perSender, length) == MessagePacket::Frame::Invalid) {
            qCDebug(lcGroupMsg) << "discarding" << held + data.size() << "bytes from" << from << "with length field"
                                << length;
            if (!newSender)
                erase(it);
            return;
        }
    }
    makeRoom(from, data.size(), newSender);
    if (newSender) {
        m_byAge.push_back(from);
        Held entry;
        entry.bytes = data;
        entry.since = now;
        entry.byAge = std::prev(m_byAge.end());
        it = m_held.insert(from, entry);
    } else {
        // Making room may have moved the entries of the hash.
        it = m_held.find(from);
        it->bytes.append(data);
    }
    m_heldBytes += data.size();
    markReady(it);
}

bool PeerReassembler::dropIfInvalid(HeldMap::iterator it)
{
    qint32 length = 0;
    if (MessagePacket::frameAt(it->bytes, m_limits.perSender, length) != MessagePacket::Frame::Invalid)
        return false;
    qCDebug(lcGroupMsg) << "discarding" << it->bytes.size() << "bytes from" << it.key() << "with length field"
                        << length;
    erase(it);
    return true;
}

void PeerReassembler::dropExpired(qint64 now)
{
    while (!m_byAge.empty()) {
        auto it = m_held.find(m_byAge.front());
        Q_ASSERT(it != m_held.end());
        if (now - it->since < m_limits.maxAgeMs)
            return;
        qCDebug(lcGroupMsg) << "discarding" << it->bytes.size() << "bytes from" << it.key() << "waiting too long";
        erase(it);
    }
}

void PeerReassembler::makeRoom(const QString &from, qint64 bytes, bool newSender)
{
    // The oldest other sender goes first: bytes that have waited longest are the least likely
    // to be completed, and a sender that floods cannot keep its bytes by having come first.
    auto oldest = m_byAge.begin();
    while (m_heldBytes + bytes > m_limits.total || (newSender && m_held.size() >= m_limits.senders)) {
        if (oldest != m_byAge.end() && *oldest == from)
            ++oldest;
        if (oldest == m_byAge.end())
            return; // only the sender itself is left, and its share always fits
        auto it = m_held.find(*oldest);
        ++oldest;
        qCDebug(lcGroupMsg) << "discarding" << it->bytes.size() << "bytes from" << it.key() << "to make room";
        erase(it);
    }
}

void PeerReassembler::erase(HeldMap::iterator it)
{
    m_heldBytes -= it->bytes.size();
    m_byAge.erase(it->byAge);
    m_held.erase(it);
}

void PeerReassembler::markReady(HeldMap::iterator it)
{
    if (it->ready)
        return;
    it->ready = true;
    m_ready.append(it.key());
    if (m_ready.size() > 2 * m_limits.senders + 16)
        compactReady();
}

void PeerReassembler::compactReady()
{
    QList<QString> kept;
    QSet<QString> seen;
    for (const QString &from : std::as_const(m_ready)) {
        const auto it = m_held.constFind(from);
        if (it != m_held.cend() && it->ready && !seen.contains(from)) {
            seen.insert(from);
            kept.append(from);
        }
    }
    m_ready.swap(kept);
}

bool PeerReassembler::CheckForSingleMessage(const QString &from, MessagePacket &message)
{
    const auto it = m_held.find(from);
    return it != m_held.end() && take(it, message);
}

bool PeerReassembler::take(HeldMap::iterator it, MessagePacket &message)
{
    qint32 length = 0;
    if (MessagePacket::frameAt(it->bytes, m_limits.perSender, length) != MessagePacket::Frame::Complete) {
        dropIfInvalid(it);
        return false;
    }
    message = MessagePacket::fromFrame(it->bytes, length);
    if (it->bytes.size() == length) {
        erase(it);
        return true;
    }
    // Taking from the front moves the start of the array; the rest is not copied.
    it->bytes.remove(0, length);
    m_heldBytes -= length;
    it->since = m_clock();
    m_byAge.splice(m_byAge.end(), m_byAge, it->byAge);
    dropIfInvalid(it);
    return true;
}

void PeerReassembler::ProcessData(const Handler &deliver)
{
    if (m_processing)
        return; // the running pass loop goes on while senders are listed
    // Reset even when a handler throws, so the next datagram is processed again.
    struct Running
    {
        bool &flag;
        explicit Running(bool &f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(m_processing);

    while (!m_ready.isEmpty())
        runPass(deliver);
}

void PeerReassembler::runPass(const Handler &deliver)
{
    // The senders listed when the pass starts; one listed during a delivery waits for the next
    // pass, one whose bytes went away is skipped.
    QList<QString> visiting;
    visiting.swap(m_ready);
    const quint64 pass = ++m_pass;
    for (qsizetype i = 0; i < visiting.size(); ++i) {
        const QString &from = visiting.at(i);
        auto it = m_held.find(from);
        if (it == m_held.end() || it->visited == pass)
            continue;
        it->visited = pass;
        it->ready = false;
        MessagePacket message;
        if (!take(it, message))
            continue;
        // Its next message, if any, in the next pass.
        it = m_held.find(from);
        if (it != m_held.end())
            markReady(it);
        try {
            deliver(from, message);
        } catch (...) {
            // The senders this pass had not reached yet stay listed.
            m_ready = visiting.mid(i + 1) + m_ready;
            throw;
        }
    }
}
