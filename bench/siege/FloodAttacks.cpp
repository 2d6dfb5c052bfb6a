// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Steady streams on the tally, relay and peer ports: 1, 5, 7, 8 and 9.
#include "Siege.h"

#include "ChildProcess.h"
#include "Files.h"
#include "Listeners.h"
#include "Pacing.h"
#include "Sockets.h"
#include "TallyRun.h"
#include "Traffic.h"

#include <algorithm>
#include <unistd.h>

namespace {
constexpr std::int64_t kSecondNs = 1'000'000'000;

std::string lostText(std::size_t lost, std::size_t sent)
{
    return std::to_string(lost) + " of " + std::to_string(sent);
}

// The longest stretch in [from, to] without a paint.
std::int64_t longestUnpainted(const std::vector<Program::TapLine> &paints, std::int64_t from, std::int64_t to)
{
    std::int64_t last = from;
    std::int64_t longest = 0;
    for (const Program::TapLine &paint : paints) {
        if (paint.at < from || paint.at > to)
            continue;
        longest = std::max(longest, paint.at - last);
        last = paint.at;
    }
    return std::max(longest, to - last);
}

struct FloodCase
{
    std::string name;
    std::string title;
    std::uint16_t port;
    std::string payload;
    double rate;
    std::string floor; // what the plain C floor took at this rate, for the paced-tally row
};

// The datagrams the kernel dropped on the plain C floor's tally socket while `payload` came at
// `rate` for `seconds`, and how many were sent; drops are -1 when the floor did not start.
std::pair<long, std::size_t> floorDrops(Siege &siege, const std::string &payload, double rate, double seconds)
{
    const SiegeOptions &o = siege.options;
    // The same world as the program's run: a peer hears every "Enabled" the floor sends.
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    const std::string output = o.work + "/a1-floor.log";
    ChildProcess reflector(o.netns, {o.reflector, o.group}, {}, output);
    if (!Files::waitForOutput(output, "reflector ready", 5000))
        return {-1, 0};
    const long before = Sockets::udpDrops(reflector.pid(), 8900);
    Flood flood(o.driverAddress, Sockets::address(o.programAddress, 8900), {payload}, rate, seconds);
    sleepMs(int(seconds * 1000));
    flood.stop();
    sleepMs(200);
    return {Sockets::udpDrops(reflector.pid(), 8900) - before, flood.sent()};
}

// A flood on one port while paced tallies (green and off in turn, 10/s) and remote calls go on;
// then SIGTERM with the flood still running.
void floodCase(Siege &siege, const FloodCase &flooding)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(10, 4);
    siege.report.begin(flooding.title + " (" + fixed(seconds, 0) + " s; both check boxes ticked)");
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    Program program(siege, "a1-" + flooding.name, {.tslEnable = true, .tslPlay = true, .tapPaints = true});
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const auto pacedLines = [&program] {
        const std::string log = program.dailyLog();
        return countOf(log, "\tTally Green On on VT 1\r\n") + countOf(log, "\tTally Off on VT 1\r\n");
    };
    const long dropsBefore = Sockets::udpDrops(program.pid(), flooding.port);
    Flood flood(o.driverAddress, Sockets::address(o.programAddress, flooding.port), {flooding.payload}, flooding.rate,
        seconds + 30);
    sleepMs(500);
    const std::size_t linesBefore = pacedLines();
    RemoteSampler sampler(o.bus);
    const int fd = Traffic::udpFrom(o.driverAddress);
    const sockaddr_in tally = Sockets::address(o.programAddress, 8900);
    const auto paced = std::size_t(10 * seconds);
    const std::int64_t pacedStart = Pacing::nowNs();
    for (std::size_t i = 0; i < paced; ++i) {
        Pacing::sleepUntil(pacedStart + std::int64_t(i) * kSecondNs / 10);
        Traffic::send(fd, tally, Traffic::tsl(0, i % 2 == 0 ? 2 : 0));
    }
    close(fd);
    const std::int64_t pacedEnd = Pacing::nowNs();
    sampler.stop();
    Pacing::sleepUntil(pacedEnd + 2 * kSecondNs);
    const std::size_t handled = pacedLines() - linesBefore;
    const long drops = Sockets::udpDrops(program.pid(), flooding.port) - dropsBefore;
    const Program::Exit exit = program.terminate(5000);
    flood.stop();

