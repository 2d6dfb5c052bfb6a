// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "TallyRun.h"

#include "Listeners.h"
#include "Pacing.h"
#include "Sockets.h"
#include "Stats.h"

#include <atomic>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr std::int64_t kFloodLeadNs = 500'000'000; // the flood is steady before ours start
constexpr std::int64_t kQuietNs = 1'000'000'000; // no answer for this long: the rest are lost
constexpr std::int64_t kDrainLimitNs = 10'000'000'000;
} // namespace

TallyResult runTally(const TallyPlan &plan, Listeners &listeners, const std::string &localAddress)
{
    TallyResult result;
    const sockaddr_in destination = Sockets::address("239.1.2.3", 8900);
    const auto *to = reinterpret_cast<const sockaddr *>(&destination);

    std::atomic<bool> floodStop {false};
    std::thread flood;
    if (plan.floodRate > 0) {
        flood = std::thread([&] {
            Pacing::tightenTimerSlack();
            const int fd = Sockets::multicastSender(localAddress);
            const auto packet = Sockets::tallyPacket(0x85, 1);
            const double period = 1e9 / plan.floodRate;
            const std::int64_t start = Pacing::nowNs();
            std::size_t n = 0;
            while (!floodStop.load(std::memory_order_relaxed)) {
                Pacing::sleepUntil(start + std::int64_t(double(n) * period));
                sendto(fd, packet.data(), packet.size(), 0, to, sizeof destination);
                ++n;
            }
            result.floodSent = n;
            result.floodSeconds = double(Pacing::nowNs() - start) / 1e9;
            close(fd);
        });
        Pacing::sleepFor(kFloodLeadNs);
    }

    Pacing::tightenTimerSlack();
    const int fd = Sockets::multicastSender(localAddress);
    const auto packet = Sockets::tallyPacket(0x80, 1);
    std::vector<std::int64_t> sends(plan.count);
    const std::size_t firstAnswer = listeners.enabledCount();
    const double period = 1e9 / plan.rate;
    const std::int64_t start = Pacing::nowNs() + 1'000'000;
    for (std::size_t i = 0; i < plan.count; ++i) {
        Pacing::sleepUntil(start + std::int64_t(double(i) * period));
        sends[i] = Pacing::nowNs();
        sendto(fd, packet.data(), packet.size(), 0, to, sizeof destination);
    }
    close(fd);
    result.sent = plan.count;
    result.sendSeconds = plan.count > 1 ? double(sends.back() - sends.front()) / 1e9 : 0;

    // Wait for the answers: all of them, or until none has come for a while.
    const std::int64_t drainStart = Pacing::nowNs();
    std::size_t seen = listeners.enabledCount();
    std::int64_t lastChange = drainStart;
    while (seen - firstAnswer < plan.count && Pacing::nowNs() - lastChange < kQuietNs
        && Pacing::nowNs() - drainStart < kDrainLimitNs) {
        Pacing::sleepFor(2'000'000);
        const std::size_t now = listeners.enabledCount();
        if (now != seen) {
            seen = now;
            lastChange = Pacing::nowNs();
        }
    }
    floodStop = true;
    if (flood.joinable())
        flood.join();

    std::vector<std::int64_t> arrivals;
    for (std::size_t i = firstAnswer; i < seen; ++i)
        arrivals.push_back(listeners.enabledAt(i));
    result.received = arrivals.size();
    if (arrivals.size() > 1)
        result.answerSeconds = double(arrivals.back() - arrivals.front()) / 1e9;
    result.latencies = Stats::matchLatencies(sends, arrivals);
    for (const std::int64_t at : arrivals)
        result.arrivals.push_back(at - sends.front());
    return result;
}
