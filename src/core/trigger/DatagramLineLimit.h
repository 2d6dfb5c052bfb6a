// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/trigger/TokenBucket.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QTimer;

// How many log lines datagrams may cause. Anyone who reaches the tally or the relay port can
// send thousands of datagrams a second, and each would add a daily-log or system-log line
// without end. Lines are earned like tokens, per source and per kind of line within it (a tally
// value, a reply value), so that a flood of one value never hides a change to another, and per
// source as a whole, so that a flood of every value is bounded too; the source's budget is the
// larger, so one value's flood leaves room for the others. Real equipment stays under every
// budget: a tally sender repeats our address at up to 60 a second (frame or field rate) for as
// long as it runs, a switcher sends hundreds of addresses, and the relay box answers each
// command. Traffic that is genuine has budgets nobody else draws on: the display text of our
// own address is not counted with the datagrams of other addresses, nor the relay box's replies
// with those of other senders.
// Lines above a budget are not written but counted. The count goes to the system log at most
// once a second; the daily log gets a line saying how many of a source's lines are missing once
// the source has been quiet for QuietMs, and every FloodLinePeriodMs while its flood goes on,
// always in the file of the day whose lines it counts. Once the day's file has reached
// DayCeilingBytes, no more lines that datagrams cause go to it that day, and one line says so.
// Lines the operator causes never come here.
class DatagramLineLimit : public QObject
{
    Q_OBJECT
public:
    enum Source {
        TallyLines, // daily-log lines of tallies for our address; the kind is the tally value
        RelayBoxReplyLines, // daily-log lines of replies from the relay box's address; the kind is the value
        OtherReplyLines, // daily-log lines of replies from any other sender
        TallyNotes, // "RX Pcket", one for every tally datagram, whatever its address
        OwnTallyNotes, // the display text of tallies for our address
        PeerNotes, // our own peer messages coming back ("From me ignore")
    };
    static constexpr int SourceCount = 6;
    // The kinds of line within a source: 0 to KindCount - 1.
    static constexpr int KindCount = 4;

    // Burst lines at once, then PerSecond lines a second.
    struct Budget
    {
        int burst;
        int perSecond;
    };
    // Each kind's budget, and the source's as a whole, by Source.
    static constexpr std::array<Budget, SourceCount> KindBudget
        = {{{200, 75}, {100, 20}, {100, 20}, {1000, 1250}, {200, 75}, {500, 250}}};
    static constexpr std::array<Budget, SourceCount> SourceBudget
        = {{{400, 150}, {150, 30}, {150, 30}, {1000, 1250}, {200, 75}, {500, 250}}};

    // A source that refused no line for this long has ended its flood.
    static constexpr qint64 QuietMs = 1000;
    // Refused lines are told to the system log at most once in this time.
    static constexpr qint64 ReportPeriodMs = 1000;
    // A flood that goes on has its count so far written to the daily log after this long.
    static constexpr qint64 FloodLinePeriodMs = 30'000;
    // The size of a day's file past which lines that datagrams cause stop for that day: above
    // the 350 MB or so of a day of a sender repeating our address at 60 a second.
    static constexpr qint64 DayCeilingBytes = 512LL * 1024 * 1024;

    // What the limit reads and writes through.
    struct Io
    {
        std::function<qint64()> monotonicMs;
        // The local date and time, which says the day a line belongs to. It is read for every
        // daily-log datagram of a flood, so it must be cheap (Clock::now is).
        std::function<QDateTime()> clock;
        // Writes a line to the daily log of the day of `when`, stamped with it.
        std::function<void(const QString &line, const QDateTime &when)> dailyLog;
        std::function<void(const QString &line)> systemLog;
        // The size of the day's file of `when`, 0 when there is none.
        std::function<qint64(const QDateTime &when)> dayFileBytes;
    };

    explicit DatagramLineLimit(Io io, QObject *parent = nullptr);

    // Whether a line of `kind` from `source` may be written now; a refused one is counted. The
    // daily-log line a flood of this source owes is written first.
    bool admit(Source source, int kind = 0);
    // Tells what the counts owe: the system-log count once a second is due, and the daily-log
    // line of each flood that has ended, gone on for FloodLinePeriodMs or seen the day change;
    // `ending` ends every flood now (at close). Runs from a timer while any count is untold.
    void settle(bool ending = false);

    // The daily-log line for `refused` lines of `source` that were not written.
    static QString gapLine(Source source, qint64 refused);
    // The daily-log line that says the day's file is full.
    static QString ceilingLine();

private:
    struct Count
    {
        std::array<TokenBucket, KindCount> kinds;
        TokenBucket whole;
        qint64 unreported = 0; // refused since the last system-log report
        qint64 flood = 0; // refused since the last daily-log line of this source
        qint64 floodSince = 0; // when the first of those was refused
        qint64 lastRefusedAt = 0;
        QDateTime lastRefusedWall; // the local time of the last, whose day its line goes to
        std::optional<qint64> reportedAt;
    };

    void settle(Source source, qint64 nowMs, const QDateTime &now, bool ending);
    // Whether the day's file of `now` is past the ceiling; the first time it is, the lines owed
    // for the day and the line saying so are written.
    bool dayFull(qint64 nowMs, const QDateTime &now);

    Io m_io;
    std::array<Count, SourceCount> m_counts;
    std::optional<QDate> m_fullDay;
    QTimer *m_timer = nullptr;
};