    siege.report.note("flood " + flood.describe() + "; socket drops " + std::to_string(drops) + "; remote calls "
        + sampler.describe());
    guardNote(siege, program);
    siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
    const std::size_t lost = paced > handled ? paced - handled : 0;
    siege.report.row("paced tallies lost (not logged in 2 s)", lostText(lost, paced), "0", lost == 0,
        flooding.floor.empty() ? "-" : flooding.floor);
    const std::int64_t unpainted = longestUnpainted(program.tap("paint"), pacedStart, pacedEnd);
    siege.report.row("longest time without a repaint", msText(unpainted), "< 500 ms", unpainted < 500'000'000);
    siege.report.row("SIGTERM to exit, flood on", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
}
} // namespace

void attackFloods(Siege &siege)
{
    // Past the rate at which the kernel drops datagrams even for the plain C floor on this
    // machine, a lost paced tally tells nothing of the program. The own-address flood runs at
    // the highest rate from 50000/s down that the floor holds in this run: at most 1 in 1000
    // dropped, under a tenth of a paced tally lost in 100.
    const std::string own = Traffic::tsl(0, 1);
    const auto holds = [](const std::pair<long, std::size_t> &floor) {
        return floor.first >= 0 && floor.second > 0 && std::size_t(floor.first) * 1000 <= floor.second;
    };
    double rate = 50000;
    std::pair<long, std::size_t> floor = floorDrops(siege, own, rate, siege.seconds(4, 2));
    std::string why
        = "the C floor dropped " + lostText(std::size_t(std::max(floor.first, 0L)), floor.second) + " at 50000/s";
    while (!holds(floor) && rate > 5000) {
        rate -= 5000;
        floor = floorDrops(siege, own, rate, siege.seconds(4, 2));
    }
    floodCase(siege,
        {"tsl", "1a. TSL flood for our own VT address at " + fixed(rate, 0) + "/s (" + why + ")", 8900, own, rate,
            "drops " + lostText(std::size_t(std::max(floor.first, 0L)), floor.second)});
    floodCase(
        siege, {"relay", "1b. relay-port flood of 64 KB datagrams at 2000/s", 5000, std::string(65000, 'x'), 2000, {}});
    floodCase(
        siege, {"peer", "1c. peer-port flood of joins at 2000/s", 8083, Traffic::peerMessage(-101, {}), 2000, {}});
}

void attackJoins(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(60, 15);
    siege.report.begin("5. joins at 7000/s from one address (" + fixed(seconds, 0) + " s; RSS from 5 s in)");
    Program program(siege, "a5");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const double startMb = program.rssMb();
    Flood flood(
        o.driverAddress, Sockets::address(o.programAddress, 8083), {Traffic::peerMessage(-101, {})}, 7000, seconds);
    sleepMs(5000);
    const double fromMb = program.rssMb();
    const double fromCpu = program.cpuSeconds();
    sleepMs(int((seconds - 5) * 1000));
    const double toMb = program.rssMb();
    const double cpuPercent = (program.cpuSeconds() - fromCpu) / (seconds - 5) * 100;
    flood.stop();
    program.terminate();

    siege.report.note("flood " + flood.describe() + "; RSS " + mbText(startMb) + " before, " + mbText(fromMb)
        + " at 5 s, " + mbText(toMb) + " at the end");
    guardNote(siege, program);
    const double perMinute = (toMb - fromMb) / (seconds - 5) * 60;
    siege.report.row("RSS growth under joins", fixed(perMinute, 2) + " MB/min", "< 1 MB/min", perMinute < 1);
    siege.report.row("CPU while joins arrive", fixed(cpuPercent) + " %", "-", std::nullopt);
}

