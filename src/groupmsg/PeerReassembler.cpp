// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "PeerReassembler.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcGroupMsg, "brenvale.groupmsg")

PeerReassembler::PeerReassembler(qint64 capacity) : m_capacity(capacity) {}

void PeerReassembler::append(const QString &from, const QByteArray &data)
{
    if (data.isEmpty())
        return;
    auto it = m_buffers.find(from);
    const qint64 held = it == m_buffers.end() ? 0 : it->size();
    if (held + data.size() > m_capacity) {
        qCDebug(lcGroupMsg) << "discarding" << held + data.size() << "bytes from" << from << "over the limit";
        if (it != m_buffers.end())
            m_buffers.erase(it);
        return;
    }
    if (it == m_buffers.end())
        m_buffers.insert(from, data);
    else
        it->append(data);
    if (m_processing)
        m_moreWork = true;
}

bool PeerReassembler::CheckForSingleMessage(const QString &from, MessagePacket &message)
{
    auto it = m_buffers.find(from);
    if (it == m_buffers.end())
        return false;
    qint32 length = 0;
    switch (MessagePacket::frameAt(*it, m_capacity, length)) {
    case MessagePacket::Frame::Incomplete:
        return false;
    case MessagePacket::Frame::Invalid:
        qCDebug(lcGroupMsg) << "discarding" << it->size() << "bytes from" << from << "with length field" << length;
        m_buffers.erase(it);
        return false;
    case MessagePacket::Frame::Complete:
        break;
    }
    message = MessagePacket::fromFrame(*it, length);
    if (it->size() == length)
        m_buffers.erase(it);
    else
        it->remove(0, length);
    return true;
}

void PeerReassembler::ProcessData(const Handler &deliver)
{
    if (m_processing) {
        m_moreWork = true;
        return;
    }
    // Reset even when a handler throws, so the next datagram is processed again.
    struct Running
    {
        bool &flag;
        explicit Running(bool &f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(m_processing);

    bool progress = false;
    do {
        m_moreWork = false;
        progress = runPass(deliver);
    } while (progress || m_moreWork);
}

bool PeerReassembler::runPass(const Handler &deliver)
{
    // The senders as they stand when the pass starts; one that first appears during a delivery
    // waits for the next pass, one whose bytes went away is skipped.
    const QStringList senders = m_buffers.keys();
    bool progress = false;
    for (const QString &from : senders) {
        MessagePacket message;
        if (!CheckForSingleMessage(from, message))
            continue;
        progress = true;
        deliver(from, message);
    }
    return progress;
}
