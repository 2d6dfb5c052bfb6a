// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// What genuine senders must get through the line bounds, and what a flood of every kind may
// write: 23, 24 and 25.
#include "Siege.h"

#include "Files.h"
#include "Listeners.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Traffic.h"

#include <unistd.h>

namespace {
// Our address's display text, which no other address of the switcher uses.
const std::string kOurText = "Ours at VT 1";

std::string countText(std::size_t measured, std::size_t of)
{
    return std::to_string(measured) + " of " + std::to_string(of);
}

// One address at `perAddress` a second among `addresses` (ours, display 0, the first of them)
// for `seconds`, all red: every "RX Pcket" line, every display-text line of ours and every
// "Tally Red On" line must be written, and no flood line.
void frameRateCase(Siege &siege, const std::string &name, int addresses, double perAddress, double seconds)
{
    const SiegeOptions &o = siege.options;
    const std::string who = addresses == 1 ? "our address" : std::to_string(addresses) + " addresses, ours among them,";
    siege.report.begin("23" + name + ". " + who + " red at " + fixed(perAddress, 0)
        + (addresses == 1 ? "/s (" : "/s each (") + fixed(seconds, 0) + " s; \"Tally Enable\" ticked)");
    Program program(siege, "a23" + name);
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    std::vector<std::string> payloads;
    for (int display = 0; display < addresses; ++display)
        payloads.push_back(Traffic::tsl(display, 1, display == 0 ? kOurText : "Switcher " + std::to_string(display)));
    const std::size_t outputBefore = program.output().size();
    const std::size_t redBefore = countOf(program.dailyLog(), "\tTally Red On on VT 1\r\n");
    Flood flood(o.driverAddress, Sockets::address(o.programAddress, 8900), payloads, perAddress * addresses, seconds);
    sleepMs(int(seconds * 1000) + 200);
    flood.stop();
    sleepMs(1500);
    const std::string output = program.output().substr(outputBefore);
    const std::string log = program.dailyLog();
    program.terminate();

    const std::size_t sent = flood.sent();
    const std::size_t ours = (sent + payloads.size() - 1) / payloads.size();
    siege.report.note("flood " + flood.describe());
    guardNote(siege, program);
    const std::size_t red = countOf(log, "\tTally Red On on VT 1\r\n") - redBefore;
    siege.report.row("\"Tally Red On\" lines", countText(red, ours), std::to_string(ours), red == ours);
    const std::size_t texts = countOf(output, kOurText);
    siege.report.row("display-text lines of ours", countText(texts, ours), std::to_string(ours), texts == ours);
    const std::size_t notes = countOf(output, "RX Pcket");
    if (perAddress * addresses <= 1000)
        siege.report.row("\"RX Pcket\" lines", countText(notes, sent), std::to_string(sent), notes == sent);
    else
        siege.report.row("\"RX Pcket\" lines", countText(notes, sent), "-", std::nullopt);
    const std::size_t floodLines = countOf(log, " Flood: ");
    siege.report.row("flood lines in the daily log", std::to_string(floodLines), "0", floodLines == 0);
}
} // namespace

void attackFrameRateSenders(Siege &siege)
{
    frameRateCase(siege, "a", 1, 60, siege.seconds(30, 10));
    frameRateCase(siege, "b", 32, 10, siege.seconds(20, 5));
    frameRateCase(siege, "c", 64, 50, siege.seconds(20, 5));
}

