// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Crafted peer messages and crafted text: 4, 6, 10 and 11.
#include "Siege.h"

#include "ChildProcess.h"
#include "Files.h"
#include "Listeners.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Stats.h"
#include "TallyRun.h"
#include "Traffic.h"

#include <algorithm>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
// The i-th faked sender: an address of the program's /16 that no host holds.
std::string fakedAddress(const std::string &programAddress, std::size_t i)
{
    const std::string prefix = programAddress.substr(0, programAddress.find('.', programAddress.find('.') + 1));
    return prefix + "." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
}

std::string p99Text(const TallyResult &result)
{
    return fixed(Stats::percentileMs(result.latencies, 99), 3) + " ms";
}

struct TallyFigures
{
    TallyResult quiet;
    TallyResult attacked;
};

// Quiet tallies, then tallies while `senders` faked addresses each send one 60,008-byte part of
// a 65,536-byte peer message, 1000 a second.
TallyFigures underPartialFrames(Siege &siege, Listeners &listeners, std::size_t senders)
{
    const SiegeOptions &o = siege.options;
    TallyFigures figures;
    figures.quiet = runTally({200, std::size_t(o.quick ? 400 : 1000), 0}, listeners, o.driverAddress);
    std::string frame = Traffic::peerMessage(5, std::string(60000, 'p'));
    frame.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
    std::thread attacker([&] {
        SpoofSender sender;
        const sockaddr_in to = Sockets::address(o.programAddress, 8083);
        const std::int64_t start = Pacing::nowNs();
        for (std::size_t i = 0; i < senders; ++i) {
            Pacing::sleepUntil(start + std::int64_t(i) * 1'000'000);
            sender.send(fakedAddress(o.programAddress, i), 8083, to, frame);
        }
    });
    sleepMs(300);
    figures.attacked = runTally({200, senders / 5, 0}, listeners, o.driverAddress);
    attacker.join();
    return figures;
}

void boxCase(Siege &siege, const std::string &name, const std::string &title, int dismissMs)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin(title);
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    Program program(siege, "a6-" + name, {.dismissMs = dismissMs});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    std::string boxes;
    for (int i = 0; i < 50; ++i)
        boxes += Traffic::peerMessage(5, "x");
    const int peer = Traffic::udpFrom(o.driverAddress);
    Traffic::send(peer, Sockets::address(o.programAddress, 8083), boxes);
    close(peer);
    sleepMs(300);
    // A second instance enables itself: its group message comes from another address.
    const int other = Traffic::udpFrom(o.backupAddress);
    const std::int64_t enabledAt = Pacing::nowNs();
    Traffic::send(other, Sockets::address(o.group, 8083), Traffic::peerMessage(21, "Enabled"));
    close(other);
    const int waitMs = dismissMs > 0 ? 10000 : 3000;
    const auto disabledAt = Files::waitForText(program.logs(), "Disabled by Remote Trigger", waitMs);
    const std::int64_t callAt = Pacing::nowNs();
    RemoteCall(o.bus).handleEvent("Bvrq", "Rel0", 3000);
    sleepMs(500);
    const auto events = listeners.keyEventsSince(callAt);
    const bool keyOut = std::any_of(events.begin(), events.end(),
        [](const Listeners::KeyEvent &event) { return event.kind == Listeners::KeyKind::Relay; });
    // Boxes still being dismissed come in until none has for 1.5 s.
    for (std::size_t shown = 0, i = 0; dismissMs > 0 && i < 80; ++i) {
        sleepMs(150);
        if (i % 10 == 9) {
            const std::size_t now = program.tap("box").size();
            if (now == shown)
                break;
            shown = now;
        }
    }
    const std::size_t shown = program.tap("box").size();
    program.terminate();

    siege.report.row("\"Enabled\" from a peer takes effect",
        disabledAt ? msText(*disabledAt - enabledAt) : "not within " + std::to_string(waitMs / 1000) + " s",
        "< 1000 ms", disabledAt && *disabledAt - enabledAt < 1'000'000'000);
    siege.report.row("key command out after it", keyOut ? "yes (two enabled)" : "no", "no", !keyOut);
    if (dismissMs > 0)
        siege.report.row("boxes opened", std::to_string(shown) + " of 50", "<= 10 (bounded)", shown <= 10);
    else
        siege.report.row("boxes opened", std::to_string(shown) + " (none answered)", "-", std::nullopt);
}
} // namespace

