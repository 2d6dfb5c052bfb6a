// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Peer messages that look like HTML: 14.
#include "Siege.h"

#include "Pacing.h"
#include "Sockets.h"
#include "Traffic.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
std::string nestedTables(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<table><tr><td>";
    return text;
}

// Whether the process still runs: it exists and is no zombie.
bool alive(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (pid <= 0 || !std::getline(stat, line))
        return false;
    const std::size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] != 'Z';
}
} // namespace

void attackMarkup(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("14. peer messages that look like HTML to UDP 8083: a local image, 12, 20 and 4,000 nested "
                       "tables; each box dismissed 0.1 s after it shows");
    const std::vector<std::pair<std::string, std::string>> messages = {
        {"<b>x</b><img src=\"/dev/zero\"> (37 B)", "<b>x</b><img src=\"/dev/zero\">"},
        {"12 nested tables (180 B)", nestedTables(12)},
        {"20 nested tables (300 B)", nestedTables(20)},
        {"4,000 nested tables (60 KB)", nestedTables(4000)},
    };
    Program program(siege, "a14", {.dismissMs = 100});
    program.start();
    if (!program.waitOpened() || !program.waitRemote(5000)) {
        siege.report.row("program opened, remote control up", "no", "yes", false);
        return;
    }
    RemoteSampler sampler(o.bus);
    sleepMs(300);
    const int peer = Traffic::udpFrom(o.driverAddress);
    for (const auto &message : messages) {
        Traffic::send(peer, Sockets::address(o.programAddress, 8083), Traffic::peerMessage(5, message.second));
        sleepMs(200);
    }
    close(peer);
    // Until every box has been shown, or 15 s.
    for (int i = 0; i < 150 && program.tap("boxtext").size() < messages.size() && alive(program.pid()); ++i)
        sleepMs(100);
    sleepMs(1000);
    sampler.stop();
    const bool running = alive(program.pid());
    const double peak = program.peakMb();
    const std::vector<Program::TapLine> shown = program.tap("boxtext");
    program.terminate();
    guardNote(siege, program);

    siege.report.note("remote calls " + sampler.describe());
    siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
    siege.report.row("peak RSS", mbText(peak), "< 100 MB", peak < 100);
    siege.report.row("program still running", running ? "yes" : "no", "yes", running);
    // A message past 1,000 characters shows its start and how much was left out.
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::string &sent = messages[i].second;
        const std::string expected = "plain " + Traffic::lengthAndHash(Traffic::peerBoxText(sent));
        const std::string measured = i < shown.size() ? shown[i].text : "no box";
        const bool same = measured == expected;
        const std::string target = sent.size() > 1000 ? "plain, first 1,000 chars + cut note" : "plain text, as sent";
        siege.report.row("box of " + messages[i].first,
            same                       ? target
                : measured == "no box" ? measured
                                       : "other text or format: " + measured,
            target, same);
    }
}
