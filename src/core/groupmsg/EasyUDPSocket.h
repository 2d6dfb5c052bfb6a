// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/groupmsg/MessagePacket.h"
#include "core/groupmsg/PeerReassembler.h"
#include "core/platform/UDPSocket.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// The peer socket: command messages framed by MessagePacket, one per datagram, sent to a group
// whose multicast address comes from its name, and reassembled per sender on receipt.
//
// Owners send with SendMessageToGroup / SendMessageToIndividual and receive through
// ReceivedMessage; reading and writing the socket directly is refused.
class EasyUDPSocket : public UDPSocket
{
    Q_OBJECT
public:
    // Modulus of the group-name hash.
    static constexpr qint64 HashBins = 16777216;
    // Datagrams read per report before their messages are cut and the loop gets its turn
    // again; the rest wait for the next report.
    static constexpr int DatagramsPerBatch = 16;

    // `clock` (milliseconds, never going back) times what the socket holds back; the steady
    // clock when none is given.
    explicit EasyUDPSocket(QObject *parent = nullptr, PeerReassembler::Clock clock = {});
    ~EasyUDPSocket() override;

    // These always throw RuntimeException; nothing is read or sent.
    [[noreturn]] Datagram Read();
    [[noreturn]] void Write(const Datagram &datagram);
    [[noreturn]] void Write(const QString &address, const QByteArray &data);

    // Binds to `port`, then turns multicast loopback on and the hop limit to 255, even when
    // the bind failed. A failure raises Error once.
    void Bind(int port);
    // Join and leave the group's address; silent no-ops while the socket is not bound.
    virtual void Register(const QString &group);
    virtual void Unregister(const QString &group);
    // One message as one datagram to the group's address or to `address` as given, at this
    // socket's Port; silent no-ops while the socket is not bound.
    void SendMessageToGroup(const QString &group, qint32 command, const QByteArray &data);
    void SendMessageToIndividual(const QString &address, qint32 command, const QByteArray &data);

    // Runs the event loop until a message with `command` and non-empty data arrives, and
    // returns its data with its sender in `from`. Returns an empty array, leaving `from`
    // alone, when the socket is not bound, a socket error is raised during the wait, the time
    // limit passes, or a wait is already running. While waiting, every other message is
    // consumed without an event.
    QByteArray WaitForMessage(
        qint32 command, QString &from, std::optional<std::chrono::milliseconds> timeLimit = std::nullopt);

    static QByteArray CreatePacket(qint32 command, const QByteArray &data);
    // The group's multicast address: a dotted address from 224 to 239 as it stands, any other
    // name hashed into 224.0.0.0 - 239.255.255.255.
    static QString HashGroupNameToIP(const QString &group);
    static bool IsClassDAddress(const QString &group);

    // True while received messages are being handed on: a handler runs inside the receive
    // pass, which must not wait on anything modal.
    bool IsReceiving() const { return mBuffers.isProcessing(); }

Q_SIGNALS:
    void Error(int code);
    void ReceivedMessage(const QString &from, qint32 command, const QByteArray &data);

protected:
    // Where each complete message ends up when no wait claims it; raises ReceivedMessage.
    virtual void handleReceivedMessage(const QString &from, qint32 command, const QByteArray &data);
    qint64 clockNow() const { return m_clock(); }

private:
    static QString hashed(const QString &group);
    void dataAvailable();
    void socketError();
    void ProcessData();
    void CheckForSingleMessage(const QString &from, const MessagePacket &message);
    bool WaitingForThisMessage(qint32 command, const QByteArray &data, const QString &from);

    PeerReassembler::Clock m_clock;
    PeerReassembler mBuffers;
    QByteArray mCommandResponse;
    QString mMessageFrom;
    qint32 mWaitForThisCommand = -1;
    bool m_binding = false;
    bool m_errorDuringWait = false;
};
