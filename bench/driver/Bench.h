// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "BenchOptions.h"
#include "KeyRun.h"
#include "TallyRun.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ChildProcess;
class Listeners;

// One rate step: how many of ours were lost and what the program's tally socket dropped.
struct RateStep
{
    double rate = 0;
    TallyResult result;
    long socketDrops = 0;
};

// The whole benchmark: start-up, then the program under idle, tally, flood, rate and key load,
// then the same paths through the floor reflectors; the figures are printed at the end.
class Bench
{
public:
    explicit Bench(const BenchOptions &options);
    ~Bench();

    // Gives the process exit code.
    int run();

private:
    void measureStartup();
    bool measureProgram();
    void measureFloors();
    void printFigures() const;

    std::vector<std::pair<std::string, std::string>> environment() const;
    // Writes the run's answers (arrival and latency in milliseconds) to <dump dir>/<name>.csv.
    void dump(const std::string &name, const TallyResult &result) const;
    std::unique_ptr<ChildProcess> startProgram(const std::string &outputName);
    // `rate` datagrams per second for the step's length: all of them ours, or (mixed) ours at
    // 200/s among datagrams for another display address making up the rest.
    RateStep rateStep(double rate, int pid, bool mixed);
    // Steps up the ladder until one of ours is lost, then bisects twice between the last rate
    // kept up with and the first lost; gives the highest rate kept up with.
    double climb(
        std::vector<RateStep> &steps, const std::vector<double> &ladder, int pid, bool mixed, double &lowestFailed);

    BenchOptions m_options;
    std::unique_ptr<Listeners> m_listeners;
    std::size_t m_latencyCount;
    std::size_t m_keyCalls;
    int m_startupRuns;
    double m_loadAverage = 0;

    std::vector<std::int64_t> m_startups;
    double m_idlePercent = 0;
    double m_idleWakeups = 0;
    double m_idlePeakMb = 0;
    double m_loadedPeakMb = 0;
    TallyResult m_tally, m_flooded;
    long m_floodDrops = 0;
    std::vector<RateStep> m_mixedSteps, m_steps;
    double m_mixedKept = 0, m_mixedFailed = 0, m_highestKept = 0, m_lowestFailed = 0;
    KeyResult m_keys;

    TallyResult m_floorTally, m_floorFlooded;
    std::optional<RateStep> m_floorMixedRate, m_floorRate;
    KeyResult m_floorKeys;
};
