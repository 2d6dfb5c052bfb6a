// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Pacing.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace Pacing {
namespace {
constexpr std::int64_t kSpinNs = 60'000;

timespec toTimespec(std::int64_t ns)
{
    timespec ts {};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}
} // namespace

std::int64_t nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void sleepUntil(std::int64_t deadlineNs)
{
    if (deadlineNs - nowNs() > kSpinNs) {
        const timespec wake = toTimespec(deadlineNs - kSpinNs);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) { }
    }
    while (nowNs() < deadlineNs) { }
}

void sleepFor(std::int64_t durationNs)
{
    const timespec wake = toTimespec(nowNs() + durationNs);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) { }
}

void tightenTimerSlack()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}
} // namespace Pacing
