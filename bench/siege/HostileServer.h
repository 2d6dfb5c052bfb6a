// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A graphics server on TCP 5201 of one address that answers every request badly, from a thread
// of its own, until it is destroyed.
class HostileServer
{
public:
    enum class Mode {
        EndlessBody, // 200, then body bytes for as long as the client takes them
        EndlessHeader, // a status line, then one header line that never ends
        CloseWithoutAnswer, // the connection is closed once the request is in
        CutAfterStatus, // the status line, then the connection is closed
        Trickle, // the head of a small answer at once, then its body one byte every 2 s
        Silent, // takes the request and never answers
        EndlessChunkExtension, // 200, chunked, then a chunk extension that never ends
    };

    HostileServer(const std::string &address, Mode mode);
    ~HostileServer();
    HostileServer(const HostileServer &) = delete;
    HostileServer &operator=(const HostileServer &) = delete;

    // When each complete request came in (CLOCK_MONOTONIC, ns).
    std::vector<std::int64_t> requests() const;
    long long bytesSent() const { return m_bytesSent; }

private:
    void run();

    Mode m_mode;
    int m_listener = -1;
    std::atomic<bool> m_stop {false};
    std::atomic<long long> m_bytesSent {0};
    mutable std::mutex m_mutex;
    std::vector<std::int64_t> m_requests;
    std::thread m_thread;
};
