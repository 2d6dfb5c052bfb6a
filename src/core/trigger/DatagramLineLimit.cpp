// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/DatagramLineLimit.h"

#include <QTimer>

namespace {
bool isDailyLog(DatagramLineLimit::Source source)
{
    return source == DatagramLineLimit::TallyLines || source == DatagramLineLimit::RelayReplyLines;
}

// What the system-log count is of.
QString description(DatagramLineLimit::Source source)
{
    switch (source) {
    case DatagramLineLimit::TallyLines:
        return QStringLiteral("daily-log lines of tallies");
    case DatagramLineLimit::RelayReplyLines:
        return QStringLiteral("daily-log lines of relay replies");
    case DatagramLineLimit::TallyNotes:
        return QStringLiteral("system-log lines of tally datagrams");
    case DatagramLineLimit::PeerNotes:
        return QStringLiteral("system-log lines of our own peer messages");
    }
    return QString();
}
} // namespace

DatagramLineLimit::DatagramLineLimit(std::function<qint64()> monotonicMs, std::function<void(const QString &)> dailyLog,
    std::function<void(const QString &)> systemLog, QObject *parent)
    : QObject(parent), m_monotonicMs(std::move(monotonicMs)), m_dailyLog(std::move(dailyLog)),
      m_systemLog(std::move(systemLog))
{
    for (int source = 0; source < SourceCount; ++source) {
        const TokenBucket full = isDailyLog(Source(source)) ? TokenBucket(DailyLogBurst, DailyLogRefillMs)
                                                            : TokenBucket(SystemLogBurst, SystemLogRefillMs);
        m_counts[source].buckets.fill(full);
    }
    // A flood's end is seen within a quarter of a second; the timer runs only while a count is
    // owed, so an idle program does not wake for it.
    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::CoarseTimer);
    m_timer->setInterval(250);
    connect(m_timer, &QTimer::timeout, this, [this] { settle(); });
}

bool DatagramLineLimit::admit(Source source, int kind)
{
    const qint64 nowMs = m_monotonicMs();
    Count &count = m_counts[source];
    if (count.flood > 0)
        settle(source, nowMs, false);
    if (count.buckets[qBound(0, kind, KindCount - 1)].take(nowMs))
        return true;
    ++count.unreported;
    ++count.flood;
    count.lastRefusedAt = nowMs;
    settle(source, nowMs, false);
    if (!m_timer->isActive())
        m_timer->start();
    return false;
}

void DatagramLineLimit::settle(bool ending)
{
    const qint64 nowMs = m_monotonicMs();
    bool owed = false;
    for (int source = 0; source < SourceCount; ++source) {
        settle(Source(source), nowMs, ending);
        owed = owed || m_counts[source].flood > 0;
    }
    if (!owed)
        m_timer->stop();
}

void DatagramLineLimit::settle(Source source, qint64 nowMs, bool ending)
{
    Count &count = m_counts[source];
    const bool ended = count.flood > 0 && (ending || nowMs - count.lastRefusedAt >= QuietMs);
    // A flood that has ended was quiet for QuietMs, so its last count keeps the period too.
    if (count.unreported > 0 && (ended || !count.reportedAt || nowMs - *count.reportedAt >= ReportPeriodMs)) {
        const qint64 unreported = count.unreported;
        count.unreported = 0;
        count.reportedAt = nowMs;
        m_systemLog(QStringLiteral("%1 %2 not written: they come too fast").arg(unreported).arg(description(source)));
    }
    if (!ended)
        return;
    const qint64 flood = count.flood;
    count.flood = 0;
    if (isDailyLog(source))
        m_dailyLog(gapLine(source, flood));
}

QString DatagramLineLimit::gapLine(Source source, qint64 refused)
{
    const QString name = source == RelayReplyLines ? QStringLiteral("Relay Reply") : QStringLiteral("Tally");
    return QStringLiteral("%1 Flood: %2 Lines Not Logged").arg(name).arg(refused);
}
