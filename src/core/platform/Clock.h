// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>

// The system's clocks. The trigger reads its clocks through the services it is given
// (core/platform/Services.h); these are the ones main.cpp hands in.
namespace Clock {
// The local date and time to the second (what is shown and written has no finer part); it
// may be set back or forward. A flood asks for it on every datagram, and every reading of the
// local time looks at the time zone's file, so a reading serves for the rest of its second
// and at most LocalReuseMs: a new second, or a time zone changed meanwhile, is seen at once or
// within that time.
QDateTime now();
// Milliseconds of the monotonic clock, from an arbitrary start: for measuring time that has
// passed, since no one sets this clock.
qint64 monotonicMs();

inline constexpr qint64 LocalReuseMs = 100;

// The local time of `utcSecond` (seconds since the epoch), read again from the time zone only
// when the second differs from the last reading's or LocalReuseMs have passed since it
// (`nowMs`, monotonic). One per thread.
class LocalSeconds
{
public:
    QDateTime at(qint64 utcSecond, qint64 nowMs);
    // How often the time zone was read, for tests.
    int reads() const { return m_reads; }

private:
    QDateTime m_local;
    qint64 m_second = 0;
    qint64 m_readAt = 0;
    int m_reads = 0;
};
} // namespace Clock
