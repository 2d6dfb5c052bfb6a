// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/groupmsg/EasyUDPSocket.h"

#include <QSet>
#include <QStringList>

#include <deque>
#include <utility>

// The peer socket with group membership: it announces itself on Register, answers roll calls,
// announces its leaving on Unregister, reports members joining and leaving, and hands every
// other message to its owner through ReceivedMessage.
//
// Source addresses can be forged, so the member list holds each address once and at most
// MaxMembers of them, and a sender's roll calls are answered at most once a second (however
// many one datagram carries): the socket cannot be made to flood a third host with answers.
class AutoDiscovery : public EasyUDPSocket
{
    Q_OBJECT
public:
    static constexpr qint32 CommandRequestMembers = -100;
    static constexpr qint32 CommandMemberJoined = -101;
    static constexpr qint32 CommandMemberLeft = -102;
    // Far above the members of a group; keeps the look-up on every join cheap.
    static constexpr qsizetype MaxMembers = 256;
    static constexpr qint64 RollCallAnswerIntervalMs = 1000;
    // Senders answered within one interval, all together.
    static constexpr qsizetype MaxRollCallAnswersPerInterval = 256;

    explicit AutoDiscovery(QObject *parent = nullptr, PeerReassembler::Clock clock = {});
    // Announces the leaving from the last registered group, if the socket is still bound.
    ~AutoDiscovery() override;

    void Register(const QString &group) override;
    void Unregister(const QString &group) override;
    // Joins the registered group's address again after the host's network changed, without
    // announcing anything: the others still know us.
    Result<> JoinAgain();
    // The address of the last group registered while bound.
    QString GroupAddress() const { return HashGroupNameToIP(mGroupName); }
    // Empties the member list and asks the group for a roll call; the answers refill it.
    void UpdateMemberList();
    // The live list itself, each address once: later arrivals show in it and changes made to
    // it stay.
    QStringList &GetMemberList();

    using EasyUDPSocket::SendMessageToGroup;
    // To the group of the last Register made while bound.
    void SendMessageToGroup(qint32 command, const QByteArray &data);

Q_SIGNALS:
    void MemberJoined(const QString &address);
    void MemberLeft(const QString &address);

protected:
    void handleReceivedMessage(const QString &from, qint32 command, const QByteArray &data) override;

private:
    void answerRollCall(const QString &from);

    QString mGroupName;
    QStringList mMembers;
    // Senders whose roll call was answered within the last interval, and when, oldest first.
    QSet<QString> mAnswered;
    std::deque<std::pair<qint64, QString>> mAnsweredOrder;
    quint64 mUnansweredRollCalls = 0;
    qint64 mUnansweredSince = -1;
};
