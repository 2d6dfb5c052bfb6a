// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "EasyUDPSocket.h"

#include <QStringList>

// The peer socket with group membership: it announces itself on Register, answers roll calls,
// announces its leaving on Unregister, reports members joining and leaving, and hands every
// other message to its owner through ReceivedMessage.
class AutoDiscovery : public EasyUDPSocket
{
    Q_OBJECT
public:
    static constexpr qint32 CommandRequestMembers = -100;
    static constexpr qint32 CommandMemberJoined = -101;
    static constexpr qint32 CommandMemberLeft = -102;

    explicit AutoDiscovery(QObject *parent = nullptr);
    // Announces the leaving from the last registered group, if the socket is still bound.
    ~AutoDiscovery() override;

    void Register(const QString &group) override;
    void Unregister(const QString &group) override;
    // Empties the member list and asks the group for a roll call; the answers refill it.
    void UpdateMemberList();
    // The live list itself: later arrivals show in it and changes made to it stay.
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
    QString mGroupName;
    QStringList mMembers;
};
