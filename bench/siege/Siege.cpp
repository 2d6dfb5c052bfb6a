// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Siege.h"

#include "Files.h"
#include "Pacing.h"
#include "RemoteCall.h"
#include "Sockets.h"
#include "Traffic.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

SiegeOptions SiegeOptions::parse(int argc, char *argv[])
{
    SiegeOptions options;
    const std::map<std::string, std::string *> fields = {
        {"--program", &options.program},
        {"--tap", &options.tap},
        {"--reflector", &options.reflector},
        {"--netns", &options.netns},
        {"--work", &options.work},
        {"--bus", &options.bus},
        {"--group", &options.group},
        {"--play-marker", &options.playMarker},
        {"--program-address", &options.programAddress},
        {"--driver-address", &options.driverAddress},
        {"--backup-address", &options.backupAddress},
        {"--victim-address", &options.victimAddress},
    };
    const auto usage = [argv] {
        std::fprintf(stderr,
            "usage: %s --program P --tap P --reflector P --netns P --work D --bus ADDRESS --group ADDRESS "
            "--play-marker F --program-address A --driver-address A --backup-address A --victim-address A "
            "[--quick] [--only N[,M...]]\n(run through scripts/siege.sh)\n",
            argv[0]);
        std::exit(2);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--quick") {
            options.quick = true;
        } else if (name == "--only" && i + 1 < argc) {
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) {
                const int number = std::atoi(item.c_str());
                if (number < 1 || number > 99)
                    usage();
                options.only.insert(number);
            }
        } else if (const auto field = fields.find(name); field != fields.end() && i + 1 < argc) {
            *field->second = argv[++i];
        } else {
            usage();
        }
    }
    for (const auto &[name, value] : fields) {
        if (value->empty()) {
            std::fprintf(stderr, "%s: %s is missing\n", argv[0], name.c_str());
            usage();
        }
    }
    return options;
}

void Report::begin(const std::string &title)
{
    m_title = title;
    m_headed = false;
    std::printf("\n== %s\n", title.c_str());
    std::fflush(stdout);
}

void Report::note(const std::string &text)
{
    std::printf("   %s\n", text.c_str());
    std::fflush(stdout);
}

void Report::row(const std::string &figure, const std::string &measured, const std::string &target,
    std::optional<bool> pass, const std::string &reflector)
{
    if (!m_headed) {
        std::printf("   %-40s %-26s %-18s %-14s %s\n", "figure", "measured", "target", "reflector", "verdict");
        m_headed = true;
    }
    const char *verdict = !pass ? "info" : *pass ? "PASS" : "FAIL";
    std::printf("   %-40s %-26s %-18s %-14s %s\n", figure.c_str(), measured.c_str(), target.c_str(), reflector.c_str(),
        verdict);
    std::fflush(stdout);
    if (pass && *pass)
        ++m_passed;
    else if (pass)
        m_failed.push_back(m_title.substr(0, m_title.find(' ')) + " " + figure);
}

int Report::summary() const
{
    std::printf("\n== summary: %d figures met their target, %zu did not\n", m_passed, m_failed.size());
    for (const std::string &failed : m_failed)
        std::printf("   FAIL %s\n", failed.c_str());
    std::fflush(stdout);
    return m_failed.empty() ? 0 : 1;
}

Program::Program(const Siege &siege, const std::string &name, const Launch &launch)
    : m_siege(siege), m_launch(launch), m_dir(siege.options.work + "/" + name)
{
    fs::remove_all(m_dir);
    fs::create_directories(m_dir + "/home/.config/Brenvale");
    fs::create_directories(m_dir + "/home/Documents");
    fs::create_directories(logs());
    fs::create_directories(m_dir + "/run");
    fs::permissions(m_dir + "/run", fs::perms::owner_all);
    writeFile(prefsFile(), standardPrefs());
}

Program::~Program()
{
    terminate(3000);
}

