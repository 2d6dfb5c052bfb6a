// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/HostNetwork.h"
#include "core/platform/Result.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QTimer;

// Keeps the program's multicast groups joined while the host's network changes under it. A
// network card that is unplugged and plugged in again comes back as a new interface without
// any of the memberships the old one held, and the program would hear no group tally and no
// peer again. After each burst of changes every group is joined again on what is there now
// (a group still joined stays so), and the system log says so in one line. A group that cannot
// be joined yet (no route to it so far) is tried again every RetryMs until it can.
class GroupRejoin : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 1000;

    struct Group
    {
        QString address;
        std::function<Result<>()> joinAgain;
    };

    // Watches the host through `network`; nothing is watched when it cannot.
    GroupRejoin(std::vector<Group> groups, const HostNetwork::View &network, QObject *parent = nullptr);

    void networkChanged();

private:
    void joinAll(bool afterChange);

    std::vector<Group> m_groups;
    QTimer *m_retry;
    bool m_failing = false;
};
