// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Graphics servers and a name server that hold the program's transfers: 15, 17 and 19.
#include "Siege.h"

#include "Files.h"
#include "HostileServer.h"
#include "HttpSiege.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Traffic.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

void attackSilentNameServer(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const std::size_t commands = o.quick ? 3 : 8;
    siege.report.begin("15. both graphics servers named by host names, the name server never answers ("
        + std::to_string(commands) + " key commands 4 s apart)");
    // Names no file and no other server knows; the program's resolv.conf names only our sink.
    const std::string mainName = "graphics-main.siege.invalid";
    const std::string backupName = "graphics-backup.siege.invalid";
    const std::string resolvConf = o.work + "/a15-resolv.conf";
    writeFile(resolvConf, "nameserver " + o.driverAddress + "\n");
    UdpSink nameServer(o.driverAddress, 53);
    Program program(siege, "a15", {.tapRows = true, .confinement = {.resolvConf = resolvConf}});
    writeFile(program.prefsFile(), namedServerPrefs(o, program, mainName, backupName));
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    RemoteSampler sampler(o.bus, kIdleClass, kIdleEvent);
    const std::vector<std::int64_t> sentAt = keyCommands(o.bus, commands, 4 * kSecondNs);
    const std::size_t rows = waitRows(program, sentAt.front(), 2 * commands, sentAt.back() + 8 * kSecondNs);
    sampler.stop();
    const std::vector<std::int64_t> at = errorRows(program, sentAt.front());
    std::int64_t slowest = 0;
    for (std::size_t j = 0; j < at.size(); ++j)
        slowest = std::max(slowest, at[j] - sentAt[std::min(j / 2, commands - 1)]);

    // One more command, and SIGTERM a second later, with its lookups under way.
    keyCommands(o.bus, 1, 0);
    sleepMs(1000);
    const Program::Exit exit = program.terminate(5000);

    siege.report.note("the name server was sent " + std::to_string(nameServer.received()) + " queries");
    samplerRows(siege, sampler, true);
    requestEndRows(siege, program, rows, commands, "slowest outcome after its command", slowest, exit);
}

void attackTransfersInFlight(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(10, 4);
    const auto commands = std::size_t(200 * seconds);
    siege.report.begin("17. key commands at 200/s to graphics servers that never answer, 1024 open files ("
        + std::to_string(commands) + " commands)");
    HostileServer main(o.driverAddress, HostileServer::Mode::Silent);
    HostileServer backup(o.backupAddress, HostileServer::Mode::Silent);
    UdpSink relayBox(o.driverAddress, 5000);
    Program program(siege, "a17", {.tapRows = true, .confinement = {.openFiles = 1024}});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    std::atomic<bool> sampling {true};
    std::atomic<int> peakFiles {0};
    std::thread files([&] {
        while (sampling) {
            peakFiles = std::max(peakFiles.load(), procEntries(program.pid(), "fd"));
            sleepMs(10);
        }
    });
    std::vector<std::int64_t> sentAt;
    {
        RemoteCall remote(o.bus);
        const std::int64_t start = Pacing::nowNs();
        for (std::size_t i = 0; i < commands; ++i) {
            Pacing::sleepUntil(std::max(start + std::int64_t(i) * kSecondNs / 200, Pacing::nowNs()));
            sentAt.push_back(Pacing::nowNs());
            remote.handleEvent("Bvrq", "Rel0", 3000);
        }
    }
    const double rate = double(commands) / (double(sentAt.back() - sentAt.front()) / 1e9);
    const std::size_t rows = waitRows(program, sentAt.front(), 2 * commands, sentAt.back() + 8 * kSecondNs);
    sampling = false;
    files.join();
    const std::size_t refused = errorRows(program, sentAt.front(), "Not sent").size();

    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, Sockets::address(o.programAddress, 8900), Traffic::tsl(0, 2));
    close(fd);
    const bool tallyLogged = Files::waitForText(program.logs(), "Tally Green On", 3000).has_value();
    const std::size_t keyLines = countOf(program.dailyLog(), "\tKey 1 On on VT 1\r\n");
    const Program::Exit exit = program.terminate(5000);

    siege.report.note("sent at " + fixed(rate, 0) + "/s; " + std::to_string(refused) + " requests not sent, "
        + std::to_string(main.requests().size() + backup.requests().size()) + " reached the servers; the relay box got "
        + std::to_string(relayBox.received()) + " datagrams");
    siege.report.row("open files, peak", std::to_string(peakFiles), "<= 256", peakFiles <= 256);
    siege.report.row(
        "\"Key 1 On\" daily-log lines", std::to_string(keyLines), std::to_string(commands), keyLines == commands);
    siege.report.row("relay datagrams", std::to_string(relayBox.received()), std::to_string(commands),
        relayBox.received() == commands);
    siege.report.row(
        "\"Error \" rows (one per request)", std::to_string(rows), std::to_string(2 * commands), rows == 2 * commands);
    siege.report.row("a tally afterwards logged", tallyLogged ? "yes" : "no", "yes", tallyLogged);
    siege.report.row("SIGTERM to exit", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
    siege.report.row(
        "closing line last in the daily log", closedLast(program) ? "yes" : "no", "yes", closedLast(program));
}

void attackChunkExtension(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const std::size_t commands = o.quick ? 8 : 20;
    siege.report.begin("19. graphics servers answer 200 chunked with an endless chunk extension ("
        + std::to_string(commands) + " key commands 0.5 s apart)");
    HostileServer main(o.driverAddress, HostileServer::Mode::EndlessChunkExtension);
    HostileServer backup(o.backupAddress, HostileServer::Mode::EndlessChunkExtension);
    Program program(siege, "a19", {.tapRows = true});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const double cpuBefore = program.cpuSeconds();
    RemoteSampler sampler(o.bus, kIdleClass, kIdleEvent);
    const std::vector<std::int64_t> sentAt = keyCommands(o.bus, commands, kSecondNs / 2);
    const std::size_t rows = waitRows(program, sentAt.front(), 2 * commands, sentAt.back() + 8 * kSecondNs);
    sampler.stop();
    const double cpu = program.cpuSeconds() - cpuBefore;
    const std::size_t tooLarge = errorRows(program, sentAt.front(), "Reply too large").size();
    const Program::Exit exit = program.terminate(5000);

    siege.report.note("the servers sent " + mbText(double(main.bytesSent() + backup.bytesSent()) / 1048576) + "; "
        + std::to_string(tooLarge) + " rows say \"Reply too large\"");
    siege.report.row("program CPU", fixed(cpu, 2) + " s", "< 2 s", cpu < 2);
    samplerRows(siege, sampler, false);
    siege.report.row("\"Error \" rows", std::to_string(rows), std::to_string(2 * commands), rows == 2 * commands);
    siege.report.row("SIGTERM to exit", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
}
