// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "ChildProcess.h"

#include "Pacing.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

ChildProcess::ChildProcess(const std::string &netnsPath, const std::vector<std::string> &argv,
    const std::vector<std::pair<std::string, std::string>> &environment, const std::string &outputFile,
    const Confinement &confinement)
{
    // Everything the child needs is prepared before the fork: it only calls async-signal-safe
    // functions and setenv.
    std::vector<char *> arguments;
    for (const std::string &argument : argv)
        arguments.push_back(const_cast<char *>(argument.c_str()));
    arguments.push_back(nullptr);
    const int netns = netnsPath.empty() ? -1 : open(netnsPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (!netnsPath.empty() && netns < 0)
        throw std::runtime_error("cannot open " + netnsPath + ": " + std::strerror(errno));
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);

    m_startedAt = Pacing::nowNs();
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (m_pid == 0) {
        if (netns >= 0 && setns(netns, CLONE_NEWNET) != 0)
            _exit(126);
        // A private copy of the mounts, so that the bind reaches no one else.
        if (!confinement.resolvConf.empty()
            && (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                || mount(confinement.resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0))
            _exit(126);
        const rlimit files {rlim_t(confinement.openFiles), rlim_t(confinement.openFiles)};
        if (confinement.openFiles > 0 && setrlimit(RLIMIT_NOFILE, &files) != 0)
            _exit(126);
        if (confinement.user != 0
            && (setgroups(0, nullptr) != 0 || setgid(confinement.group) != 0 || setuid(confinement.user) != 0))
            _exit(126);
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        for (const auto &[name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    if (netns >= 0)
        close(netns);
    if (output >= 0)
        close(output);
}

ChildProcess::~ChildProcess()
{
    stop(3000);
}

bool ChildProcess::running()
{
    if (m_reaped)
        return false;
    if (waitpid(m_pid, &m_status, WNOHANG) == m_pid)
        m_reaped = true;
    return !m_reaped;
}

int ChildProcess::stop(int graceMs)
{
    if (!running())
        return m_status;
    kill(m_pid, SIGTERM);
    const std::int64_t deadline = Pacing::nowNs() + std::int64_t(graceMs) * 1'000'000;
    while (Pacing::nowNs() < deadline) {
        if (!running())
            return m_status;
        Pacing::sleepFor(5'000'000);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &m_status, 0);
    m_reaped = true;
    return m_status;
}

ChildProcess::Usage ChildProcess::usage() const
{
    Usage result;
    const std::string base = "/proc/" + std::to_string(m_pid);
    {
        std::ifstream stat(base + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the command name, which ends at the last ')': state is field 3,
        // utime field 14, stime field 15.
        const std::size_t end = text.rfind(')');
        if (end != std::string::npos) {
            std::istringstream fields(text.substr(end + 2));
            std::string field;
            unsigned long long utime = 0;
            unsigned long long stime = 0;
            for (int number = 3; fields >> field; ++number) {
                if (number == 14)
                    utime = std::stoull(field);
                if (number == 15) {
                    stime = std::stoull(field);
                    break;
                }
            }
            result.cpuSeconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
        }
    }
    // The scheduler's run time of every thread, in nanoseconds, is finer than the tick counts.
    if (DIR *tasks = opendir((base + "/task").c_str())) {
        unsigned long long runNs = 0;
        bool any = false;
        while (const dirent *entry = readdir(tasks)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream schedstat(base + "/task/" + entry->d_name + "/schedstat");
            unsigned long long ns = 0;
            if (schedstat >> ns) {
                runNs += ns;
                any = true;
            }
        }
        closedir(tasks);
        if (any)
            result.cpuSeconds = double(runNs) / 1e9;
    }
    std::ifstream status(base + "/status");
    std::string line;
    while (std::getline(status, line)) {
        const auto valueOf = [&line] { return std::atol(line.c_str() + line.find(':') + 1); };
        if (line.rfind("VmHWM:", 0) == 0)
            result.peakResidentKb = valueOf();
        else if (line.rfind("VmRSS:", 0) == 0)
            result.residentKb = valueOf();
        else if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            result.contextSwitches += valueOf();
    }
    return result;
}
