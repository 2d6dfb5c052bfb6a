// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Things planted where the program keeps its own files: preferences it cannot read or that are
// no regular file (28), and a link or a FIFO as the day's daily-log file (29).
#include "Siege.h"

#include "RemoteCall.h"
#include "Sockets.h"
#include "Traffic.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return "a file";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISDIR(mode))
        return "a folder";
    return "something else";
}

// What stands at path, a link there not followed: "a FIFO", "a link to a character device"...
std::string standing(const std::string &path)
{
    struct stat info
    {
    };
    if (lstat(path.c_str(), &info) != 0)
        return "nothing";
    if (!S_ISLNK(info.st_mode))
        return kindOf(info.st_mode);
    struct stat target
    {
    };
    return stat(path.c_str(), &target) == 0 ? "a link to " + kindOf(target.st_mode) : "a broken link";
}

// The text of the first box the program's tap saw, once one is seen within the time.
std::optional<std::string> waitBox(const Program &program, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        const auto boxes = program.tap("box");
        if (!boxes.empty())
            return boxes.front().text;
        sleepMs(20);
    }
    return std::nullopt;
}

void startupBoxRow(Siege &siege, const std::optional<std::string> &box, const std::string &reason)
{
    siege.report.row("start-up box gives the reason",
        !box                                         ? "none within 10 s"
            : box->find(reason) != std::string::npos ? "shown: \"" + reason + "\""
                                                     : "shown without it",
        "shown, with reason", box && box->find(reason) != std::string::npos);
}

void unreadFile(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin(
        "28a. preferences with mode 0200 (VT 7, relay box, servers, motions), run as nobody: start, quit");
    const passwd *nobody = getpwnam("nobody");
    if (!nobody) {
        siege.report.row("an unprivileged user", "none", "nobody", false);
        return;
    }
    Program program(
        siege, "a28-unread", {.dismissMs = 300, .confinement = {.user = nobody->pw_uid, .group = nobody->pw_gid}});
    std::string original = program.standardPrefs();
    original.replace(original.find("\"VTid\":\"1\""), 10, "\"VTid\":\"7\"");
    writeFile(program.prefsFile(), original);
    // Everything of this run is the user's, the preferences only writable by it; the work
    // folder above only lets it pass, and only while the program runs.
    for (const auto &entry : fs::recursive_directory_iterator(program.dir()))
        lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
    lchown(program.dir().c_str(), nobody->pw_uid, nobody->pw_gid);
    chmod(program.prefsFile().c_str(), 0200);
    struct stat work
    {
    };
    stat(o.work.c_str(), &work);
    chmod(o.work.c_str(), (work.st_mode & 07777) | 0711);

    program.start();
    const auto box = waitBox(program, 10000);
    const Program::Exit exit = program.terminate(5000);
    chmod(o.work.c_str(), work.st_mode & 07777);

    struct stat after
    {
    };
    const bool same = stat(program.prefsFile().c_str(), &after) == 0 && S_ISREG(after.st_mode)
        && (after.st_mode & 07777) == 0200 && readFile(program.prefsFile()) == original;
    const std::string output = program.output();
    siege.report.note("run as uid " + std::to_string(nobody->pw_uid) + "; the siege's bus admits only its own user");
    startupBoxRow(siege, box, "Permission denied");
    siege.report.row("Brenvale.prefs after quit",
        same ? "original bytes, 0200" : standing(program.prefsFile()) + ", changed", "original bytes, 0200", same);
    const bool said = output.find("The preferences were not saved") != std::string::npos;
    siege.report.row("system log says why it was not saved", said ? "yes" : "no", "yes", said);
    siege.report.row("SIGTERM to exit", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
}

// A FIFO or a link to a device of our own at the preferences file, nobody answering boxes.
void nonRegularFile(Siege &siege, const std::string &name, const std::string &what, bool device)
{
    siege.report.begin("28" + name + ". " + what + " at the preferences file, the start-up box unanswered: SIGTERM");
    Program program(siege, "a28-" + name);
    const std::string prefs = program.prefsFile();
    unlink(prefs.c_str());
    if (device) {
        // Not the machine's own /dev/zero: were it replaced, only this node would be lost.
        const std::string node = program.dir() + "/zero";
        mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 5));
        symlink(node.c_str(), prefs.c_str());
    } else {
        mkfifo(prefs.c_str(), 0600);
    }
    const std::string before = standing(prefs);
    program.start();
    const auto box = waitBox(program, 10000);
    const Program::Exit exit = program.terminate(5000);
    const std::string now = standing(prefs);
    startupBoxRow(siege, box, "Not a regular file");
    siege.report.row("Brenvale.prefs after quit", now, before, now == before);
    siege.report.row("SIGTERM to exit", exitText(exit, 5000), "< 1000 ms", !exit.killed && exit.ms < 1000);
}

