// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/groupmsg/EasyUDPSocket.h"

#include "core/platform/Exceptions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

EasyUDPSocket::EasyUDPSocket(QObject *parent, PeerReassembler::Clock clock)
    : UDPSocket(parent),
      m_clock(clock ? std::move(clock) : PeerReassembler::Clock(&PeerReassembler::steadyMilliseconds)),
      mBuffers(PeerReassembler::Limits(), m_clock)
{
    connect(this, &UDPSocket::DataAvailable, this, &EasyUDPSocket::dataAvailable);
    connect(this, &UDPSocket::Error, this, &EasyUDPSocket::socketError);
}

EasyUDPSocket::~EasyUDPSocket() = default;

UDPSocket::Datagram EasyUDPSocket::Read()
{
    throw RuntimeException(QStringLiteral("You cannot call Read on an EasyUDPSocket directly."));
}

void EasyUDPSocket::Write(const Datagram &)
{
    throw RuntimeException(QStringLiteral("You cannot call Write on an EasyUDPSocket directly."));
}

void EasyUDPSocket::Write(const QString &, const QByteArray &)
{
    throw RuntimeException(QStringLiteral("You cannot call Write on an EasyUDPSocket directly."));
}

QByteArray EasyUDPSocket::CreatePacket(qint32 command, const QByteArray &data)
{
    return MessagePacket(command, data).toBytes();
}

void EasyUDPSocket::dataAvailable()
{
    // The datagrams already queued join their senders' bytes before the first message is cut,
    // so a message split over datagrams that arrived together is delivered in one go. A batch
    // is bounded, so a flood cannot keep the loop here; what is left raises the next report.
    for (int read = 0; read < DatagramsPerBatch; ++read) {
        const Datagram datagram = UDPSocket::Read();
        if (datagram.Address.isEmpty())
            break;
        mBuffers.append(datagram.Address, datagram.Data);
        if (PacketsAvailable() == 0)
            break;
    }
    ProcessData();
}

void EasyUDPSocket::ProcessData()
{
    mBuffers.ProcessData(
        [this](const QString &from, const MessagePacket &message) { CheckForSingleMessage(from, message); });
}

void EasyUDPSocket::CheckForSingleMessage(const QString &from, const MessagePacket &message)
{
    if (WaitingForThisMessage(message.command(), message.data(), from))
        return; // the awaited reply
    if (mWaitForThisCommand != -1)
        return; // a wait for another command drops everything else
    handleReceivedMessage(from, message.command(), message.data());
}

bool EasyUDPSocket::WaitingForThisMessage(qint32 command, const QByteArray &data, const QString &from)
{
    if (mWaitForThisCommand == -1 || mWaitForThisCommand != command)
        return false;
    mCommandResponse = data;
    mMessageFrom = from;
    return true;
}

void EasyUDPSocket::handleReceivedMessage(const QString &from, qint32 command, const QByteArray &data)
{
    Q_EMIT ReceivedMessage(from, command, data);
}

void EasyUDPSocket::socketError()
{
    // Bind reports its own failure once; the platform's report of the same failure is not
    // passed on a second time.
    if (m_binding)
        return;
    m_errorDuringWait = true;
    Q_EMIT Error(LastErrorCode());
}

void EasyUDPSocket::Bind(int port)
{
    setPort(port);
    m_binding = true;
    Connect();
    m_binding = false;
    if (LastErrorCode() != 0)
        Q_EMIT Error(LastErrorCode());
    setSendToSelf(true);
    setRouterHops(255);
}

void EasyUDPSocket::Register(const QString &group)
{
    if (!IsConnected())
        return;
    if (!JoinMulticastGroup(HashGroupNameToIP(group)))
        Q_EMIT Error(LastErrorCode());
}

void EasyUDPSocket::Unregister(const QString &group)
{
    if (!IsConnected())
        return;
    LeaveMulticastGroup(HashGroupNameToIP(group));
    if (LastErrorCode() != 0)
        Q_EMIT Error(LastErrorCode());
}

