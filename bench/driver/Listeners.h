// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The outside world of the program under test, each part stamping what arrives:
// - the peer group: every "Enabled" message (command 21) on the group's port 8083;
// - the relay box: every datagram on UDP 5000, answered as a relay box does ("1" unless told);
// - the two graphics servers: one HTTP listener on TCP 5201, telling the main server's address
//   from the backup's by the local address a connection came in on, answering 200 with keep-alive.
class Listeners
{
public:
    enum class KeyKind { Relay, PostMain, PostBackup };
    struct KeyEvent
    {
        KeyKind kind;
        std::int64_t at;
    };

    Listeners(const std::string &group, const std::string &localAddress, const std::string &mainServerAddress,
        const std::string &relayAnswer = "1");
    ~Listeners();
    Listeners(const Listeners &) = delete;
    Listeners &operator=(const Listeners &) = delete;

    // How many "Enabled" messages have arrived so far, and when the i-th did.
    std::size_t enabledCount() const;
    std::int64_t enabledAt(std::size_t index) const;
    std::vector<KeyEvent> keyEventsSince(std::int64_t since) const;

private:
    void runGroup();
    void runKeys();

    int m_groupFd = -1;
    int m_relayFd = -1;
    int m_httpFd = -1;
    std::string m_mainServerAddress;
    std::string m_relayAnswer;
    std::vector<std::int64_t> m_enabled;
    std::atomic<std::size_t> m_enabledCount {0};
    mutable std::mutex m_keyMutex;
    std::vector<KeyEvent> m_keyEvents;
    std::atomic<bool> m_stop {false};
    std::thread m_groupThread;
    std::thread m_keyThread;
};
