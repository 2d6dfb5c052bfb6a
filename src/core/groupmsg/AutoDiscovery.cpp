// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/groupmsg/AutoDiscovery.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcGroupMsg)

AutoDiscovery::AutoDiscovery(QObject *parent, PeerReassembler::Clock clock)
    : EasyUDPSocket(parent, std::move(clock)) { }

AutoDiscovery::~AutoDiscovery()
{
    Unregister(mGroupName);
}

void AutoDiscovery::Register(const QString &group)
{
    if (!IsConnected())
        return;
    mGroupName = group;
    EasyUDPSocket::Register(group);
    // Announced even when the join failed (that was reported through Error): the others may
    // still hear us. With loopback on we hear it too and list ourselves.
    EasyUDPSocket::SendMessageToGroup(group, CommandMemberJoined, QByteArray());
}

void AutoDiscovery::Unregister(const QString &group)
{
    if (!IsConnected())
        return;
    // Loopback off for this one send, so we do not report our own leaving to ourselves.
    const bool sendToSelf = SendToSelf();
    setSendToSelf(false);
    EasyUDPSocket::SendMessageToGroup(group, CommandMemberLeft, QByteArray());
    setSendToSelf(sendToSelf);
    EasyUDPSocket::Unregister(group);
}

Result<> AutoDiscovery::JoinAgain()
{
    return JoinMulticastGroupAgain(GroupAddress());
}

void AutoDiscovery::UpdateMemberList()
{
    if (!IsConnected())
        return;
    mMembers.clear();
    EasyUDPSocket::SendMessageToGroup(mGroupName, CommandRequestMembers, QByteArray());
}

QStringList &AutoDiscovery::GetMemberList()
{
    return mMembers;
}

void AutoDiscovery::SendMessageToGroup(qint32 command, const QByteArray &data)
{
    EasyUDPSocket::SendMessageToGroup(mGroupName, command, data);
}

void AutoDiscovery::handleReceivedMessage(const QString &from, qint32 command, const QByteArray &data)
{
    switch (command) {
    case CommandRequestMembers:
        answerRollCall(from);
        break;
    case CommandMemberJoined:
        if (mMembers.size() < MaxMembers && !mMembers.contains(from))
            mMembers.append(from);
        Q_EMIT MemberJoined(from);
        break;
    case CommandMemberLeft:
        Q_EMIT MemberLeft(from);
        break;
    default:
        Q_EMIT ReceivedMessage(from, command, data);
        break;
    }
}

void AutoDiscovery::answerRollCall(const QString &from)
{
    const qint64 now = clockNow();
    while (!mAnsweredOrder.empty() && now - mAnsweredOrder.front().first >= RollCallAnswerIntervalMs) {
        mAnswered.remove(mAnsweredOrder.front().second);
        mAnsweredOrder.pop_front();
    }
    if (mAnswered.contains(from) || mAnswered.size() >= MaxRollCallAnswersPerInterval) {
        // A flood of roll calls costs one diagnostic line a second, not one per roll call.
        ++mUnansweredRollCalls;
        if (mUnansweredSince < 0 || now - mUnansweredSince >= RollCallAnswerIntervalMs) {
            qCDebug(lcGroupMsg) << mUnansweredRollCalls << "roll call(s) not answered again so soon, the last from"
                                << from;
            mUnansweredRollCalls = 0;
            mUnansweredSince = now;
        }
        return;
    }
    mAnswered.insert(from);
    mAnsweredOrder.emplace_back(now, from);
    SendMessageToIndividual(from, CommandMemberJoined, QByteArray());
}