void attackEveryKindFlood(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(70, 35);
    siege.report.begin(
        "24. every tally value at 8000/s and replies \"1\", \"2\", \"3\" with 255 control bytes at 6000/s ("
        + fixed(seconds, 0) + " s; \"Tally Enable\" ticked)");
    Program program(siege, "a24");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const sockaddr_in tally = Sockets::address(o.programAddress, 8900);
    const sockaddr_in relay = Sockets::address(o.programAddress, 5000);
    const std::string controls(255, '\x01');
    const long long bytesBefore = program.dailyLogBytes();
    std::size_t tallyGaps = 0;
    std::size_t replyGaps = 0;
    std::string tallyRate;
    std::string replyRate;
    {
        // The replies come from the relay box's own address: its budget is the one they spend.
        Flood tallies(o.driverAddress, tally,
            {Traffic::tsl(0, 0), Traffic::tsl(0, 1), Traffic::tsl(0, 2), Traffic::tsl(0, 3)}, 8000, seconds);
        Flood replies(o.driverAddress, relay, {"1" + controls, "2" + controls, "3" + controls}, 6000, seconds);
        sleepMs(int(seconds * 1000) - 500);
        // Before the flood ends, so these are the lines told while it lasts.
        const std::string log = program.dailyLog();
        tallyGaps = countOf(log, "\tTally Flood: ");
        replyGaps = countOf(log, "\tRelay Reply Flood: ");
        tallies.stop();
        replies.stop();
        tallyRate = tallies.describe();
        replyRate = replies.describe();
    }
    sleepMs(3000);
    // With the lines the flood owed at its end.
    const long long grown = program.dailyLogBytes() - bytesBefore;
    const std::string logBefore = program.dailyLog();
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, tally, Traffic::tsl(0, 2));
    Traffic::send(fd, relay, "2 after the flood");
    close(fd);
    const bool replyLogged = Files::waitForText(program.logs(), "\t2 after the flood on VT 1\r\n", 3000).has_value();
    const std::size_t greenBefore = countOf(logBefore, "\tTally Green On on VT 1\r\n");
    bool tallyLogged = false;
    for (int i = 0; i < 150 && !tallyLogged; ++i) {
        tallyLogged = countOf(program.dailyLog(), "\tTally Green On on VT 1\r\n") > greenBefore;
        if (!tallyLogged)
            sleepMs(20);
    }
    program.terminate();

    siege.report.note("tallies " + tallyRate + "; replies " + replyRate);
    guardNote(siege, program);
    const double mb = double(grown) / (1024 * 1024);
    siege.report.row(
        "daily log growth", mbText(mb) + " (" + fixed(mb * 1024 / seconds, 0) + " KB/s)", "<= 3.5 MB", mb <= 3.5);
    const bool told = seconds < 60 || (tallyGaps > 0 && replyGaps > 0);
    siege.report.row("gap lines while it lasts (tallies, replies)",
        std::to_string(tallyGaps) + ", " + std::to_string(replyGaps), seconds < 60 ? "-" : ">= 1, >= 1",
        seconds < 60 ? std::nullopt : std::optional<bool>(told));
    siege.report.row("tally 3 s after it logged", tallyLogged ? "yes" : "no", "yes", tallyLogged);
    siege.report.row("reply 3 s after it logged", replyLogged ? "yes" : "no", "yes", replyLogged);
}

void attackRelayBoxBudget(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = 12;
    siege.report.begin("25. replies \"1\" at 2000/s from another host while the relay box answers \"1 ok\" (12 s)");
    // The relay box answers every key command with "1 ok" from this host's first address, the
    // one the preferences name.
    Listeners listeners(o.group, o.driverAddress, o.driverAddress, "1 ok");
    Program program(siege, "a25");
    program.start();
    if (!program.waitOpened() || !program.waitRemote(5000) || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    RemoteCall remote(o.bus);
    std::size_t answered = 0;
    Flood flood(o.backupAddress, Sockets::address(o.programAddress, 5000), {"1"}, 2000, seconds);
    for (int key = 0; key < 3; ++key) {
        sleepMs(3000);
        answered += remote.handleEvent("Bvrq", "Rel0", 3000);
    }
    sleepMs(int(seconds * 1000) - 9000);
    flood.stop();
    sleepMs(1000);
    const std::string log = program.dailyLog();
    program.terminate();

    siege.report.note("flood " + flood.describe() + "; key commands handled " + std::to_string(answered) + " of 3");
    guardNote(siege, program);
    const std::size_t ok = countOf(log, "\t1 ok on VT 1\r\n");
    siege.report.row("\"1 ok\" lines", countText(ok, 3), "3", ok == 3);
    siege.report.row(
        "\"1\" lines of the other host", std::to_string(countOf(log, "\t1 on VT 1\r\n")), "-", std::nullopt);
}
