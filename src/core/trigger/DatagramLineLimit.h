// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/trigger/TokenBucket.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QTimer;

// How many log lines datagrams may cause. Anyone who reaches the tally or the relay port can
// send thousands of datagrams a second, and each would add a daily-log or system-log line
// without end. Lines are earned like tokens, per source and per kind of line within it (a tally
// value, a reply value), so that a flood of one value never hides a change to another: a kind
// has Burst lines to spend at once and earns one back every RefillMs, which no real tally
// source or relay box comes near. Lines above that are not written but counted. The count goes
// to the system log at most once a second, and once a source has been quiet for QuietMs the
// daily log gets one line saying how many of its lines are missing, so the gap is seen where
// it is. Lines the operator causes never come here.
class DatagramLineLimit : public QObject
{
    Q_OBJECT
public:
    enum Source {
        TallyLines, // daily-log lines of tallies for our address
        RelayReplyLines, // daily-log lines of relay replies
        TallyNotes, // system-log lines of tally datagrams ("RX Pcket" and the display text)
        PeerNotes, // system-log lines of our own peer messages coming back ("From me ignore")
    };
    static constexpr int SourceCount = 4;
    // The kinds of line within a source: 0 to KindCount - 1.
    static constexpr int KindCount = 4;

    static constexpr int DailyLogBurst = 100;
    static constexpr qint64 DailyLogRefillMs = 50; // 20 lines a second
    static constexpr int SystemLogBurst = 500;
    static constexpr qint64 SystemLogRefillMs = 4; // 250 lines a second
    // A source that refused no line for this long has ended its flood.
    static constexpr qint64 QuietMs = 1000;
    // Refused lines are told to the system log at most once in this time.
    static constexpr qint64 ReportPeriodMs = 1000;

    // monotonicMs reads the clock; dailyLog writes a line to the daily log and systemLog one to
    // the system log.
    DatagramLineLimit(std::function<qint64()> monotonicMs, std::function<void(const QString &)> dailyLog,
        std::function<void(const QString &)> systemLog, QObject *parent = nullptr);

    // Whether a line of `kind` from `source` may be written now; a refused one is counted. The
    // daily-log line of a flood of this source that has ended is written first.
    bool admit(Source source, int kind = 0);
    // Tells what the counts owe: the system-log count once a second is due, and the daily-log
    // line of each flood that has ended; `ending` ends every flood now (at close). Runs from a
    // timer while any count is untold.
    void settle(bool ending = false);

    // The daily-log line for `refused` lines of `source` that were not written.
    static QString gapLine(Source source, qint64 refused);

private:
    struct Count
    {
        std::array<TokenBucket, KindCount> buckets;
        qint64 unreported = 0; // refused since the last system-log report
        qint64 flood = 0; // refused since the flood began
        qint64 lastRefusedAt = 0;
        std::optional<qint64> reportedAt;
    };

    void settle(Source source, qint64 nowMs, bool ending);

    std::function<qint64()> m_monotonicMs;
    std::function<void(const QString &)> m_dailyLog;
    std::function<void(const QString &)> m_systemLog;
    std::array<Count, SourceCount> m_counts;
    QTimer *m_timer = nullptr;
};
