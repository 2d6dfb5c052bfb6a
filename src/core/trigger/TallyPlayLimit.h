// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

#include <optional>

// How often a tally may start the playout script. A tally that flaps between off and on would
// otherwise start one run per off-to-on step, thousands a second. Starts are earned like
// tokens: a tally has Burst of them to spend at once, so that no real tally is ever held back,
// and gets one back every RefillMs, so a flapping one settles at four runs a second.
// The times are milliseconds of any clock that moves forward; a step back only delays the next
// refill.
class TallyPlayLimit
{
public:
    static constexpr int Burst = 16;
    static constexpr qint64 RefillMs = 250;
    // Skipped starts are counted and told to the system log at most once in this time, and
    // before the next start that is let through.
    static constexpr qint64 ReportPeriodMs = 1000;

    struct Verdict
    {
        bool start = false;
        QString report; // a system-log line to write now, or empty
    };

    // One off-to-on step that would start the script at nowMs.
    Verdict request(qint64 nowMs);

private:
    QString takeReport(qint64 nowMs);

    int m_tokens = Burst;
    std::optional<qint64> m_refilledAt;
    int m_unreported = 0;
    std::optional<qint64> m_reportedAt;
};
