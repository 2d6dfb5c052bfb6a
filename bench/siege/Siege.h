// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "ChildProcess.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

// What scripts/siege.sh tells the driver: the programs, the program's namespace, the bus, the
// work folder and the addresses of the two hosts.
struct SiegeOptions
{
    std::string program; // the Brenvale executable of a bundle copy whose Play.scpt marks each run
    std::string tap; // brenvale-siege-tap.so
    std::string reflector; // brenvale-bench-reflector
    std::string netns; // the program's network namespace (a path under /run/netns)
    std::string work; // a folder of our own for homes, logs and output
    std::string bus; // session bus address
    std::string group; // the peer group's multicast address
    std::string playMarker; // the file the bundle copy's Play.scpt appends a line to per run
    std::string programAddress; // the program's host
    std::string driverAddress; // this host: tally source, peer, relay box, main graphics server
    std::string backupAddress; // this host's second address: backup graphics server, a second peer
    std::string victimAddress; // this host's third address, whose source others fake
    bool quick = false;
    std::set<int> only; // the attacks to run; all when empty

    static SiegeOptions parse(int argc, char *argv[]);
};

// One table per attack, printed as its figures come in; failures are counted for the summary.
class Report
{
public:
    void begin(const std::string &title);
    void note(const std::string &text);
    // `pass` empty: a figure shown for information, with no target.
    void row(const std::string &figure, const std::string &measured, const std::string &target,
        std::optional<bool> pass, const std::string &reflector = "-");
    // Gives the exit code: 0 when every figure met its target.
    int summary() const;

private:
    std::string m_title;
    bool m_headed = false;
    int m_passed = 0;
    std::vector<std::string> m_failed;
};

struct Siege
{
    SiegeOptions options;
    Report report;
    // A length of an attack in seconds: `full`, or `quick` with --quick.
    double seconds(double full, double quick) const { return options.quick ? quick : full; }
};

// How the program is started: its check boxes and what the tap reports besides boxes.
struct Launch
{
    bool tslEnable = true;
    bool tslPlay = false;
    bool tapRows = false;
    bool tapPaints = false;
    int dismissMs = 0; // the tap dismisses each box after this long; 0: nobody answers boxes
    Confinement confinement {};
    std::string display {}; // an X display (":N") to show the window on; offscreen when empty
    bool hangUpIgnored = false; // started as nohup starts it: SIGHUP ignored across the exec
    std::string pathFirst {}; // a folder put first on the program's PATH
};

// One run of the program in the program's namespace, with a HOME, preferences, daily-log folder
// and output of its own under <work>/<name>. While it runs, a guard kills it should it hold more
// than kMemoryGuardMb or its daily logs pass kDiskGuardMb, so that no attack can exhaust the
// machine; the figures then say so.
class Program
{
public:
    static constexpr long kMemoryGuardMb = 1024;
    static constexpr long kDiskGuardMb = 512;

    Program(const Siege &siege, const std::string &name, const Launch &launch = {});
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    const std::string &dir() const { return m_dir; }
    std::string logs() const { return m_dir + "/logs/"; } // the daily-log folder, as the preferences name it
    std::string prefsFile() const { return m_dir + "/home/.config/Brenvale/Brenvale.prefs"; }
    std::string outputFile() const { return m_dir + "/program.log"; }
    // The preferences for `launch`: both graphics servers, relay box and log folder set.
    std::string standardPrefs() const;

    // Standard output and error go to `output` (outputFile() when empty; it may be a FIFO that
    // somebody holds open).
    void start(const std::string &output = {});
    // Another instance on the same HOME, preferences and daily-log folder, with output and tap
    // of its own (<dir>/<name>.log, <dir>/<name>-tap.log) and its boxes dismissed after
    // dismissMs; the caller stops it.
    std::unique_ptr<ChildProcess> startAnother(const std::string &name, int dismissMs) const;
    // "Trigger Control Opened" in the daily log (no FIFO may be in the folder).
    bool waitOpened(int timeoutMs = 10000) const;
    // When the remote-control name was first owned, if within the time.
    std::optional<std::int64_t> waitRemote(int timeoutMs) const;
    // One red tally for VT 1 (needs "Tally Enable"); true once its daily-log line is there.
    bool enable() const;

