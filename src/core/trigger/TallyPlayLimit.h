// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/trigger/TokenBucket.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;

// How often a tally may start the playout script, and how many of its runs may be alive at
// once. A tally that flaps between off and on would otherwise start one run per off-to-on step,
// thousands a second. Starts are earned like tokens: a tally has Burst of them to spend at once,
// so that no real tally is ever held back, and gets one back every RefillMs, so a flapping one
// settles at four runs a second. A site script that waits would still pile up four live
// processes a second, so a start is also skipped while MaxAlive of the tally's runs have not
// ended.
// The times are milliseconds of a clock that only moves forward (the monotonic clock): a step of
// the wall clock must not hand out a new burst. A step back only delays the next refill.
class TallyPlayLimit : public QObject
{
    Q_OBJECT
public:
    static constexpr int Burst = 16;
    static constexpr qint64 RefillMs = 250;
    static constexpr int MaxAlive = 4;
    // Skipped starts are counted and told to the system log at most once in this time, and
    // before the next start that is let through; a skip is told within this time even when no
    // further step comes.
    static constexpr qint64 ReportPeriodMs = 1000;

    // monotonicMs reads the clock when a timer tells the skips; systemLog writes their count.
    TallyPlayLimit(
        std::function<qint64()> monotonicMs, std::function<void(const QString &)> systemLog, QObject *parent = nullptr);

    // One off-to-on step that would start the script at nowMs: whether it starts it. runsAlive
    // counts the tally's runs that have not ended; it is asked only when a token is there to
    // spend, and a step skipped for live runs spends its token all the same, so that a flood of
    // steps counts the runs at most as often as starts are earned.
    bool request(qint64 nowMs, const std::function<int()> &runsAlive);

private:
    void tell(qint64 nowMs);

    std::function<qint64()> m_monotonicMs;
    std::function<void(const QString &)> m_systemLog;
    TokenBucket m_starts {Burst, int(1000 / RefillMs)};
    int m_skippedFast = 0;
    int m_skippedBusy = 0;
    std::optional<qint64> m_reportedAt;
    QTimer *m_timer = nullptr;
};
