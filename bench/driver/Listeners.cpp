// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Listeners.h"

#include "Pacing.h"
#include "Sockets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Room for every message of a whole bench run; stamps are never moved while the run goes on.
constexpr std::size_t kEnabledCapacity = 8'000'000;

void setReceiveTimeout(int fd, int milliseconds)
{
    timeval timeout {};
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

struct HttpConnection
{
    int fd = -1;
    bool isMain = false;
    std::string buffer;
};

} // namespace

Listeners::Listeners(const std::string &group, const std::string &localAddress, const std::string &mainServerAddress,
    const std::string &relayAnswer)
    : m_mainServerAddress(mainServerAddress), m_relayAnswer(relayAnswer)
{
    m_enabled.resize(kEnabledCapacity);
    m_groupFd = Sockets::groupReceiver(group, localAddress, 8083);
    m_relayFd = Sockets::udpListener(5000);
    m_httpFd = Sockets::tcpListener(5201);
    setReceiveTimeout(m_groupFd, 100);
    m_groupThread = std::thread([this] { runGroup(); });
    m_keyThread = std::thread([this] { runKeys(); });
}

Listeners::~Listeners()
{
    m_stop = true;
    m_groupThread.join();
    m_keyThread.join();
    close(m_groupFd);
    close(m_relayFd);
    close(m_httpFd);
}

std::size_t Listeners::enabledCount() const
{
    return m_enabledCount.load(std::memory_order_acquire);
}

std::int64_t Listeners::enabledAt(std::size_t index) const
{
    return m_enabled[index];
}

std::vector<Listeners::KeyEvent> Listeners::keyEventsSince(std::int64_t since) const
{
    const std::lock_guard lock(m_keyMutex);
    std::vector<KeyEvent> result;
    std::copy_if(m_keyEvents.begin(), m_keyEvents.end(), std::back_inserter(result),
        [since](const KeyEvent &event) { return event.at >= since; });
    return result;
}

void Listeners::runGroup()
{
    unsigned char buffer[2048];
    while (!m_stop) {
        const ssize_t length = recv(m_groupFd, buffer, sizeof buffer, 0);
        const std::int64_t at = Pacing::nowNs();
        // Only the "Enabled" message counts: 15 bytes, length field 15, command 21.
        if (length != 15 || buffer[3] != 15 || buffer[7] != 21 || std::memcmp(buffer + 8, "Enabled", 7) != 0)
            continue;
        const std::size_t index = m_enabledCount.load(std::memory_order_relaxed);
        if (index >= m_enabled.size())
            continue;
        m_enabled[index] = at;
        m_enabledCount.store(index + 1, std::memory_order_release);
    }
}

void Listeners::runKeys()
{
    std::vector<HttpConnection> connections;
    while (!m_stop) {
        std::vector<pollfd> fds;
        fds.push_back({m_relayFd, POLLIN, 0});
        fds.push_back({m_httpFd, POLLIN, 0});
        for (const HttpConnection &connection : connections)
            fds.push_back({connection.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        const std::int64_t at = Pacing::nowNs();

        if (fds[0].revents & POLLIN) {
            char buffer[512];
            sockaddr_in from {};
            socklen_t fromLength = sizeof from;
            const ssize_t length
                = recvfrom(m_relayFd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromLength);
            if (length > 0) {
                {
                    const std::lock_guard lock(m_keyMutex);
                    m_keyEvents.push_back({KeyKind::Relay, at});
                }
                sendto(m_relayFd, m_relayAnswer.data(), m_relayAnswer.size(), 0,
                    reinterpret_cast<const sockaddr *>(&from), fromLength);
            }
        }
        if (fds[1].revents & POLLIN) {
            sockaddr_in local {};
            socklen_t localLength = sizeof local;
            const int fd = accept4(m_httpFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength);
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
                connections.push_back({fd, m_mainServerAddress == text, {}});
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            HttpConnection &connection = connections[i - 2];
            char buffer[8192];
            const ssize_t length = recv(connection.fd, buffer, sizeof buffer, 0);
            if (length <= 0) {
                close(connection.fd);
                connection.fd = -1;
                continue;
            }
            connection.buffer.append(buffer, static_cast<std::size_t>(length));
            const int complete = Sockets::takeRequests(connection.buffer);
            for (int n = 0; n < complete; ++n) {
                {
                    const std::lock_guard lock(m_keyMutex);
                    m_keyEvents.push_back({connection.isMain ? KeyKind::PostMain : KeyKind::PostBackup, at});
                }
                static const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: keep-alive\r\n\r\n";
                send(connection.fd, answer, sizeof answer - 1, MSG_NOSIGNAL);
            }
        }
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                              [](const HttpConnection &connection) { return connection.fd < 0; }),
            connections.end());
    }
    for (const HttpConnection &connection : connections)
        close(connection.fd);
}
