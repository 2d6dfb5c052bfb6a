// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The program's processes and signals: playout runs that never end (18), what a script inherits
// (20) and bursts of signals (21).
#include "Siege.h"

#include "Files.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Traffic.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// The siege with the program of a bundle copy of its own whose Play.scpt is `script`.
Siege withPlayScript(const Siege &siege, const std::string &name, const std::string &script)
{
    Siege copy = siege;
    const fs::path program(siege.options.program);
    const fs::path bundle = program.parent_path().parent_path().parent_path();
    const fs::path target = fs::path(siege.options.work) / (name + "-bundle") / bundle.filename();
    fs::remove_all(target.parent_path());
    fs::create_directories(target.parent_path());
    fs::copy(bundle, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const fs::path play = target / "Contents/Resources/Play.scpt";
    fs::remove(play);
    writeFile(play, script);
    fs::permissions(play,
        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read
            | fs::perms::others_exec);
    copy.options.program = (target / fs::relative(program, bundle)).string();
    return copy;
}

// The state letter of /proc/<pid>/stat and the parent's id; state 0 when there is no such process.
std::pair<char, int> processState(int pid)
{
    const std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return {0, 0};
    std::istringstream fields(text.substr(end + 2));
    char state = 0;
    int parent = 0;
    fields >> state >> parent;
    return {state, parent};
}

// Children of `parent` that it has not collected yet, zombies included.
int childrenOf(int parent)
{
    int count = 0;
    if (DIR *proc = opendir("/proc")) {
        while (const dirent *entry = readdir(proc)) {
            const int pid = std::atoi(entry->d_name);
            if (pid > 0 && processState(pid).second == parent)
                ++count;
        }
        closedir(proc);
    }
    return count;
}

std::vector<int> pidsIn(const std::string &file)
{
    std::vector<int> pids;
    std::istringstream lines(readFile(file));
    for (int pid = 0; lines >> pid;)
        pids.push_back(pid);
    return pids;
}

// Ends the `sleep` runs the scripts left behind; a pid that is something else by now is left.
void endRuns(const std::string &marker)
{
    for (const int pid : pidsIn(marker)) {
        if (readFile("/proc/" + std::to_string(pid) + "/comm") == "sleep\n")
            kill(pid, SIGKILL);
    }
}

std::string lastDailyLine(const Program &program)
{
    std::string log = program.dailyLog();
    while (!log.empty() && (log.back() == '\n' || log.back() == '\r'))
        log.pop_back();
    const std::size_t start = log.rfind('\n');
    return start == std::string::npos ? log : log.substr(start + 1);
}

// A graphics server that takes connections (the kernel completes them) and never answers; its
// listener does not block, so the queue can be looked at without waiting.
int silentServer(const std::string &address)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = Sockets::address(address, 5201);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Connections queued on `listener` whose far end is still open; `made` counts them all.
int openConnections(int listener, int &made)
{
    int open = 0;
    for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
        ++made;
        char byte = 0;
        for (;;) {
            const ssize_t got = recv(fd, &byte, 1, 0);
            if (got == 0)
                break;
            if (got < 0 && errno == EAGAIN) {
                ++open;
                break;
            }
            if (got < 0)
                break;
        }
        close(fd);
    }
    return open;
}

struct Ending
{
    std::optional<int> status;
    double ms = 0;
};

// Waits up to 10 s for the program to end by itself; the time counts from `since`.
Ending waitEnding(Program &program, std::int64_t since)
{
    Ending ending;
    ending.status = program.waitExit(10000);
    ending.ms = double(Pacing::nowNs() - since) / 1e6;
    return ending;
}

void endingRows(Siege &siege, const Program &program, const std::string &what, const Ending &ending)
{
    const bool ended = ending.status.has_value();
    siege.report.row(
        what + " to exit", ended ? fixed(ending.ms, 0) + " ms" : "> 10 s", "< 3000 ms", ended && ending.ms < 3000);
    const bool zero = ended && WIFEXITED(*ending.status) && WEXITSTATUS(*ending.status) == 0;
    std::string code = !ended       ? "running"
        : WIFEXITED(*ending.status) ? std::to_string(WEXITSTATUS(*ending.status))
                                    : "signal " + std::to_string(WTERMSIG(*ending.status));
    siege.report.row("exit code", code, "0", zero);
    const std::string last = lastDailyLine(program);
    const bool closedLast = last.find("Trigger Control Closed") != std::string::npos;
    siege.report.row("last daily-log line", closedLast ? "the closing line" : "\"" + last.substr(0, 24) + "\"",
        "the closing line", closedLast);
}

} // namespace

