// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Bench.h"

#include "ChildProcess.h"
#include "Files.h"
#include "Listeners.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Stats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr double kTargetMedianMs = 0.5;
constexpr double kTargetP99Ms = 2.0;
constexpr double kTargetRate = 20000;
constexpr double kTargetIdleCpuPercent = 1.0;
constexpr double kTargetPeakMb = 80;
constexpr double kTargetStartupMs = 500;
constexpr double kFloodRate = 20000;

const char *verdict(bool pass)
{
    return pass ? "PASS" : "FAIL";
}

void progress(const std::string &text)
{
    std::fprintf(stderr, "bench: %s\n", text.c_str());
}

std::string fixed(double value, int decimals = 3)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratio(double value, double floor)
{
    return floor > 0 ? fixed(value / floor, 1) : std::string("n/a");
}

std::string describe(const RateStep &step)
{
    std::ostringstream text;
    text << fixed(step.rate, 0) << ":"
         << (step.result.lost() == 0 ? "ok" : "lost " + std::to_string(step.result.lost()));
    if (step.socketDrops > 0)
        text << "/drops " << step.socketDrops;
    double sentRate = step.result.sendSeconds > 0 ? double(step.result.sent - 1) / step.result.sendSeconds : 0;
    if (step.result.floodSeconds > 0)
        sentRate += double(step.result.floodSent) / step.result.floodSeconds;
    if (sentRate > 0)
        text << "/sent at " << fixed(sentRate, 0) << "/s";
    return text.str();
}

} // namespace

Bench::Bench(const BenchOptions &options)
    : m_options(options), m_latencyCount(options.quick ? 400 : 2000), m_keyCalls(options.quick ? 20 : 100),
      m_startupRuns(options.quick ? 2 : 5)
{ }

Bench::~Bench() = default;

int Bench::run()
{
    // The load average says how much else the machine was doing while the figures were taken.
    double load[3] = {};
    getloadavg(load, 3);
    m_loadAverage = load[0];
    m_listeners = std::make_unique<Listeners>(m_options.group, m_options.driverAddress, m_options.driverAddress);
    measureStartup();
    if (!measureProgram())
        return 1;
    measureFloors();
    printFigures();
    return 0;
}

void Bench::measureStartup()
{
    // Start-up, several times: the first one finds colder caches.
    progress("start-up");
    for (int run = 0; run < m_startupRuns; ++run) {
        auto program = startProgram("program-startup.log");
        const auto opened = Files::waitForText(m_options.logDir, "Trigger Control Opened", 10000);
        if (opened)
            m_startups.push_back(*opened - program->startedAt());
        program->stop(5000);
    }
}

