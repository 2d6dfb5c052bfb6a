// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QUdpSocket;

// The framework's UDP socket over QUdpSocket.
//
// DataAvailable is raised once per waiting datagram, both when Qt reports new data and when
// Poll() asks; each handler reads one datagram. If a handler reads nothing the delivery stops
// until the next report, so a socket never spins. Delivery does not nest: a report that comes
// while a handler runs (a modal box's nested event loop, say) is taken up by the running
// delivery once the handler returns. A handler that throws ends the delivery it ran in, not the
// socket's: delivery goes on as if it had returned.
//
// One delivery hands over a bounded batch (BatchDatagrams reads or BatchTime, whichever comes
// first) and then returns to the event loop, so a steady stream on one socket cannot starve
// the other sockets, the timers, the window or a signal. What is left is taken up by a queued
// call on the next pass of the loop (and by Qt's report or Poll(), whichever comes first).
//
// Qt stays silent after a report until the socket is read. A report can come after its
// datagram was taken (by the queued call or a poll that ran first in the same pass of the
// loop); such a report is answered by a read that finds nothing, so the next datagram is
// reported again.
class UDPSocket : public QObject
{
    Q_OBJECT
public:
    struct Datagram
    {
        QString Address; // source address text, empty when nothing was read
        quint16 SourcePort = 0;
        QByteArray Data;
    };

    // Codes of LastErrorCode, after the framework's table.
    enum ErrorCode {
        NoError = 0,
        OpenDriverError = 100,
        LostConnection = 102,
        NameResolutionError = 103,
        AddressInUseError = 105,
        InvalidStateError = 106,
        InvalidPortError = 107,
        OutOfMemoryError = 108,
    };

    static constexpr int BatchDatagrams = 64;
    static constexpr int BatchTimeMs = 5;
    // Asked of the kernel for every bound socket: a burst the loop has not yet caught up with
    // waits in the socket rather than being dropped.
    static constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

    explicit UDPSocket(QObject *parent = nullptr);
    ~UDPSocket() override;

    int Port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    int RouterHops() const { return m_routerHops; }
    void setRouterHops(int hops);
    bool SendToSelf() const { return m_sendToSelf; }
    void setSendToSelf(bool on);

    // Binds to Port on every IPv4 interface; failure leaves LastErrorCode set and raises Error.
    void Connect();
    bool IsConnected() const;
    int LastErrorCode() const { return m_lastErrorCode; }
    // The host's own IPv4 address for a socket bound to all interfaces.
    QString LocalAddress() const;

    bool JoinMulticastGroup(const QString &group);
    void LeaveMulticastGroup(const QString &group);
    // Joins `group` again after the host's network changed: a re-created interface has lost
    // every membership, while one that only changed its address still holds it, which counts
    // as joined. The memberships this socket held on interfaces that are gone are dropped
    // first, so replugs never use up the few a socket may hold. Raises no Error and leaves
    // LastErrorCode alone; the result says why it failed.
    Result<> JoinMulticastGroupAgain(const QString &group);

    void Poll();
    int PacketsAvailable() const;
    Datagram Read();
    // One datagram to address at this socket's own Port.
    void Write(const QString &address, const QByteArray &data);
    void Close();

Q_SIGNALS:
    void DataAvailable();
    void Error(int code, const QString &message);

private:
    // Larger than any UDP datagram.
    static constexpr int MaxDatagramBytes = 64 * 1024;

    void reported();
    void deliver();
    void answerReport();
    void continueDelivery();
    // Asks once, behind whatever the loop holds, for the datagrams still waiting.
    void queueContinuation();
    void applyMulticastOptions();
    void fail(int code, const QString &message);

    QUdpSocket *m_socket;
    int m_port = 0;
    int m_routerHops = 32;
    bool m_sendToSelf = false;
    int m_lastErrorCode = NoError;
    bool m_delivering = false;
    bool m_deliverAgain = false;
    bool m_mayHoldUnreported = true;
    bool m_continuationQueued = false;
    // Qt reported and the socket has not been read since.
    bool m_reportUnread = false;
    bool m_answeringReport = false;
    // The interfaces, by index, each group was joined on while this socket was bound.
    QHash<quint32, QList<int>> m_groupInterfaces;
    // A datagram that came in just before a report was answered, for the next Read().
    std::optional<Datagram> m_readAhead;
    quint64 m_reads = 0;
    // Reads land here first.
    QByteArray m_readBuffer;

public:
    // A sender's address with its text, made once for a run of datagrams from it.
    struct SenderText
    {
        QHostAddress address;
        QString text;
    };

private:
    SenderText m_lastSender;
    // The address of the last Write, parsed once for the writes that follow to it.
    QString m_lastDestinationText;
    QHostAddress m_lastDestination;
};
