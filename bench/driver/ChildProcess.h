// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

// What the child gets besides its namespace.
struct Confinement
{
    // A file bound over /etc/resolv.conf in a mount namespace of the child's own; none when empty.
    std::string resolvConf {};
    long openFiles = 0; // RLIMIT_NOFILE; 0 leaves it as it is
    // Run as this user and group, with no supplementary groups; 0 keeps the caller's.
    uid_t user = 0;
    gid_t group = 0;
};

// A program started in another network namespace, with its output sent to a file.
class ChildProcess
{
public:
    struct Usage
    {
        double cpuSeconds = 0; // user + system time of all threads
        long peakResidentKb = 0; // VmHWM
        long residentKb = 0; // VmRSS
        long contextSwitches = 0; // voluntary + involuntary, main thread
    };

    // Forks, enters the namespace at `netnsPath` (none when empty), applies `confinement`, adds
    // `environment` and executes `argv`. Throws std::runtime_error when the fork fails.
    ChildProcess(const std::string &netnsPath, const std::vector<std::string> &argv,
        const std::vector<std::pair<std::string, std::string>> &environment, const std::string &outputFile,
        const Confinement &confinement = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return m_pid; }
    // CLOCK_MONOTONIC, just before the fork.
    std::int64_t startedAt() const { return m_startedAt; }
    bool running();
    // SIGTERM, then SIGKILL when it has not ended within `graceMs`. Returns the wait status.
    int stop(int graceMs);
    Usage usage() const;

private:
    pid_t m_pid = -1;
    std::int64_t m_startedAt = 0;
    bool m_reaped = false;
    int m_status = 0;
};
