// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "Siege.h"
#include "Sockets.h"
#include "Traffic.h"

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

// What the attacks on the graphics-server requests share.

constexpr std::int64_t kSecondNs = 1'000'000'000;
// A call the program answers on its event loop without doing anything: no key, no row.
constexpr const char *kIdleClass = "Xsge";
constexpr const char *kIdleEvent = "Idle";

// The daily log's last line is the closing one.
bool closedLast(const Program &program);
// When each "Error " row (holding `text` after "Error ") came, from `from` on.
std::vector<std::int64_t> errorRows(const Program &program, std::int64_t from, const std::string &text = {});
// Waits until `expected` "Error " rows have come since `from`, or until `deadline`, and half a
// second more; how many came.
std::size_t waitRows(const Program &program, std::int64_t from, std::size_t expected, std::int64_t deadline);
// Key commands alternating Key 1 On and Key 1 Off, `gapNs` apart; when each was sent.
std::vector<std::int64_t> keyCommands(const std::string &bus, std::size_t count, std::int64_t gapNs);
// The sampler's p99 row, and its worst call's when `worst`.
void samplerRows(Siege &siege, const RemoteSampler &sampler, bool worst);
// The rows every request attack ends with: one "Error " row per request (`rows` of them for
// `commands` commands to two servers), the latest row `latestNs` behind its command under the
// figure `latestFigure`, and how SIGTERM ended the program with lookups or transfers under way.
void requestEndRows(Siege &siege, const Program &program, std::size_t rows, std::size_t commands,
    const std::string &latestFigure, std::int64_t latestNs, const Program::Exit &exit);
// The program's standard preferences with the two graphics servers named `mainName` and
// `backupName` instead of their addresses.
std::string namedServerPrefs(
    const SiegeOptions &o, const Program &program, const std::string &mainName, const std::string &backupName);

// Binds UDP `port` of `address` and keeps what comes from a thread of its own, unanswered.
class UdpSink
{
public:
    UdpSink(const std::string &address, std::uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in local = Sockets::address(address, port);
        const timeval tick {0, 50'000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
            throw std::runtime_error("cannot bind UDP " + address + ":" + std::to_string(port));
        m_thread = std::thread([this] {
            char buffer[2048];
            while (!m_stop) {
                if (recv(m_fd, buffer, sizeof buffer, 0) >= 0)
                    ++m_received;
            }
        });
    }
    ~UdpSink()
    {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    UdpSink(const UdpSink &) = delete;
    UdpSink &operator=(const UdpSink &) = delete;
    std::size_t received() const { return m_received; }

private:
    int m_fd = -1;
    std::atomic<bool> m_stop {false};
    std::atomic<std::size_t> m_received {0};
    std::thread m_thread;
};