void attackPlayoutPileUp(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    const double seconds = siege.seconds(20, 6);
    siege.report.begin("18. Play.scpt ending in exec sleep 600, tally flapping 10 times a second with Tally Start ("
        + fixed(seconds, 0) + " s)");
    const std::string marker = o.work + "/a18-runs";
    writeFile(marker, "");
    Siege mine = withPlayScript(siege, "a18", "#!/bin/sh\necho $$ >> '" + marker + "'\nexec sleep 600\n");
    Program program(mine, "a18", {.tslEnable = false, .tslPlay = true});
    program.start();
    if (!program.waitOpened()) {
        siege.report.row("program opened", "no", "yes", false);
        return;
    }
    const sockaddr_in tally = Sockets::address(o.programAddress, 8900);
    int most = 0;
    {
        Flood flood(o.driverAddress, tally, {Traffic::tsl(0, 0), Traffic::tsl(0, 1)}, 20, seconds);
        const std::int64_t end = Pacing::nowNs() + std::int64_t((seconds + 1) * 1e9);
        while (Pacing::nowNs() < end) {
            most = std::max(most, childrenOf(program.pid()));
            sleepMs(20);
        }
        flood.stop();
        siege.report.note("flood " + flood.describe());
    }
    const std::size_t started = pidsIn(marker).size();
    const std::size_t reports = countOf(program.output(), "runs have not ended");
    siege.report.row("most runs alive at once", std::to_string(most), "<= 4", most <= 4);
    siege.report.row("runs started", std::to_string(started), "4", started == 4);
    siege.report.row("skip reports in the system log", std::to_string(reports),
        "1.." + std::to_string(int(seconds) + 2), reports >= 1 && reports <= std::size_t(seconds) + 2);

    // Once the runs have ended, an off-to-on step starts the script again.
    endRuns(marker);
    sleepMs(700);
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, tally, Traffic::tsl(0, 0));
    sleepMs(100);
    Traffic::send(fd, tally, Traffic::tsl(0, 1));
    close(fd);
    bool again = false;
    for (int i = 0; i < 100 && !again; ++i) {
        sleepMs(20);
        again = pidsIn(marker).size() > started;
    }
    siege.report.row("a step after the runs ended starts one", again ? "yes" : "no", "yes", again);
    program.terminate();
    endRuns(marker);
}

void attackInheritance(Siege &siege)
{
    const SiegeOptions &o = siege.options;
    siege.report.begin("20. a tally starts the script while two transfers wait on servers that never answer");
    const int mainServer = silentServer(o.driverAddress);
    const int backupServer = silentServer(o.backupAddress);
    if (mainServer < 0 || backupServer < 0) {
        siege.report.row("silent servers listening", "no", "yes", false);
        close(mainServer);
        close(backupServer);
        return;
    }
    // The script notes its id, then tries a byte on every descriptor above standard error.
    const std::string marker = o.work + "/a20-runs";
    const std::string wrote = o.work + "/a20-wrote";
    writeFile(marker, "");
    writeFile(wrote, "");
    Siege mine = withPlayScript(siege, "a20",
        "#!/bin/sh\necho $$ >> '" + marker + "'\nfd=3\nwhile [ $fd -lt 64 ]; do\n"
            + "    ( exec 2>/dev/null; printf x >&$fd ) && echo $fd >> '" + wrote + "'\n    fd=$((fd + 1))\ndone\n"
            + "exec sleep 30\n");
    Program program(mine, "a20", {.tslEnable = true, .tslPlay = true});
    program.start();
    if (!program.waitOpened() || !program.enable()) {
        siege.report.row("program opened and enabled", "no", "yes", false);
        close(mainServer);
        close(backupServer);
        return;
    }
    RemoteCall(o.bus).handleEvent("Bvrq", "Rel0", 3000);
    sleepMs(300);
    const sockaddr_in tally = Sockets::address(o.programAddress, 8900);
    const int fd = Traffic::udpFrom(o.driverAddress);
    Traffic::send(fd, tally, Traffic::tsl(0, 0));
    sleepMs(100);
    Traffic::send(fd, tally, Traffic::tsl(0, 1));
    close(fd);

    // The second run is the one started during the transfers; once it is `sleep`, which opens
    // nothing, its descriptors and environment are what it inherited.
    int run = 0;
    for (int i = 0; i < 300; ++i) {
        const std::vector<int> pids = pidsIn(marker);
        if (pids.size() >= 2 && readFile("/proc/" + std::to_string(pids[1]) + "/comm") == "sleep\n") {
            run = pids[1];
            break;
        }
        sleepMs(10);
    }
    std::vector<std::string> fds;
    std::string environment;
    if (run > 0) {
        const std::string proc = "/proc/" + std::to_string(run);
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(proc + "/fd", error))
            fds.push_back(entry.path().filename());
        std::sort(fds.begin(), fds.end());
        environment = readFile(proc + "/environ");
    }
    std::string listed;
    for (const std::string &name : fds)
        listed += (listed.empty() ? "" : ",") + name;
    const bool onlyStandard = fds == std::vector<std::string> {"0", "1", "2"};
    siege.report.row("script's descriptors", run > 0 ? listed : "no run", "0,1,2", run > 0 && onlyStandard);
    const bool passedIn = std::getenv("QT_NO_GLIB") != nullptr;
    const bool seesNoGlib
        = (std::string(1, '\0') + environment).find(std::string(1, '\0') + "QT_NO_GLIB=") != std::string::npos;
    siege.report.row("QT_NO_GLIB in its environment", seesNoGlib ? "yes" : "no", passedIn ? "yes" : "no",
        run > 0 && seesNoGlib == passedIn);
    const std::vector<int> written = pidsIn(wrote);
    siege.report.row("descriptors it could write a byte to", std::to_string(written.size()), "0", written.empty());

    // The transfers' 5 s are over: their connections must be closed, no script holding them.
    sleepMs(6000);
    int made = 0;
    const int held = openConnections(mainServer, made) + openConnections(backupServer, made);
    siege.report.note(std::to_string(made) + " connections came to the two servers");
    siege.report.row("server connections open 6 s after the command", std::to_string(held), "0", held == 0);
    const bool running = processState(program.pid()).first != 0 && processState(program.pid()).first != 'Z';
    siege.report.row("program still running", running ? "yes" : "no", "yes", running);
    program.terminate();
    endRuns(marker);
    close(mainServer);
    close(backupServer);
}

