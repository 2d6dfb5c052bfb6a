// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Graphics servers that answer badly: 2 and 3.
#include "Siege.h"

#include "HostileServer.h"
#include "Pacing.h"
#include "RemoteCall.h"

#include <algorithm>

namespace {
using Mode = HostileServer::Mode;

void endlessCase(Siege &siege, const std::string &name, const std::string &title, Mode mode)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(15, 6);
    siege.report.begin(title + " (" + fixed(seconds, 0) + " s after one key command)");
    HostileServer main(o.driverAddress, mode);
    HostileServer backup(o.backupAddress, mode);
    Program program(siege, "a2-" + name);
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    const double startMb = program.rssMb();
    RemoteCall(o.bus).handleEvent("Bvrq", "Rel0", 3000);
    sleepMs(int(seconds * 500));
    const double halfMb = program.rssMb();
    const double halfCpu = program.cpuSeconds();
    sleepMs(int(seconds * 500));
    const double endMb = program.rssMb();
    const double cpuPercent = (program.cpuSeconds() - halfCpu) / (seconds / 2) * 100;
    const double peak = program.peakMb();
    program.terminate();

    const bool stopped = !program.guardHit().empty();
    siege.report.note("the servers sent " + mbText(double(main.bytesSent() + backup.bytesSent()) / 1048576) + "; RSS "
        + mbText(startMb) + " before, " + mbText(halfMb) + " half-way, " + mbText(endMb) + " at the end"
        + (stopped ? "; " + program.guardHit() : ""));
    siege.report.row("peak RSS", mbText(peak), "< 100 MB", !stopped && peak < 100);
    siege.report.row("RSS growth in the second half", stopped ? "n/a (killed)" : mbText(endMb - halfMb), "< 5 MB",
        !stopped && endMb - halfMb < 5);
    siege.report.row("CPU in the second half", stopped ? "n/a (killed)" : fixed(cpuPercent) + " %", "-", std::nullopt);
}

void brokenCase(Siege &siege, const std::string &name, const std::string &title, Mode mode)
{
    const SiegeOptions &o = siege.options;
    const std::size_t commands = o.quick ? 4 : 10;
    siege.report.begin(title + " (" + std::to_string(commands) + " key commands 0.5 s apart)");
    HostileServer main(o.driverAddress, mode);
    HostileServer backup(o.backupAddress, mode);
    Program program(siege, "a3-" + name, {.tapRows = true});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        return;
    }
    std::vector<std::int64_t> sentAt;
    {
        RemoteCall remote(o.bus);
        for (std::size_t i = 0; i < commands; ++i) {
            sentAt.push_back(Pacing::nowNs());
            remote.handleEvent("Bvrq", i % 2 == 0 ? "Rel0" : "Rel1", 3000);
            Pacing::sleepUntil(sentAt.back() + 500'000'000);
        }
    }
    const auto errorRows = [&] {
        std::vector<std::int64_t> at;
        for (const Program::TapLine &row : program.tap("row")) {
            if (row.at >= sentAt.front() && row.text.find(" : Error ") != std::string::npos)
                at.push_back(row.at);
        }
        return at;
    };
    const std::int64_t deadline = sentAt.back() + 8'000'000'000;
    while (Pacing::nowNs() < deadline && errorRows().size() < 2 * commands)
        sleepMs(100);
    sleepMs(500); // an outcome too many would come now
    const std::vector<std::int64_t> rows = errorRows();
    // A command that finds a server with all its transfers in flight sends it nothing and says so
    // in its row: it counts as that command's one request.
    const auto refused = [&](const std::string &address) {
        std::size_t count = 0;
        for (const Program::TapLine &row : program.tap("row"))
            count += row.at >= sentAt.front() && row.text.find(" : Error Not sent: ") != std::string::npos
                && row.text.find(" to " + address + ":5201 ") != std::string::npos;
        return count;
    };
    const std::size_t mainRefused = refused(o.driverAddress);
    const std::size_t backupRefused = refused(o.backupAddress);
    const std::size_t mainRequests = main.requests().size() + mainRefused;
    const std::size_t backupRequests = backup.requests().size() + backupRefused;
    program.terminate();
    if (mainRefused + backupRefused > 0)
        siege.report.note(std::to_string(mainRefused) + "+" + std::to_string(backupRefused)
            + " of them not sent: the server had all its transfers in flight");

    std::int64_t slowest = 0;
    for (std::size_t j = 0; j < rows.size(); ++j)
        slowest = std::max(slowest, rows[j] - sentAt[std::min(j / 2, commands - 1)]);
    const bool allOutcomes = rows.size() == 2 * commands;
    siege.report.row("requests per command and server",
        fixed(double(mainRequests + backupRequests) / double(2 * commands), 2) + " (" + std::to_string(mainRequests)
            + "+" + std::to_string(backupRequests) + ")",
        "1.00 (" + std::to_string(commands) + "+" + std::to_string(commands) + ")",
        mainRequests == commands && backupRequests == commands);
    siege.report.row("\"Error \" rows", std::to_string(rows.size()), std::to_string(2 * commands), allOutcomes);
    siege.report.row("slowest outcome after its command",
        rows.size() < 2 * commands ? std::to_string(2 * commands - rows.size()) + " missing after 8 s"
                                   : msText(slowest),
        "<= 6000 ms", allOutcomes && slowest <= 6'000'000'000);
}
} // namespace

void attackEndlessAnswers(Siege &siege)
{
    endlessCase(siege, "body", "2a. graphics servers answer 200 with an endless body", Mode::EndlessBody);
    endlessCase(siege, "header", "2b. graphics servers send an endless header line", Mode::EndlessHeader);
}

void attackBrokenAnswers(Siege &siege)
{
    brokenCase(siege, "close", "3a. graphics servers close without answering", Mode::CloseWithoutAnswer);
    brokenCase(siege, "cut", "3b. graphics servers cut the answer off after its status line", Mode::CutAfterStatus);
    brokenCase(siege, "trickle", "3c. graphics servers trickle the body, one byte every 2 s", Mode::Trickle);
}