bool Bench::measureProgram()
{
    // The program under test, for idle, tally, rate and key figures.
    progress("program: idle");
    auto program = startProgram("program.log");
    if (!Files::waitForText(m_options.logDir, "Trigger Control Opened", 10000)) {
        std::fprintf(stderr, "bench: the program did not open; see %s/program.log\n", m_options.outDir.c_str());
        return false;
    }
    Pacing::sleepFor(2'000'000'000);
    const ChildProcess::Usage idleStart = program->usage();
    Pacing::sleepFor(10'000'000'000);
    const ChildProcess::Usage idleEnd = program->usage();
    m_idlePercent = (idleEnd.cpuSeconds - idleStart.cpuSeconds) / 10.0 * 100.0;
    m_idleWakeups = double(idleEnd.contextSwitches - idleStart.contextSwitches) / 10.0;
    m_idlePeakMb = double(idleEnd.peakResidentKb) / 1024.0;

    progress("program: tally reaction, " + std::to_string(m_latencyCount) + " at 200/s");
    m_tally = runTally({200, m_latencyCount, 0}, *m_listeners, m_options.driverAddress);
    dump("tally", m_tally);
    progress("program: tally reaction under a flood of 20000/s");
    const long floodDropsBefore = Sockets::udpDrops(program->pid(), 8900);
    m_flooded = runTally({200, m_latencyCount, kFloodRate}, *m_listeners, m_options.driverAddress);
    dump("flood", m_flooded);
    m_floodDrops = Sockets::udpDrops(program->pid(), 8900) - floodDropsBefore;

    progress("program: highest steady rate, ours among others");
    m_mixedKept = climb(m_mixedSteps, {5000, 10000, 20000, 40000, 80000}, program->pid(), true, m_mixedFailed);
    progress("program: highest steady rate, all ours");
    m_highestKept
        = climb(m_steps, {1000, 2000, 5000, 10000, 20000, 40000, 80000}, program->pid(), false, m_lowestFailed);

    progress("program: key reaction, " + std::to_string(m_keyCalls) + " calls");
    {
        RemoteCall remote(m_options.bus);
        const std::int64_t deadline = Pacing::nowNs() + 5'000'000'000;
        while (!remote.serviceAvailable() && Pacing::nowNs() < deadline)
            Pacing::sleepFor(20'000'000);
        // The trigger must be enabled for keys to be sent; the tally runs left it so, one more
        // red tally makes sure.
        runTally({10, 1, 0}, *m_listeners, m_options.driverAddress);
        m_keys = runKeys(remote, *m_listeners, m_keyCalls);
    }
    m_loadedPeakMb = double(program->usage().peakResidentKb) / 1024.0;
    const int exitStatus = program->stop(5000);
    program.reset();
    progress("program stopped (wait status " + std::to_string(exitStatus) + ")");
    return true;
}

void Bench::measureFloors()
{
    // The floors: the same paths through the reflectors.
    progress("floor: tally reflector");
    {
        const std::string output = m_options.outDir + "/reflector.log";
        ChildProcess reflector(m_options.netns, {m_options.reflector, m_options.group}, {}, output);
        if (!Files::waitForOutput(output, "reflector ready", 5000))
            throw std::runtime_error("the reflector did not start; see " + output);
        m_floorTally = runTally({200, m_latencyCount, 0}, *m_listeners, m_options.driverAddress);
        dump("floor-tally", m_floorTally);
        m_floorFlooded = runTally({200, m_latencyCount, kFloodRate}, *m_listeners, m_options.driverAddress);
        dump("floor-flood", m_floorFlooded);
        if (m_mixedFailed > 0)
            m_floorMixedRate = rateStep(m_mixedFailed, reflector.pid(), true);
        if (m_lowestFailed > 0)
            m_floorRate = rateStep(m_lowestFailed, reflector.pid(), false);
    }
    progress("floor: key reflector");
    {
        const std::string output = m_options.outDir + "/keyreflector.log";
        ChildProcess reflector(m_options.netns,
            {m_options.keyReflector, m_options.driverAddress, m_options.driverAddress, m_options.backupAddress},
            environment(), output);
        if (!Files::waitForOutput(output, "keyreflector ready", 5000))
            throw std::runtime_error("the key reflector did not start; see " + output);
        RemoteCall remote(m_options.bus);
        m_floorKeys = runKeys(remote, *m_listeners, m_keyCalls);
    }
}

void Bench::printFigures() const
{
    std::vector<std::string> lines;
    const auto line = [&lines](const std::string &text) { lines.push_back(text); };
    line("cores " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " (load average " + fixed(m_loadAverage, 2)
        + " at start)");
    std::string startupRunsText;
    for (const std::int64_t s : m_startups) {
        if (!startupRunsText.empty())
            startupRunsText += ' ';
        startupRunsText += fixed(double(s) / 1e6, 1);
    }
    const double startupMs = Stats::percentileMs(m_startups, 50);
    line("startup_ms " + (m_startups.empty() ? std::string("none") : fixed(startupMs, 1)) + " (median of "
        + std::to_string(m_startups.size()) + " runs: " + startupRunsText + ") target <" + fixed(kTargetStartupMs, 0)
        + " "
        + verdict(
            !m_startups.empty() && m_startups.size() == std::size_t(m_startupRuns) && startupMs < kTargetStartupMs));

    // The figures.
    line("idle_cpu_percent " + fixed(m_idlePercent, 2) + " (10 s, window open offscreen, " + fixed(m_idleWakeups, 0)
        + " wake-ups/s) target <" + fixed(kTargetIdleCpuPercent, 0) + " "
        + verdict(m_idlePercent < kTargetIdleCpuPercent));
    line("peak_rss_mb " + fixed(m_loadedPeakMb, 1) + " (after all load; " + fixed(m_idlePeakMb, 1)
        + " when idle) target <" + fixed(kTargetPeakMb, 0) + " " + verdict(m_loadedPeakMb < kTargetPeakMb));

    const auto latencyLine = [&line](const std::string &name, const TallyResult &measured, const TallyResult &floor,
                                 double p, const std::string &target, bool pass) {
        const double value = Stats::percentileMs(measured.latencies, p);
        const double floorValue = Stats::percentileMs(floor.latencies, p);
        line(name + " " + fixed(value) + " floor " + fixed(floorValue) + " ratio " + ratio(value, floorValue) + " ("
            + std::to_string(measured.latencies.size()) + " matched, max "
            + fixed(Stats::percentileMs(measured.latencies, 100)) + ") target " + target + " "
            + verdict(pass && !measured.latencies.empty()));
    };
    const double median = Stats::percentileMs(m_tally.latencies, 50);
    const double p99 = Stats::percentileMs(m_tally.latencies, 99);
    latencyLine("tally_reaction_median_ms", m_tally, m_floorTally, 50, "<" + fixed(kTargetMedianMs, 1),
        median < kTargetMedianMs);
    latencyLine("tally_reaction_p99_ms", m_tally, m_floorTally, 99, "<" + fixed(kTargetP99Ms, 1), p99 < kTargetP99Ms);
    line("tally_reaction_lost " + std::to_string(m_tally.lost()) + " of " + std::to_string(m_tally.sent) + " (floor "
        + std::to_string(m_floorTally.lost()) + ") target 0 " + verdict(m_tally.lost() == 0));

    const double floodMedian = Stats::percentileMs(m_flooded.latencies, 50);
    const double floodP99 = Stats::percentileMs(m_flooded.latencies, 99);
    latencyLine("flood_tally_reaction_median_ms", m_flooded, m_floorFlooded, 50,
        "<=2x " + fixed(median) + " and <" + fixed(kTargetMedianMs, 1),
        floodMedian <= 2 * median && floodMedian < kTargetMedianMs);
    latencyLine("flood_tally_reaction_p99_ms", m_flooded, m_floorFlooded, 99,
        "<=2x " + fixed(p99) + " and <" + fixed(kTargetP99Ms, 1), floodP99 <= 2 * p99 && floodP99 < kTargetP99Ms);
    const double floodAchieved = m_flooded.floodSeconds > 0 ? double(m_flooded.floodSent) / m_flooded.floodSeconds : 0;
    line("flood_tally_lost " + std::to_string(m_flooded.lost()) + " of " + std::to_string(m_flooded.sent) + " (flood "
        + fixed(floodAchieved, 0) + "/s of display 5, " + std::to_string(m_flooded.floodSent) + " sent; socket drops "
        + std::to_string(m_floodDrops) + "; floor lost " + std::to_string(m_floorFlooded.lost()) + ") target 0 "
        + verdict(m_flooded.lost() == 0));

    const auto ladderText = [](const std::vector<RateStep> &ladder, const std::optional<RateStep> &floor) {
        std::string text;
        for (const RateStep &step : ladder) {
            if (!text.empty())
                text += ", ";
            text += describe(step);
        }
        if (floor)
            text += "; floor at " + describe(*floor);
        return text;
    };
    const std::string stepSeconds = std::to_string(m_options.quick ? 2 : 10);
    line("max_steady_rate_per_s " + fixed(m_mixedKept, 0) + " (all TSL datagrams, ours at 200/s among display 5; "
        + stepSeconds + " s per step: " + ladderText(m_mixedSteps, m_floorMixedRate)
        + ") target >=" + fixed(kTargetRate, 0) + " " + verdict(m_mixedKept >= kTargetRate));
    line("max_steady_rate_ours_only_per_s " + fixed(m_highestKept, 0) + " (every datagram ours, each one enabling; "
        + stepSeconds + " s per step: " + ladderText(m_steps, m_floorRate) + ") target none");

    const auto keyLine = [&line](const std::string &name, const std::vector<std::int64_t> &measured,
                             const std::vector<std::int64_t> &floor, std::int64_t first) {
        for (const double p : {50.0, 99.0}) {
            const double value = Stats::percentileMs(measured, p);
            const double floorValue = Stats::percentileMs(floor, p);
            line(name + (p == 50.0 ? "_median_ms " : "_p99_ms ") + fixed(value) + " floor " + fixed(floorValue)
                + " ratio " + ratio(value, floorValue) + " (" + std::to_string(measured.size()) + " calls; first call "
                + fixed(double(first) / 1e6) + ") target none");
        }
    };
    keyLine("key_reaction_relay", m_keys.relay, m_floorKeys.relay, m_keys.firstRelay);
    keyLine("key_reaction_post_main", m_keys.postMain, m_floorKeys.postMain, m_keys.firstPostMain);
    keyLine("key_reaction_post_backup", m_keys.postBackup, m_floorKeys.postBackup, m_keys.firstPostBackup);
    line("key_reaction_missing " + std::to_string(m_keys.missing) + " of " + std::to_string(m_keys.calls * 3)
        + " arrivals (calls answered true " + std::to_string(m_keys.answeredTrue) + "/" + std::to_string(m_keys.calls)
        + "; call round trip median " + fixed(Stats::percentileMs(m_keys.reply, 50)) + " ms, floor "
        + fixed(Stats::percentileMs(m_floorKeys.reply, 50)) + " ms) target 0 " + verdict(m_keys.missing == 0));

    for (const std::string &text : lines)
        std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::vector<std::pair<std::string, std::string>> Bench::environment() const
{
    return {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"HOME", m_options.home},
        {"XDG_CONFIG_HOME", m_options.home + "/.config"},
        {"XDG_RUNTIME_DIR", m_options.home + "/run"},
        {"DBUS_SESSION_BUS_ADDRESS", m_options.bus},
    };
}

std::unique_ptr<ChildProcess> Bench::startProgram(const std::string &outputName)
{
    Files::clearFolder(m_options.logDir);
    return std::make_unique<ChildProcess>(m_options.netns, std::vector<std::string> {m_options.program}, environment(),
        m_options.outDir + "/" + outputName);
}

RateStep Bench::rateStep(double rate, int pid, bool mixed)
{
    const std::size_t seconds = m_options.quick ? 2 : 10;
    RateStep step;
    step.rate = rate;
    const long dropsBefore = Sockets::udpDrops(pid, 8900);
    const TallyPlan plan
        = mixed ? TallyPlan {200, 200 * seconds, rate - 200} : TallyPlan {rate, std::size_t(rate) * seconds, 0};
    step.result = runTally(plan, *m_listeners, m_options.driverAddress);
    step.socketDrops = Sockets::udpDrops(pid, 8900) - dropsBefore;
    progress(std::string(mixed ? "  mixed rate " : "  rate ") + describe(step));
    return step;
}

double Bench::climb(
    std::vector<RateStep> &steps, const std::vector<double> &ladder, int pid, bool mixed, double &lowestFailed)
{
    double highestKept = 0;
    lowestFailed = 0;
    for (const double rate : ladder) {
        steps.push_back(rateStep(rate, pid, mixed));
        if (steps.back().result.lost() != 0) {
            lowestFailed = rate;
            break;
        }
        highestKept = rate;
    }
    for (int refine = 0; refine < 2 && lowestFailed > 0 && highestKept > 0; ++refine) {
        const double rate = std::round(std::sqrt(highestKept * lowestFailed) / 100.0) * 100.0;
        if (rate <= highestKept || rate >= lowestFailed)
            break;
        steps.push_back(rateStep(rate, pid, mixed));
        if (steps.back().result.lost() == 0)
            highestKept = rate;
        else
            lowestFailed = rate;
    }
    return highestKept;
}

void Bench::dump(const std::string &name, const TallyResult &result) const
{
    if (m_options.dumpDir.empty())
        return;
    std::ofstream file(m_options.dumpDir + "/" + name + ".csv");
    file << "arrival_ms,latency_ms\n";
    // The latencies belong to the last answers when some early ones went unmatched.
    const std::size_t offset = result.arrivals.size() - result.latencies.size();
    for (std::size_t i = 0; i < result.latencies.size(); ++i)
        file << double(result.arrivals[offset + i]) / 1e6 << ',' << double(result.latencies[i]) / 1e6 << '\n';
}
