// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Stalled pipes, FIFOs in place of files, and a damaged preferences file: 12 and 13.
#include "Siege.h"

#include "Sockets.h"
#include "Traffic.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The program with FIFOs at the paths `place` gives: how long until its remote control is up.
void fifoCase(
    Siege &siege, const std::string &name, const std::string &title, std::vector<std::string> (*place)(const Program &))
{
    siege.report.begin(title);
    Program program(siege, "a12-" + name);
    for (const std::string &path : place(program)) {
        unlink(path.c_str());
        mkfifo(path.c_str(), 0600);
    }
    program.start();
    const auto up = program.waitRemote(5000);
    program.terminate(2000);
    siege.report.row("start-up completes (remote control up)",
        up ? msText(*up - program.startedAt()) : "not within 5 s", "< 2000 ms",
        up && *up - program.startedAt() < 2'000'000'000);
}

std::vector<std::string> prefsFifo(const Program &program)
{
    return {program.prefsFile()};
}

std::vector<std::string> dailyLogFifo(const Program &program)
{
    // Today's and tomorrow's, should the run cross midnight.
    const std::time_t now = std::time(nullptr);
    return {program.logs() + dailyLogName(now), program.logs() + dailyLogName(now + 86400)};
}
} // namespace

void attackStalledFiles(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("12a. stderr on a pipe nobody reads, then 20000 tally datagrams at 20000/s");
    {
        Program program(siege, "a12-pipe");
        const std::string fifo = program.dir() + "/stderr.fifo";
        mkfifo(fifo.c_str(), 0600);
        // Held open and never read: the pipe fills and stays full.
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        program.start(fifo);
        if (!program.waitOpened()) {
            siege.report.row("program opened", "no", "yes", false);
        } else {
            {
                Flood flood(o.driverAddress, Sockets::address(o.programAddress, 8900), {Traffic::tsl(5, 1)}, 20000, 1);
                sleepMs(1500);
            }
            RemoteSampler sampler(o.bus);
            sleepMs(1500);
            sampler.stop();
            const Program::Exit exit = program.terminate(5000);
            siege.report.note("remote calls " + sampler.describe());
            siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
            siege.report.row("SIGTERM to exit", exit.killed ? "> 5000 ms (killed)" : fixed(exit.ms) + " ms",
                "< 1000 ms", !exit.killed && exit.ms < 1000);
        }
        program.terminate();
        close(reader);
    }
    fifoCase(siege, "prefs", "12b. a FIFO at the preferences file", prefsFifo);
    fifoCase(siege, "log", "12c. a FIFO at the day's daily-log file", dailyLogFifo);
}

void attackBadPrefs(Siege &siege)
{
    siege.report.begin("13. a preferences file with one invalid UTF-8 byte, then start and quit");
    Program program(siege, "a13");
    std::string original = program.standardPrefs();
    original.replace(original.find("motion1\""), 7, "mot\xFFion1");
    writeFile(program.prefsFile(), original);
    program.start();
    const bool up = program.waitRemote(5000).has_value();
    const Program::Exit exit = program.terminate(5000);
    const std::string kept = readFile(program.prefsFile() + ".rejected");
    const std::string now = readFile(program.prefsFile());
    siege.report.note(std::string("program ") + (up ? "started" : "did not start within 5 s") + " and "
        + (exit.killed ? "had to be killed" : "quit") + "; the preferences file is now "
        + (now == original ? "unchanged" : std::to_string(now.size()) + " other bytes"));
    siege.report.row("Brenvale.prefs.rejected",
        kept == original   ? "original bytes"
            : kept.empty() ? "missing"
                           : "other bytes",
        "original bytes", kept == original);
}
