// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstdint>
#include <vector>

namespace Stats {
// Pairs each arrival with the send it answers and gives the latencies in nanoseconds. The
// answers carry no sequence number, so they are matched by order: walking back from the last,
// each arrival goes to the latest unmatched earlier send. While every answer comes before the
// next send this is exact, also when some sends were lost.
std::vector<std::int64_t> matchLatencies(
    const std::vector<std::int64_t> &sends, const std::vector<std::int64_t> &arrivals);
// Nearest-rank percentile (0 < p <= 100) of the values, in milliseconds; 0 when there are none.
double percentileMs(std::vector<std::int64_t> values, double p);
} // namespace Stats
