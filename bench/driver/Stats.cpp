// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Stats.h"

#include <algorithm>
#include <cmath>

namespace Stats {

std::vector<std::int64_t> matchLatencies(
    const std::vector<std::int64_t> &sends, const std::vector<std::int64_t> &arrivals)
{
    std::vector<std::int64_t> latencies;
    std::size_t next = sends.size(); // sends at and after `next` are taken
    for (std::size_t a = arrivals.size(); a-- > 0;) {
        while (next > 0 && sends[next - 1] > arrivals[a])
            --next;
        if (next == 0)
            break;
        --next;
        latencies.push_back(arrivals[a] - sends[next]);
    }
    std::reverse(latencies.begin(), latencies.end());
    return latencies;
}

double percentileMs(std::vector<std::int64_t> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(values.size())));
    const std::size_t index = std::min(values.size() - 1, rank == 0 ? 0 : rank - 1);
    return double(values[index]) / 1e6;
}
} // namespace Stats
