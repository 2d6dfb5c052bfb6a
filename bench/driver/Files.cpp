// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Files.h"

#include "Pacing.h"

#include <dirent.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace Files {
namespace {
bool folderHolds(const std::string &folder, const std::string &text)
{
    bool found = false;
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream file(folder + entry->d_name);
            const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            if (content.find(text) != std::string::npos)
                found = true;
        }
        closedir(dir);
    }
    return found;
}
} // namespace

void clearFolder(const std::string &folder)
{
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                unlink((folder + entry->d_name).c_str());
        }
        closedir(dir);
    }
}

std::optional<std::int64_t> waitForText(const std::string &folder, const std::string &text, int timeoutMs)
{
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE);
    const std::int64_t deadline = Pacing::nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    std::optional<std::int64_t> seen;
    while (!seen && Pacing::nowNs() < deadline) {
        if (folderHolds(folder, text)) {
            seen = Pacing::nowNs();
            break;
        }
        pollfd fd {watch, POLLIN, 0};
        if (poll(&fd, 1, 20) > 0) {
            const std::int64_t woke = Pacing::nowNs();
            char events[4096];
            while (read(watch, events, sizeof events) > 0) { }
            if (folderHolds(folder, text))
                seen = woke;
        }
    }
    close(watch);
    return seen;
}

bool waitForOutput(const std::string &file, const std::string &text, int timeoutMs)
{
    const std::int64_t deadline = Pacing::nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (Pacing::nowNs() < deadline) {
        std::ifstream in(file);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (content.find(text) != std::string::npos)
            return true;
        Pacing::sleepFor(10'000'000);
    }
    return false;
}
} // namespace Files