    struct Exit
    {
        double ms = 0; // SIGTERM to the end of the process
        bool killed = false; // it had not ended by the grace time and was killed
    };
    Exit terminate(int graceMs = 5000);
    // The wait status once the program has ended by itself, or nothing while it still runs
    // after timeoutMs. Polled every millisecond.
    std::optional<int> waitExit(int timeoutMs);

    int pid() const { return m_child ? m_child->pid() : -1; }
    std::int64_t startedAt() const { return m_child ? m_child->startedAt() : 0; }
    double peakMb() const;
    double rssMb() const;
    double cpuSeconds() const;
    // Why the guard stopped the program, or empty.
    std::string guardHit() const;

    std::string dailyLog() const; // every regular file of the log folder, in name order
    long long dailyLogBytes() const;
    std::string output() const;
    struct TapLine
    {
        std::int64_t at = 0;
        std::string kind;
        std::string text;
    };
    std::vector<TapLine> tap(const std::string &kind) const;

private:
    void guard();
    std::vector<std::pair<std::string, std::string>> environment(const std::string &tapFile, int dismissMs) const;

    const Siege &m_siege;
    Launch m_launch;
    std::string m_dir;
    std::unique_ptr<ChildProcess> m_child;
    std::thread m_guard;
    std::atomic<bool> m_stopGuard {false};
    std::atomic<long> m_peakKb {0};
    std::atomic<int> m_guardHit {0}; // 1 memory, 2 disk
};

// A note when the guard stopped the program.
void guardNote(Siege &siege, const Program &program);
// How long terminate() took, or "> <graceMs> ms (killed)".
std::string exitText(const Program::Exit &exit, int graceMs);

std::string fixed(double value, int decimals = 1);
std::string msText(std::int64_t ns);
std::string mbText(double mb);
void sleepMs(int ms);
std::size_t countOf(const std::string &text, const std::string &needle);
// How many entries /proc/<pid>/<folder> lists ("fd": open files, "task": threads); 0 once it
// has gone.
int procEntries(int pid, const std::string &folder);
// The longest line of a daily log, CR LF not counted.
std::size_t longestLine(const std::string &log);
// "OnTheAirVideo Log YYYY-MM-DD.txt" of the local date at `when`.
std::string dailyLogName(std::time_t when);
std::string readFile(const std::string &path); // empty unless a regular file
void writeFile(const std::string &path, const std::string &bytes);

void attackFloods(Siege &siege); // 1
void attackEndlessAnswers(Siege &siege); // 2
void attackBrokenAnswers(Siege &siege); // 3
void attackPartialFrames(Siege &siege); // 4
void attackJoins(Siege &siege); // 5
void attackBoxes(Siege &siege); // 6
void attackForeignFlood(Siege &siege); // 7
void attackFlapping(Siege &siege); // 8
void attackRelayReplies(Siege &siege); // 9
void attackLineBreakers(Siege &siege); // 10
void attackRollCalls(Siege &siege); // 11
void attackStalledFiles(Siege &siege); // 12
void attackBadPrefs(Siege &siege); // 13
void attackMarkup(Siege &siege); // 14
void attackLogLineFloods(Siege &siege); // 16
void attackSecondInstance(Siege &siege); // 22
void attackUnreadPrefs(Siege &siege); // 28
void attackPlantedDailyLog(Siege &siege); // 29
void attackSilentNameServer(Siege &siege); // 15
void attackTransfersInFlight(Siege &siege); // 17
void attackChunkExtension(Siege &siege); // 19
void attackPlayoutPileUp(Siege &siege); // 18
void attackInheritance(Siege &siege); // 20
void attackSignalBursts(Siege &siege); // 21
void attackFormatCharacters(Siege &siege); // 26
void attackLongPeerMessage(Siege &siege); // 27
void attackInputWhileNetworkTalks(Siege &siege); // 33
void attackHangUpAndOpener(Siege &siege); // 34
void attackLookupPileUp(Siege &siege); // 32
void attackReplugged(Siege &siege); // 30
void attackReaddressed(Siege &siege); // 31
void attackFrameRateSenders(Siege &siege); // 23
void attackEveryKindFlood(Siege &siege); // 24
void attackRelayBoxBudget(Siege &siege); // 25
