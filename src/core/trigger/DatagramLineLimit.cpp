// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/DatagramLineLimit.h"

#include <QTimer>

namespace {
bool isDailyLog(DatagramLineLimit::Source source)
{
    return source == DatagramLineLimit::TallyLines || source == DatagramLineLimit::RelayBoxReplyLines
        || source == DatagramLineLimit::OtherReplyLines;
}

// What the system-log count is of.
QString description(DatagramLineLimit::Source source)
{
    switch (source) {
    case DatagramLineLimit::TallyLines:
        return QStringLiteral("daily-log lines of tallies");
    case DatagramLineLimit::RelayBoxReplyLines:
        return QStringLiteral("daily-log lines of relay replies from the relay box");
    case DatagramLineLimit::OtherReplyLines:
        return QStringLiteral("daily-log lines of relay replies from other senders");
    case DatagramLineLimit::TallyNotes:
        return QStringLiteral("system-log lines of tally datagrams");
    case DatagramLineLimit::OwnTallyNotes:
        return QStringLiteral("system-log lines of tally texts for our address");
    case DatagramLineLimit::PeerNotes:
        return QStringLiteral("system-log lines of our own peer messages");
    }
    return QString();
}
} // namespace

DatagramLineLimit::DatagramLineLimit(Io io, QObject *parent) : QObject(parent), m_io(std::move(io))
{
    for (int source = 0; source < SourceCount; ++source) {
        m_counts[source].kinds.fill(TokenBucket(KindBudget[source].burst, KindBudget[source].perSecond));
        m_counts[source].whole = TokenBucket(SourceBudget[source].burst, SourceBudget[source].perSecond);
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
    const qint64 nowMs = m_io.monotonicMs();
    // Only daily-log lines need the day; the system-log notes of a flood skip the clock.
    const bool daily = isDailyLog(source);
    const QDateTime now = daily ? m_io.clock() : QDateTime();
    if (daily && m_fullDay == now.date())
        return false;
    Count &count = m_counts[source];
    if (count.flood > 0)
        settle(source, nowMs, now, false);
    TokenBucket &kindBucket = count.kinds[qBound(0, kind, KindCount - 1)];
    if (kindBucket.canTake(nowMs) && count.whole.canTake(nowMs)) {
        if (daily && dayFull(nowMs, now))
            return false;
        kindBucket.take(nowMs);
        count.whole.take(nowMs);
        return true;
    }
    ++count.unreported;
    if (count.flood++ == 0)
        count.floodSince = nowMs;
    count.lastRefusedAt = nowMs;
    count.lastRefusedWall = now;
    settle(source, nowMs, now, false);
    if (!m_timer->isActive())
        m_timer->start();
    return false;
}

void DatagramLineLimit::settle(bool ending)
{
    const qint64 nowMs = m_io.monotonicMs();
    const QDateTime now = m_io.clock();
    bool owed = false;
    for (int source = 0; source < SourceCount; ++source) {
        settle(Source(source), nowMs, now, ending);
        owed = owed || m_counts[source].flood > 0;
    }
    if (!owed)
        m_timer->stop();
}

void DatagramLineLimit::settle(Source source, qint64 nowMs, const QDateTime &now, bool ending)
{
    Count &count = m_counts[source];
    const bool daily = isDailyLog(source);
    // The lines a flood has refused belong to the day they were refused on: when the day has
    // changed, their line goes to that day's file, stamped with the last of them.
    const bool dayChanged = daily && count.flood > 0 && now.isValid() && now.date() != count.lastRefusedWall.date();
    const bool ended = count.flood > 0 && (ending || dayChanged || nowMs - count.lastRefusedAt >= QuietMs);
    const bool longFlood = count.flood > 0 && nowMs - count.floodSince >= FloodLinePeriodMs;
    // A flood that has ended was quiet for QuietMs, so its last count keeps the period too.
    if (count.unreported > 0 && (ended || !count.reportedAt || nowMs - *count.reportedAt >= ReportPeriodMs)) {
        const qint64 unreported = count.unreported;
        count.unreported = 0;
        count.reportedAt = nowMs;
        m_io.systemLog(
            QStringLiteral("%1 %2 not written: they come too fast").arg(unreported).arg(description(source)));
    }
    if (!ended && !longFlood)
        return;
    const qint64 flood = count.flood;
    count.flood = 0;
    if (daily)
        m_io.dailyLog(gapLine(source, flood), dayChanged || !now.isValid() ? count.lastRefusedWall : now);
}

bool DatagramLineLimit::dayFull(qint64 nowMs, const QDateTime &now)
{
    if (m_io.dayFileBytes(now) < DayCeilingBytes)
        return false;
    // The counts owed so far are of lines of this day, so they are told before the ceiling.
    for (const Source source : {TallyLines, RelayBoxReplyLines, OtherReplyLines})
        settle(source, nowMs, now, true);
    m_fullDay = now.date();
    m_io.dailyLog(ceilingLine(), now);
    m_io.systemLog(QStringLiteral("The daily log of %1 has reached %2 MB: lines that datagrams cause are not written "
                                  "to it for the rest of that day")
                       .arg(now.date().toString(Qt::ISODate))
                       .arg(DayCeilingBytes / (1024 * 1024)));
    return true;
}

QString DatagramLineLimit::gapLine(Source source, qint64 refused)
{
    const QString name = source == TallyLines ? QStringLiteral("Tally") : QStringLiteral("Relay Reply");
    return QStringLiteral("%1 Flood: %2 Lines Not Logged").arg(name).arg(refused);
}

QString DatagramLineLimit::ceilingLine()
{
    return QStringLiteral("Daily Log Full: Lines From Datagrams Not Logged Until Tomorrow");
}