void attackPartialFrames(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const std::size_t senders = o.quick ? 4000 : 8000;
    siege.report.begin("4. " + std::to_string(senders)
        + " faked senders, each one 60,008-byte part of a 65,536-byte peer message (1000/s; tallies at 200/s)");
    Listeners listeners(o.group, o.driverAddress, o.driverAddress);
    TallyFigures measured;
    double peak = 0;
    double after = 0;
    long drops = 0;
    {
        Program program(siege, "a4");
        program.start();
        if (!program.waitOpened() || !program.enable()) {
            siege.report.row("program opened and enabled", "no", "yes", false);
            return;
        }
        const long dropsBefore = Sockets::udpDrops(program.pid(), 8083);
        measured = underPartialFrames(siege, listeners, senders);
        drops = Sockets::udpDrops(program.pid(), 8083) - dropsBefore;
        peak = program.peakMb();
        sleepMs(3000);
        after = program.rssMb();
        program.terminate();
        guardNote(siege, program);
    }
    TallyFigures floor;
    {
        const std::string output = o.work + "/a4/reflector.log";
        ChildProcess reflector(o.netns, {o.reflector, o.group}, {}, output);
        if (Files::waitForOutput(output, "reflector ready", 5000))
            floor = underPartialFrames(siege, listeners, senders);
    }
    siege.report.note(
        "peer-socket drops during the attack " + std::to_string(drops) + " of " + std::to_string(senders));
    siege.report.row("peak RSS", mbText(peak), "< 100 MB", peak < 100);
    siege.report.row("RSS 3 s after the attack", mbText(after), "-", std::nullopt);
    const double quietP99 = Stats::percentileMs(measured.quiet.latencies, 99);
    const double attackedP99 = Stats::percentileMs(measured.attacked.latencies, 99);
    siege.report.row("tally reaction p99, quiet", p99Text(measured.quiet), "-", std::nullopt, p99Text(floor.quiet));
    siege.report.row("tally reaction p99, under attack", p99Text(measured.attacked), "<= 2x quiet",
        !measured.attacked.latencies.empty() && attackedP99 <= 2 * quietP99, p99Text(floor.attacked));
    siege.report.row("tallies lost under attack",
        std::to_string(measured.attacked.lost()) + " of " + std::to_string(measured.attacked.sent), "0",
        measured.attacked.lost() == 0 && measured.attacked.sent > 0, std::to_string(floor.attacked.lost()));
}

void attackBoxes(Siege &siege)
{
    boxCase(siege, "unanswered",
        "6a. one datagram of 50 command-5 messages, then \"Enabled\" from a peer; no one "
        "answers boxes",
        0);
    boxCase(siege, "dismissed", "6b. the same, each box dismissed 0.1 s after it shows", 100);
}

void attackLineBreakers(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("10. C1 controls and U+2028/U+2029 in tally text, relay replies and peer messages");
    Program program(siege, "a10");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const std::size_t stderrBefore = Traffic::lineBreakerCount(program.output());
    const std::string text = "a\xC2\x85"
                             "b\xE2\x80\xA8"
                             "c\xE2\x80\xA9"
                             "d\xC2\x9B"
                             "31m";
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, Sockets::address(o.programAddress, 8900),
        Traffic::tsl(0, 0,
            "C1 \x9B"
            "2J \x85 end"));
    Traffic::send(fd, Sockets::address(o.programAddress, 5000), "1 " + text);
    Traffic::send(fd, Sockets::address(o.programAddress, 8083),
        Traffic::peerMessage(5, text) + Traffic::peerMessage(5, text) + Traffic::peerMessage(5, text));
    close(fd);
    sleepMs(1500);
    const std::size_t onStderr = Traffic::lineBreakerCount(program.output()) - stderrBefore;
    const std::size_t inLog = Traffic::lineBreakerCount(program.dailyLog());
    program.terminate();
    siege.report.note("sent: a tally whose text holds bytes 0x9B and 0x85, a relay reply \"1 ...\" and three peer "
                      "messages with U+0085, U+2028, U+2029 and U+009B");
    siege.report.row("raw ones on stderr (system-log copy)", std::to_string(onStderr), "0", onStderr == 0);
    siege.report.row("raw ones in the daily log", std::to_string(inLog), "0", inLog == 0);
}

void attackRollCalls(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("11. two datagrams of 8000 roll calls each, 0.3 s apart, source faked as a victim");
    Program program(siege, "a11");
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const int victim = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(victim, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const int buffer = 8 << 20;
    setsockopt(victim, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    const sockaddr_in local = Sockets::address(o.victimAddress, 8083);
    if (bind(victim, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        close(victim);
        siege.report.row("victim listening", "no", "yes", false);
        return;
    }
    std::string rollCalls;
    for (int i = 0; i < 8000; ++i)
        rollCalls += Traffic::peerMessage(-100, {});
    {
        SpoofSender sender;
        sender.send(o.victimAddress, 8083, Sockets::address(o.programAddress, 8083), rollCalls);
        sleepMs(300);
        sender.send(o.victimAddress, 8083, Sockets::address(o.programAddress, 8083), rollCalls);
    }
    const std::string joined = Traffic::peerMessage(-101, {});
    std::size_t answers = 0;
    const std::int64_t deadline = Pacing::nowNs() + 3'000'000'000;
    char message[2048];
    while (Pacing::nowNs() < deadline) {
        const ssize_t length = recv(victim, message, sizeof message, MSG_DONTWAIT);
        if (length < 0)
            sleepMs(5);
        else if (std::string(message, std::size_t(length)) == joined)
            ++answers;
    }
    close(victim);
    program.terminate();
    siege.report.row("answers sent to the victim", std::to_string(answers), "<= 1", answers <= 1);
}