std::string Program::standardPrefs() const
{
    const SiegeOptions &o = m_siege.options;
    return "{\"IPAddr\":\"" + o.driverAddress + "\",\"LogPath\":\"" + logs() + "\",\"VTid\":\"1\",\"chrWorksIP\":\""
        + o.driverAddress + "\",\"chrWorksIPBup\":\"" + o.backupAddress
        + "\",\"motion1Name\":\"motion1\",\"motion2Name\":\"motion2\",\"tslEnable\":"
        + (m_launch.tslEnable ? "true" : "false") + ",\"tslPlay\":" + (m_launch.tslPlay ? "true" : "false") + "}\n";
}

std::vector<std::pair<std::string, std::string>> Program::environment(const std::string &tapFile, int dismissMs) const
{
    const std::string home = m_dir + "/home";
    std::vector<std::pair<std::string, std::string>> shown {{"QT_QPA_PLATFORM", "offscreen"}};
    if (!m_launch.display.empty())
        shown = {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", m_launch.display}};
    if (!m_launch.pathFirst.empty()) {
        const char *path = std::getenv("PATH");
        shown.emplace_back("PATH", m_launch.pathFirst + ":" + (path ? path : "/usr/bin:/bin"));
    }
    std::vector<std::pair<std::string, std::string>> environment {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_RUNTIME_DIR", m_dir + "/run"},
        {"DBUS_SESSION_BUS_ADDRESS", m_siege.options.bus},
        {"LD_PRELOAD", m_siege.options.tap},
        {"BRENVALE_SIEGE_TAP", tapFile},
        {"BRENVALE_SIEGE_TAP_ROWS", m_launch.tapRows ? "1" : "0"},
        {"BRENVALE_SIEGE_TAP_PAINTS", m_launch.tapPaints ? "1" : "0"},
        {"BRENVALE_SIEGE_DISMISS_MS", std::to_string(dismissMs)},
    };
    environment.insert(environment.end(), shown.begin(), shown.end());
    return environment;
}

void Program::start(const std::string &output)
{
    // sh passes an ignored SIGHUP on through its exec, as nohup does.
    const std::vector<std::string> argv = m_launch.hangUpIgnored
        ? std::vector<std::string> {"/bin/sh", "-c", "trap '' HUP; exec \"$0\"", m_siege.options.program}
        : std::vector<std::string> {m_siege.options.program};
    m_child = std::make_unique<ChildProcess>(m_siege.options.netns, argv,
        environment(m_dir + "/tap.log", m_launch.dismissMs), output.empty() ? outputFile() : output,
        m_launch.confinement);
    m_stopGuard = false;
    m_guard = std::thread([this] { guard(); });
}

std::unique_ptr<ChildProcess> Program::startAnother(const std::string &name, int dismissMs) const
{
    return std::make_unique<ChildProcess>(m_siege.options.netns, std::vector<std::string> {m_siege.options.program},
        environment(m_dir + "/" + name + "-tap.log", dismissMs), m_dir + "/" + name + ".log");
}

void Program::guard()
{
    int turn = 0;
    while (!m_stopGuard) {
        const ChildProcess::Usage usage = m_child->usage();
        if (usage.peakResidentKb > m_peakKb)
            m_peakKb = usage.peakResidentKb;
        const bool memory = usage.residentKb > kMemoryGuardMb * 1024;
        const bool disk = ++turn % 5 == 0 && dailyLogBytes() > kDiskGuardMb * 1024 * 1024;
        if (memory || disk) {
            m_guardHit = memory ? 1 : 2;
            kill(m_child->pid(), SIGKILL);
            return;
        }
        Pacing::sleepFor(100'000'000);
    }
}

bool Program::waitOpened(int timeoutMs) const
{
    return Files::waitForText(logs(), "Trigger Control Opened", timeoutMs).has_value();
}

std::optional<std::int64_t> Program::waitRemote(int timeoutMs) const
{
    RemoteCall remote(m_siege.options.bus);
    const std::int64_t deadline = Pacing::nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (Pacing::nowNs() < deadline) {
        if (remote.serviceAvailable())
            return Pacing::nowNs();
        Pacing::sleepFor(10'000'000);
    }
    return std::nullopt;
}

bool Program::enable() const
{
    const int fd = Traffic::udpFrom(m_siege.options.driverAddress);
    Traffic::send(fd, Sockets::address(m_siege.options.programAddress, 8900), Traffic::tsl(0, 1));
    close(fd);
    return Files::waitForText(logs(), "Tally Red On", 3000).has_value();
}

Program::Exit Program::terminate(int graceMs)
{
    Exit exit;
    if (!m_child)
        return exit;
    m_stopGuard = true;
    if (m_guard.joinable())
        m_guard.join();
    if (m_child->running()) {
        const std::int64_t before = Pacing::nowNs();
        const int status = m_child->stop(graceMs);
        exit.ms = double(Pacing::nowNs() - before) / 1e6;
        exit.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    return exit;
}

std::optional<int> Program::waitExit(int timeoutMs)
{
    if (!m_child)
        return std::nullopt;
    const std::int64_t deadline = Pacing::nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (m_child->running()) {
        if (Pacing::nowNs() >= deadline)
            return std::nullopt;
        Pacing::sleepFor(1'000'000);
    }
    m_stopGuard = true;
    if (m_guard.joinable())
        m_guard.join();
    return m_child->stop(0); // ended already: only its status
}

double Program::peakMb() const
{
    // A process that has ended has no figures left: the guard's last sample stands.
    const long now = m_child ? m_child->usage().peakResidentKb : 0;
    return double(std::max(m_peakKb.load(), now)) / 1024.0;
}

double Program::rssMb() const
{
    return m_child ? double(m_child->usage().residentKb) / 1024.0 : 0;
}

double Program::cpuSeconds() const
{
    return m_child ? m_child->usage().cpuSeconds : 0;
}

std::string Program::guardHit() const
{
    switch (m_guardHit.load()) {
    case 1:
        return "killed by the guard at " + std::to_string(kMemoryGuardMb) + " MB";
    case 2:
        return "killed by the guard at " + std::to_string(kDiskGuardMb) + " MB of daily log";
    default:
        return {};
    }
}

std::string Program::dailyLog() const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(logs(), error))
        names.push_back(entry.path());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string &name : names)
        text += readFile(name);
    return text;
}

