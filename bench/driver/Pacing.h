// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstdint>

// Time on CLOCK_MONOTONIC in nanoseconds, the clock every stamp of the bench is taken on (the
// simulators' "at" stamps use the same clock, in microseconds).
namespace Pacing {
std::int64_t nowNs();
// Sleeps until shortly before `deadlineNs`, then spins to it, so that paced sends leave on time.
void sleepUntil(std::int64_t deadlineNs);
void sleepFor(std::int64_t durationNs);
// Asks the kernel for the finest timer slack this thread can have.
void tightenTimerSlack();
} // namespace Pacing
