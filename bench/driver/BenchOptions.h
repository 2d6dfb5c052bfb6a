// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <string>

// What scripts/bench.sh tells the driver: where the programs are, the program's namespace and
// files, and the addresses of the two hosts.
struct BenchOptions
{
    std::string program; // the Brenvale executable
    std::string reflector; // brenvale-bench-reflector
    std::string keyReflector; // brenvale-bench-keyreflector
    std::string netns; // path of the program's network namespace (e.g. /proc/<pid>/ns/net)
    std::string home; // HOME of the program, preferences prepared by the script
    std::string logDir; // the daily-log folder named in those preferences, ending in '/'
    std::string bus; // session bus address
    std::string group; // the peer group's multicast address
    std::string outDir; // where the children's output goes
    std::string driverAddress; // this host: relay box and main graphics server
    std::string backupAddress; // this host's second address: backup graphics server
    std::string dumpDir; // optional: where each tally run's latencies go, one CSV file per run
    bool quick = false; // short runs, for trying the bench out

    // Parses --name value pairs and --quick; prints usage and exits on an error.
    static BenchOptions parse(int argc, char *argv[]);
};
