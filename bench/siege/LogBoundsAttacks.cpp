// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// What datagrams and a second instance may write to the logs: 16 and 22.
#include "Siege.h"

#include "ChildProcess.h"
#include "Files.h"
#include "Sockets.h"
#include "Traffic.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr double kFloodRate = 20000;

std::string kbText(long long bytes)
{
    return fixed(double(bytes) / 1024) + " KB";
}

struct LineFlood
{
    std::string name;
    std::string title;
    std::uint16_t port;
    std::string payload; // the flood's datagram
    std::string after; // the datagram sent 2 s after the flood
    std::string afterLine; // its daily-log line
    std::string gapLine; // the start of the line that tells the lines not written
    // Sources of lines the flood feeds, each told at most once a second: a tally for our address
    // feeds its daily-log line, "RX Pcket" and its display text, and a tally that enables the
    // trigger also announces it to the group, which comes back as our own message.
    std::size_t sources;
};

// A flood of datagrams that each would add a daily-log line, then one more of another value
// 2 s later, which must be logged.
void lineFloodCase(Siege &siege, const LineFlood &flooding)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(10, 4);
    siege.report.begin(flooding.title + " (" + fixed(seconds, 0) + " s; \"Tally Enable\" ticked)");
    Program program(siege, flooding.name);
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const sockaddr_in to = Sockets::address(o.programAddress, flooding.port);
    const long long logBefore = program.dailyLogBytes();
    const std::size_t outputBefore = program.output().size();
    Flood flood(o.driverAddress, to, {flooding.payload}, kFloodRate, seconds);
    sleepMs(int(seconds * 1000));
    flood.stop();
    sleepMs(2000);
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, to, flooding.after);
    close(fd);
    const bool afterLogged = Files::waitForText(program.logs(), flooding.afterLine, 3000).has_value();
    const long long logGrowth = program.dailyLogBytes() - logBefore;
    const std::string output = program.output();
    const std::size_t outputGrowth = output.size() - outputBefore;
    const std::size_t reports = countOf(output.substr(outputBefore), "not written: they come too fast");
    const std::size_t gapLines = countOf(program.dailyLog(), flooding.gapLine);
    const Program::Exit exit = program.terminate();

    siege.report.note("flood " + flood.describe());
    guardNote(siege, program);
    siege.report.row("daily log growth", kbText(logGrowth), "<= 512 KB", logGrowth <= 512 * 1024);
    siege.report.row("line 2 s after the flood logged", afterLogged ? "yes" : "no", "yes", afterLogged);
    siege.report.row("lines saying what was not written", std::to_string(gapLines), "1", gapLines == 1);
    siege.report.row(
        "standard error growth", kbText((long long)outputGrowth), "<= 1024 KB", outputGrowth <= 1024 * 1024);
    const double reportBound = double(flooding.sources) * (seconds + 3);
    siege.report.row("system-log counts of lines not written", std::to_string(reports), "<= 1/s per source",
        reports > 0 && double(reports) <= reportBound);
    siege.report.row("SIGTERM to exit", exit.killed ? "killed" : fixed(exit.ms) + " ms", "< 1000 ms",
        !exit.killed && exit.ms < 1000);
}
} // namespace

void attackLogLineFloods(Siege &siege)
{
    lineFloodCase(siege,
        {"a16-relay", "16a. relay replies \"1\" at 20000/s", 5000, "1", "2", "\t2 on VT 1\r\n",
            "\tRelay Reply Flood: ", 1});
    lineFloodCase(siege,
        {"a16-tally", "16b. red tallies for our VT address at 20000/s", 8900, Traffic::tsl(0, 1), Traffic::tsl(0, 2),
            "\tTally Green On on VT 1\r\n", "\tTally Flood: ", 4});
}

void attackSecondInstance(Siege &siege)
{
    siege.report.begin("22. a second instance started beside the running one");
    Program program(siege, "a22");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const std::string logBefore = program.dailyLog();
    const std::string prefsBefore = readFile(program.prefsFile());
    // Its "Error binding port." box is answered after half a second, as an operator would.
    const std::unique_ptr<ChildProcess> second = program.startAnother("second", 500);
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        sleepMs(20);
        ended = !second->running();
    }
    const int status = second->stop(2000);
    const std::string logAfter = program.dailyLog();
    const std::string secondOutput = readFile(program.dir() + "/second.log");
    const bool prefsKept = readFile(program.prefsFile()) == prefsBefore;
    const bool firstLogs = program.enable();
    program.terminate();

    const bool cleanExit = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    siege.report.row("second instance ended by itself", cleanExit ? "yes, exit 0" : "no", "yes, exit 0", cleanExit);
    const bool logKept = logAfter == logBefore;
    siege.report.row("daily-log bytes written by the second",
        std::to_string((long long)logAfter.size() - (long long)logBefore.size()) + (logKept ? "" : " (changed)"), "0",
        logKept);
    const bool saysWhy = secondOutput.find("Standing down: peer port 8083 is taken") != std::string::npos;
    siege.report.row("its standard error says why", saysWhy ? "yes" : "no", "yes", saysWhy);
    siege.report.row("preferences file unchanged", prefsKept ? "yes" : "no", "yes", prefsKept);
    siege.report.row("first instance logs a tally afterwards", firstLogs ? "yes" : "no", "yes", firstLogs);
}