void plantedLink(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin(
        "29a. the day's daily-log file a link to a shell start-up file; a relay reply \"1 $(touch ...)\"");
    Program program(siege, "a29-link", {.tapRows = true});
    const std::string profile = program.dir() + "/home/.profile";
    const std::string original = "# ~/.profile\nPATH=\"$HOME/bin:$PATH\"\n";
    writeFile(profile, original);
    const std::time_t now = std::time(nullptr);
    const std::string today = program.logs() + dailyLogName(now);
    for (const std::string &day : {today, program.logs() + dailyLogName(now + 86400)})
        symlink(profile.c_str(), day.c_str());
    program.start();
    if (!program.waitRemote(5000)) {
        siege.report.row("program started", "no", "yes", false);
        return;
    }
    const std::string reply = "1 $(touch " + program.dir() + "/sourced)";
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, Sockets::address(o.programAddress, 5000), reply);
    close(fd);
    // Failed appends reach the system log within a second.
    sleepMs(1500);
    bool shown = false;
    for (const Program::TapLine &row : program.tap("row"))
        shown = shown || row.text.find(reply) != std::string::npos;
    RemoteCall remote(o.bus);
    const bool answers = remote.handleEvent("Bvrq", "Rel1", 3000) && !program.waitExit(0);
    program.terminate();
    const std::string output = program.output();

    siege.report.row("the reply reached the on-screen log", shown ? "yes" : "no", "yes", shown);
    const std::string kept = readFile(profile);
    siege.report.row("shell start-up file",
        kept == original ? "original bytes" : std::to_string(kept.size()) + " bytes", "original bytes",
        kept == original);
    siege.report.row("the day's file", standing(today), "a link to a file", standing(today) == "a link to a file");
    const bool reported = output.find("Could not write") != std::string::npos
        && output.find("Not a regular file but a symbolic link") != std::string::npos;
    siege.report.row("failed appends in the system log", reported ? "yes, the link named" : "no", "yes", reported);
    siege.report.row("program runs on (remote call answered)", answers ? "yes" : "no", "yes", answers);
}

void plantedFifo(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(8, 3);
    siege.report.begin(
        "29b. the day's daily-log file a FIFO that someone holds open, tallies at 10/s (" + fixed(seconds, 0) + " s)");
    Program program(siege, "a29-fifo");
    const std::time_t now = std::time(nullptr);
    std::vector<int> readers;
    for (const std::string &day : {dailyLogName(now), dailyLogName(now + 86400)}) {
        const std::string path = program.logs() + day;
        mkfifo(path.c_str(), 0600);
        readers.push_back(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    }
    program.start();
    if (!program.waitRemote(5000)) {
        siege.report.row("program started", "no", "yes", false);
    } else {
        Flood flood(o.driverAddress, Sockets::address(o.programAddress, 8900), {Traffic::tsl(0, 1)}, 10, seconds + 1);
        sleepMs(500);
        RemoteSampler sampler(o.bus);
        sleepMs(int(seconds * 1000));
        sampler.stop();
        flood.stop();
        sleepMs(1200);
        std::size_t received = 0;
        for (const int reader : readers) {
            char buffer[4096];
            ssize_t got = 0;
            while ((got = read(reader, buffer, sizeof buffer)) > 0)
                received += std::size_t(got);
        }
        const std::string output = program.output();
        siege.report.note("tallies " + flood.describe() + "; remote calls " + sampler.describe());
        siege.report.row("D-Bus HandleEvent p99", sampler.p99Text(), "< 100 ms", sampler.p99Ms() < 100);
        siege.report.row("bytes written into the FIFO", std::to_string(received), "0", received == 0);
        const bool reported = output.find("Could not write") != std::string::npos
            && output.find("Not a regular file") != std::string::npos;
        siege.report.row("failed appends in the system log", reported ? "yes" : "no", "yes", reported);
    }
    program.terminate();
    for (const int reader : readers)
        close(reader);
}
} // namespace

void attackUnreadPrefs(Siege &siege)
{
    unreadFile(siege);
    nonRegularFile(siege, "b", "a FIFO", false);
    nonRegularFile(siege, "c", "a link to a character device", true);
}

void attackPlantedDailyLog(Siege &siege)
{
    plantedLink(siege);
    plantedFifo(siege);
}
