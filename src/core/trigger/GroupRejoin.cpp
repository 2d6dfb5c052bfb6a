// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/GroupRejoin.h"

#include "core/platform/DebugLog.h"

#include <QStringList>
#include <QTimer>

GroupRejoin::GroupRejoin(std::vector<Group> groups, const HostNetwork::View &network, QObject *parent)
    : QObject(parent), m_groups(std::move(groups)), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] { joinAll(false); });
    if (network.watchChanges)
        network.watchChanges(this, [this] { networkChanged(); });
}

void GroupRejoin::networkChanged()
{
    m_retry->stop();
    joinAll(true);
}

void GroupRejoin::joinAll(bool afterChange)
{
    QStringList joined;
    QStringList failed;
    for (const Group &group : m_groups) {
        const Result<> result = group.joinAgain();
        if (result.ok())
            joined.append(group.address);
        else
            failed.append(QStringLiteral("%1 (%2)").arg(group.address, result.error()));
    }
    const QString joinedText = QStringLiteral("joined %1 again").arg(joined.join(QLatin1String(" and ")));
    if (failed.isEmpty()) {
        // After a failure the line that follows the change tells how it ended.
        if (afterChange || m_failing)
            DebugLog(QStringLiteral("Network changed: ") + joinedText);
        m_failing = false;
        return;
    }
    if (afterChange) {
        DebugLog(QStringLiteral("Network changed: %1could not join %2; trying again every second")
                     .arg(joined.isEmpty() ? QString() : joinedText + QStringLiteral(", "),
                         failed.join(QLatin1String(", "))));
    }
    m_failing = true;
    m_retry->start();
}