void attackForeignFlood(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(20, 5);
    siege.report.begin("7. flood for another VT address at 50000/s, ours paced at 20/s (" + fixed(seconds, 0) + " s)");
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    const TallyPlan plan {20, std::size_t(20 * seconds), 50000};
    TallyResult measured;
    std::size_t stderrLines = 0;
    long drops = 0;
    {
        Program program(siege, "a7");
        program.start();
        if (!program.waitOpened() || !program.enable()) {
            siege.report.row("program opened and enabled", "no", "yes", false);
            return;
        }
        const std::size_t linesBefore = countOf(program.output(), "RX Pcket");
        const long dropsBefore = Sockets::udpDrops(program.pid(), 8900);
        measured = runTally(plan, listeners, o.driverAddress);
        drops = Sockets::udpDrops(program.pid(), 8900) - dropsBefore;
        stderrLines = countOf(program.output(), "RX Pcket") - linesBefore;
        program.terminate();
        guardNote(siege, program);
    }
    TallyResult floor;
    {
        const std::string output = o.work + "/a7/reflector.log";
        ChildProcess reflector(o.netns, {o.reflector, o.group}, {}, output);
        if (Files::waitForOutput(output, "reflector ready", 5000))
            floor = runTally(plan, listeners, o.driverAddress);
    }
    const double floodRate = measured.floodSeconds > 0 ? double(measured.floodSent) / measured.floodSeconds : 0;
    siege.report.note("flood " + std::to_string(measured.floodSent) + " sent at " + fixed(floodRate, 0)
        + "/s; socket drops " + std::to_string(drops));
    siege.report.row("paced tallies for our address lost", lostText(measured.lost(), measured.sent), "0",
        measured.lost() == 0 && measured.sent > 0, lostText(floor.lost(), floor.sent));
    siege.report.row("\"RX Pcket\" lines on stderr", std::to_string(stderrLines), "-", std::nullopt);
}

void attackFlapping(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(10, 5);
    siege.report.begin("8. tally flapping red/off at 50000/s with Tally Start ticked (" + fixed(seconds, 0) + " s)");
    Program program(siege, "a8", {.tslEnable = false, .tslPlay = true});
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const auto runs = [&o] { return countOf(readFile(o.playMarker), "\n"); };
    writeFile(o.playMarker, "");
    const sockaddr_in tally = Sockets::address(o.programAddress, 8900);
    std::size_t flapRuns = 0;
    {
        RemoteSampler sampler(o.bus);
        Flood flood(o.driverAddress, tally, {Traffic::tsl(0, 1), Traffic::tsl(0, 0)}, 50000, seconds);
        sleepMs(int(seconds * 1000));
        flood.stop();
        sampler.stop();
        siege.report.note("flood " + flood.describe() + "; remote calls " + sampler.describe());
        sleepMs(2000);
        flapRuns = runs();
        const double perSecond = double(flapRuns) / seconds;
        siege.report.row("script runs while flapping", std::to_string(flapRuns) + " (" + fixed(perSecond) + "/s)",
            "<= 10/s", perSecond <= 10);
        siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
    }
    // A normal off-to-on step afterwards must still start the script.
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, tally, Traffic::tsl(0, 0));
    sleepMs(300);
    Traffic::send(fd, tally, Traffic::tsl(0, 1));
    close(fd);
    bool started = false;
    for (int i = 0; i < 100 && !started; ++i) {
        sleepMs(20);
        started = runs() > flapRuns;
    }
    siege.report.row("off-to-on step afterwards starts it", started ? "yes" : "no", "yes", started);
    program.terminate();
    guardNote(siege, program);
}

void attackRelayReplies(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(20, 5);
    siege.report.begin("9. relay replies of 64 KB starting with \"1\" at 2000/s (" + fixed(seconds, 0) + " s)");
    Program program(siege, "a9");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const long long bytesBefore = program.dailyLogBytes();
    Flood flood(
        o.driverAddress, Sockets::address(o.programAddress, 5000), {"1" + std::string(64999, 'x')}, 2000, seconds);
    sleepMs(int(seconds * 1000));
    flood.stop();
    sleepMs(1000);
    const long long written = program.dailyLogBytes() - bytesBefore;
    const std::size_t longest = longestLine(program.dailyLog());
    const double peak = program.peakMb();
    program.terminate();

    siege.report.note("flood " + flood.describe());
    guardNote(siege, program);
    const double perDatagram = flood.sent() > 0 ? double(written) / double(flood.sent()) : 0;
    siege.report.row("daily log written",
        mbText(double(written) / 1048576) + " (" + fixed(perDatagram, 0) + " B/dgram)", "<= 1000 B/datagram",
        perDatagram <= 1000);
    siege.report.row("longest daily-log line", std::to_string(longest) + " bytes", "<= 1000 bytes", longest <= 1000);
    siege.report.row("peak RSS", mbText(peak), "< 100 MB", peak < 100);
}
