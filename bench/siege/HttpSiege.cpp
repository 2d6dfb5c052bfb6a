// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "HttpSiege.h"

#include "Pacing.h"
#include "RemoteCall.h"

bool closedLast(const Program &program)
{
    const std::string log = program.dailyLog();
    const std::size_t lastLine = log.rfind("\r\n", log.size() >= 2 ? log.size() - 3 : 0);
    return log.ends_with("\r\n")
        && log.find("\tTrigger Control Closed", lastLine == std::string::npos ? 0 : lastLine) != std::string::npos;
}

std::vector<std::int64_t> errorRows(const Program &program, std::int64_t from, const std::string &text)
{
    std::vector<std::int64_t> at;
    for (const Program::TapLine &row : program.tap("row")) {
        const std::size_t error = row.text.find(" : Error ");
        if (row.at >= from && error != std::string::npos && row.text.find(text, error) != std::string::npos)
            at.push_back(row.at);
    }
    return at;
}

std::size_t waitRows(const Program &program, std::int64_t from, std::size_t expected, std::int64_t deadline)
{
    while (Pacing::nowNs() < deadline && errorRows(program, from).size() < expected)
        sleepMs(100);
    sleepMs(500); // a row too many would come now
    return errorRows(program, from).size();
}

std::vector<std::int64_t> keyCommands(const std::string &bus, std::size_t count, std::int64_t gapNs)
{
    RemoteCall remote(bus);
    std::vector<std::int64_t> sentAt;
    const std::int64_t start = Pacing::nowNs();
    for (std::size_t i = 0; i < count; ++i) {
        Pacing::sleepUntil(start + std::int64_t(i) * gapNs);
        sentAt.push_back(Pacing::nowNs());
        remote.handleEvent("Bvrq", i % 2 == 0 ? "Rel0" : "Rel1", 3000);
    }
    return sentAt;
}

void samplerRows(Siege &siege, const RemoteSampler &sampler, bool worst)
{
    siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
    if (worst)
        siege.report.row("D-Bus HandleEvent worst", fixed(sampler.maxMs()) + " ms", "< 500 ms", sampler.maxMs() < 500);
}

std::string namedServerPrefs(
    const SiegeOptions &o, const Program &program, const std::string &mainName, const std::string &backupName)
{
    std::string prefs = program.standardPrefs();
    prefs.replace(
        prefs.find("\"chrWorksIP\":\"" + o.driverAddress), 14 + o.driverAddress.size(), "\"chrWorksIP\":\"" + mainName);
    prefs.replace(prefs.find("\"chrWorksIPBup\":\"" + o.backupAddress), 17 + o.backupAddress.size(),
        "\"chrWorksIPBup\":\"" + backupName);
    return prefs;
}

void requestEndRows(Siege &siege, const Program &program, std::size_t rows, std::size_t commands,
    const std::string &latestFigure, std::int64_t latestNs, const Program::Exit &exit)
{
    siege.report.row("\"Error \" rows", std::to_string(rows), std::to_string(2 * commands), rows == 2 * commands);
    siege.report.row(latestFigure,
        rows < 2 * commands ? std::to_string(2 * commands - rows) + " missing after 8 s" : msText(latestNs),
        "<= 5500 ms", rows == 2 * commands && latestNs <= 5'500'000'000);
    siege.report.row(
        "SIGTERM to exit, lookups under way", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
    siege.report.row(
        "closing line last in the daily log", closedLast(program) ? "yes" : "no", "yes", closedLast(program));
}