long long Program::dailyLogBytes() const
{
    long long total = 0;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(logs(), error)) {
        if (entry.is_regular_file(error))
            total += static_cast<long long>(entry.file_size(error));
    }
    return total;
}

std::string Program::output() const
{
    return readFile(outputFile());
}

std::vector<Program::TapLine> Program::tap(const std::string &kind) const
{
    std::vector<TapLine> lines;
    std::istringstream text(readFile(m_dir + "/tap.log"));
    for (std::string line; std::getline(text, line);) {
        TapLine entry;
        std::istringstream fields(line);
        fields >> entry.at >> entry.kind;
        if (entry.kind != kind)
            continue;
        std::getline(fields >> std::ws, entry.text);
        lines.push_back(entry);
    }
    return lines;
}

void guardNote(Siege &siege, const Program &program)
{
    if (!program.guardHit().empty())
        siege.report.note("the program was " + program.guardHit());
}

std::string exitText(const Program::Exit &exit, int graceMs)
{
    return exit.killed ? "> " + std::to_string(graceMs) + " ms (killed)" : fixed(exit.ms) + " ms";
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string msText(std::int64_t ns)
{
    return fixed(double(ns) / 1e6) + " ms";
}

std::string mbText(double mb)
{
    return fixed(mb) + " MB";
}

void sleepMs(int ms)
{
    Pacing::sleepFor(std::int64_t(ms) * 1'000'000);
}

std::size_t countOf(const std::string &text, const std::string &needle)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

int procEntries(int pid, const std::string &folder)
{
    DIR *listing = opendir(("/proc/" + std::to_string(pid) + "/" + folder).c_str());
    if (!listing)
        return 0;
    int count = 0;
    while (const dirent *entry = readdir(listing))
        count += entry->d_name[0] != '.';
    closedir(listing);
    return count;
}

std::size_t longestLine(const std::string &log)
{
    std::size_t longest = 0;
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
        longest = std::max(longest, end - at);
    return longest;
}

std::string dailyLogName(std::time_t when)
{
    std::tm local {};
    localtime_r(&when, &local);
    char name[64];
    std::strftime(name, sizeof name, "OnTheAirVideo Log %Y-%m-%d.txt", &local);
    return name;
}

std::string readFile(const std::string &path)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}
