// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// A resolver that waits long for a name server that never answers, and a SIGTERM among eight
// remote-control callers while the graphics servers hold their transfers: 32.
#include "Siege.h"

#include "HostileServer.h"
#include "HttpSiege.h"
#include "Pacing.h"
#include "RemoteCall.h"

#include <algorithm>

namespace {
// The most threads the program had at once, sampled every 10 ms from a thread of its own.
class ThreadPeak
{
public:
    explicit ThreadPeak(int pid)
        : m_thread([this, pid] {
              while (!m_stop) {
                  m_peak = std::max(m_peak.load(), procEntries(pid, "task"));
                  sleepMs(10);
              }
          })
    { }
    ~ThreadPeak() { stop(); }
    ThreadPeak(const ThreadPeak &) = delete;
    ThreadPeak &operator=(const ThreadPeak &) = delete;
    int stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_peak;
    }

private:
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_peak {0};
    std::thread m_thread;
};

void namedServers(Siege &siege, std::size_t commands)
{
    const SiegeOptions &o = siege.options;
    const std::string resolvConf = o.work + "/a32-resolv.conf";
    writeFile(resolvConf, "nameserver " + o.driverAddress + "\noptions timeout:30 attempts:5\n");
    UdpSink nameServer(o.driverAddress, 53);
    Program program(siege, "a32", {.tapRows = true, .confinement = {.resolvConf = resolvConf}});
    writeFile(program.prefsFile(),
        namedServerPrefs(o, program, "graphics-main.siege.invalid", "graphics-backup.siege.invalid"));
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const int before = procEntries(program.pid(), "task");
    ThreadPeak peak(program.pid());
    RemoteSampler sampler(o.bus, kIdleClass, kIdleEvent);
    const std::vector<std::int64_t> sentAt = keyCommands(o.bus, commands, kSecondNs / 10);
    const std::size_t rows = waitRows(program, sentAt.front(), 2 * commands, sentAt.back() + 8 * kSecondNs);
    sampler.stop();
    const int most = peak.stop();
    const int after = procEntries(program.pid(), "task");
    // Every request ends within its 5 s, so by 5.5 s after a command the rows of its two
    // requests and of all those before them have come.
    std::vector<std::int64_t> at = errorRows(program, sentAt.front());
    std::sort(at.begin(), at.end());
    std::int64_t behind = 0;
    for (std::size_t i = 0; i < commands && 2 * i + 1 < at.size(); ++i)
        behind = std::max(behind, at[2 * i + 1] - sentAt[i]);
    const std::size_t timedOut = errorRows(program, sentAt.front(), "No answer within 5 s").size();
    const std::size_t refused = errorRows(program, sentAt.front(), "Not sent").size();
    const Program::Exit exit = program.terminate(5000);

    siege.report.note("the name server was sent " + std::to_string(nameServer.received()) + " queries; "
        + std::to_string(timedOut) + " rows say \"No answer within 5 s\", " + std::to_string(refused)
        + " \"Not sent\"");
    siege.report.row(
        "threads, peak", std::to_string(most) + " (" + std::to_string(before) + " before)", "<= 12", most <= 12);
    siege.report.row("threads once the rows are in", std::to_string(after), "<= 12", after <= 12);
    samplerRows(siege, sampler, false);
    requestEndRows(siege, program, rows, commands, "latest rows behind their command", behind, exit);
}

void signalAmongCallers(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    HostileServer main(o.driverAddress, HostileServer::Mode::Silent);
    HostileServer backup(o.backupAddress, HostileServer::Mode::Silent);
    UdpSink relayBox(o.driverAddress, 5000);
    Program program(siege, "a32-exit");
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    std::atomic<bool> calling {true};
    std::atomic<std::size_t> calls {0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i) {
        callers.emplace_back([&] {
            RemoteCall remote(o.bus);
            while (calling) {
                remote.handleEvent("Bvrq", "Rel0", 3000);
                ++calls;
            }
        });
    }
    sleepMs(o.quick ? 2000 : 4000);
    const Program::Exit exit = program.terminate(5000);
    calling = false;
    for (std::thread &caller : callers)
        caller.join();
    const std::string output = program.output();
    const std::size_t warnings = countOf(output, "QObject::startTimer") + countOf(output, "QObject::killTimer")
        + countOf(output, "QSocketNotifier:");

    siege.report.note(std::to_string(calls) + " calls from eight callers; "
        + std::to_string(main.requests().size() + backup.requests().size()) + " requests reached the servers");
    siege.report.row("timer and notifier warnings at exit", std::to_string(warnings), "0", warnings == 0);
    siege.report.row(
        "SIGTERM to exit, eight callers", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
    siege.report.row(
        "closing line last in the daily log", closedLast(program) ? "yes" : "no", "yes", closedLast(program));
}
} // namespace

void attackLookupPileUp(Siege &siege)
{
    const auto commands = std::size_t(siege.seconds(30, 10) * 10);
    siege.report.begin("32. both graphics servers named by host names, resolver options timeout:30 attempts:5, the "
                       "name server never answers ("
        + std::to_string(commands) + " key commands 0.1 s apart); then SIGTERM among eight callers");
    namedServers(siege, commands);
    signalAmongCallers(siege);
}