void EasyUDPSocket::SendMessageToGroup(const QString &group, qint32 command, const QByteArray &data)
{
    if (!IsConnected())
        return;
    UDPSocket::Write(HashGroupNameToIP(group), CreatePacket(command, data));
}

void EasyUDPSocket::SendMessageToIndividual(const QString &address, qint32 command, const QByteArray &data)
{
    if (!IsConnected())
        return;
    UDPSocket::Write(address, CreatePacket(command, data));
}

QByteArray EasyUDPSocket::WaitForMessage(
    qint32 command, QString &from, std::optional<std::chrono::milliseconds> timeLimit)
{
    // A second wait started from inside the first (from an event handler) would take over the
    // awaited command and leave the outer wait without its reply.
    if (!IsConnected() || mWaitForThisCommand != -1)
        return {};
    mWaitForThisCommand = command;
    mCommandResponse.clear();
    mMessageFrom.clear();
    m_errorDuringWait = false;

    QElapsedTimer clock;
    clock.start();
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    for (;;) {
        if (!mCommandResponse.isEmpty()) {
            mWaitForThisCommand = -1;
            from = mMessageFrom;
            return mCommandResponse;
        }
        Poll();
        // Only an error raised while waiting ends the wait; a code left over from an earlier
        // failure would otherwise end every wait at once.
        if (m_errorDuringWait && LastErrorCode() != 0)
            break;
        if (timeLimit && std::chrono::milliseconds(clock.elapsed()) >= *timeLimit)
            break;
        wakeUp.start(10);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    mWaitForThisCommand = -1;
    return {};
}

QString EasyUDPSocket::HashGroupNameToIP(const QString &group)
{
    // Every message to the group asks for its address: the last name's is kept.
    thread_local QString lastGroup;
    thread_local QString lastAddress;
    if (lastAddress.isEmpty() || group != lastGroup) {
        lastAddress = hashed(group);
        lastGroup = group;
    }
    return lastAddress;
}

QString EasyUDPSocket::hashed(const QString &group)
{
    if (IsClassDAddress(group))
        return group;

    // h = h * 31 + c over the code points, in 64-bit arithmetic that wraps; unsigned so the
    // wrapping is defined.
    quint64 h = 0;
    for (char32_t c : group.toUcs4()) {
        if (c >= U'A' && c <= U'Z')
            c += U'a' - U'A';
        h = (h << 5) - h + c;
    }
    // Truncating remainder: the sign follows h.
    const qint64 v = static_cast<qint64>(h) % HashBins;
    const auto u = static_cast<quint64>(v);

    const quint64 a = (u & 0xFF000000u) >> 24;
    const quint64 b = (u & 0xFF00u) >> 8;
    const quint64 c = (u & 0xFF0000u) >> 16;
    const quint64 d = (u & 0xFF00u) >> 8;
    const quint64 e = u & 0xFFu;
    const quint64 f = (u & 0xFFFF00u) >> 8;
    const quint64 g = u & 0xFF00FFu;
    const quint64 hh = u & 0xFFFFu;

    return QStringLiteral("%1.%2.%3.%4")
        .arg((a + b) % 16 + 224)
        .arg((c + d) % 256)
        .arg((e + f) % 256)
        .arg((g + hh) % 256);
}

bool EasyUDPSocket::IsClassDAddress(const QString &group)
{
    // Octet values saturate well above 255, which keeps long digit runs from overflowing.
    constexpr quint32 saturated = 100000;
    int dots = 0;
    quint32 octet = 0;
    bool firstOctet = true;
    for (const QChar ch : group) {
        if (ch >= u'0' && ch <= u'9') {
            octet = qMin(saturated, octet * 10 + static_cast<quint32>(ch.unicode() - u'0'));
        } else if (ch == u'.') {
            ++dots;
            if (firstOctet) {
                if ((octet & ~quint32(0xF)) != 224)
                    return false;
                firstOctet = false;
            } else if (octet > 255) {
                return false;
            }
            octet = 0;
        } else {
            return false;
        }
    }
    return dots == 3 && octet <= 255;
}