void attackSignalBursts(Siege &siege)
{
    {
        siege.report.begin("21a. SIGPIPE, then 50000 SIGINTs in a burst");
        Program program(siege, "a21a");
        program.start();
        if (!program.waitOpened()) {
            siege.report.row("program opened", "no", "yes", false);
            return;
        }
        kill(program.pid(), SIGPIPE);
        sleepMs(300);
        const char state = processState(program.pid()).first;
        const bool alive = state != 0 && state != 'Z';
        siege.report.row("running 0.3 s after SIGPIPE", alive ? "yes" : "no", "yes", alive);
        const std::int64_t start = Pacing::nowNs();
        int sent = 0;
        while (sent < 50000 && kill(program.pid(), SIGINT) == 0)
            ++sent;
        siege.report.note(std::to_string(sent) + " SIGINTs sent in " + msText(Pacing::nowNs() - start));
        endingRows(siege, program, "first SIGINT", waitEnding(program, start));
    }
    {
        // A namespace of its own with loopback up and no multicast route: the join fails and
        // its box waits for nobody.
        siege.report.begin("21b. 20000 SIGTERMs in a burst with a start-up box open");
        const std::string name = "brvsg21b" + std::to_string(getpid());
        const bool made = std::system(("ip netns add " + name + " && ip -n " + name + " link set lo up").c_str()) == 0;
        if (!made) {
            siege.report.row("namespace of its own", "no", "yes", false);
        } else {
            Siege mine = siege;
            mine.options.netns = "/run/netns/" + name;
            Program program(mine, "a21b");
            program.start();
            const bool boxOpen = Files::waitForOutput(program.outputFile(), "join \"", 10000);
            siege.report.row("start-up box open", boxOpen ? "yes" : "no", "yes", boxOpen);
            sleepMs(300);
            const std::int64_t start = Pacing::nowNs();
            int sent = 0;
            while (sent < 20000 && kill(program.pid(), SIGTERM) == 0)
                ++sent;
            siege.report.note(std::to_string(sent) + " SIGTERMs sent in " + msText(Pacing::nowNs() - start));
            endingRows(siege, program, "first SIGTERM", waitEnding(program, start));
            // Dismissed once and told once, however many signals asked.
            const std::size_t told = countOf(program.output(), "Could not join multicast group!");
            siege.report.row("box text in the system log", std::to_string(told) + " time(s)", "1", told == 1);
            program.terminate();
        }
        std::system(("ip netns del " + name + " 2>/dev/null").c_str());
    }
    {
        siege.report.begin("21c. SIGHUP (a closed terminal) with both check boxes ticked");
        Program program(siege, "a21c", {.tslEnable = true, .tslPlay = true});
        program.start();
        if (!program.waitOpened()) {
            siege.report.row("program opened", "no", "yes", false);
            return;
        }
        // Only the save at the close can bring the check boxes back into the file.
        writeFile(program.prefsFile(), "{}\n");
        const std::int64_t start = Pacing::nowNs();
        kill(program.pid(), SIGHUP);
        endingRows(siege, program, "SIGHUP", waitEnding(program, start));
        const std::string saved = readFile(program.prefsFile());
        const bool boxes = std::regex_search(saved, std::regex("\"tslEnable\"\\s*:\\s*true"))
            && std::regex_search(saved, std::regex("\"tslPlay\"\\s*:\\s*true"));
        siege.report.row("check boxes saved", boxes ? "yes" : "no", "yes", boxes);
    }
}
