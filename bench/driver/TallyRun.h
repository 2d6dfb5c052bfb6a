// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Listeners;

// One paced run of red tally datagrams for display address 0 (VT ID 1) to 239.1.2.3:8900,
// optionally under a flood of red tallies for display address 5, timing each of ours to the
// "Enabled" message it brings on the peer group.
struct TallyPlan
{
    double rate = 200; // our datagrams per second
    std::size_t count = 2000;
    double floodRate = 0; // foreign datagrams per second; 0 for none
};

struct TallyResult
{
    std::size_t sent = 0;
    std::size_t received = 0;
    std::vector<std::int64_t> latencies; // nanoseconds, one per matched answer, in arrival order
    std::vector<std::int64_t> arrivals; // nanoseconds from the first send, one per answer
    double sendSeconds = 0; // first to last of our sends
    std::size_t floodSent = 0;
    double floodSeconds = 0;
    double answerSeconds = 0; // first to last answer

    std::size_t lost() const { return sent > received ? sent - received : 0; }
};

TallyResult runTally(const TallyPlan &plan, Listeners &listeners, const std::string &localAddress);
