// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "HostileServer.h"

#include "Pacing.h"
#include "Sockets.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::int64_t kTrickleNs = 2'000'000'000;
const std::string kTrickleHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 15\r\n\r\n";
const std::string kTrickledBody = "{\"status\":\"ok\"}";

struct Connection
{
    int fd = -1;
    std::string received;
    bool answering = false;
    std::string pending; // still to go out before the endless filler
    std::size_t trickled = 0;
    std::int64_t nextByte = 0;
};
} // namespace

HostileServer::HostileServer(const std::string &address, Mode mode) : m_mode(mode)
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = Sockets::address(address, 5201);
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0
        || listen(m_listener, 64) != 0)
        throw std::runtime_error("cannot listen on " + address + ":5201: " + std::strerror(errno));
    m_thread = std::thread([this] { run(); });
}

HostileServer::~HostileServer()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
}

std::vector<std::int64_t> HostileServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void HostileServer::run()
{
    static const std::string filler(64 * 1024, 'x');
    std::vector<Connection> connections;
    const auto streams = [this] {
        return m_mode == Mode::EndlessBody || m_mode == Mode::EndlessHeader || m_mode == Mode::EndlessChunkExtension;
    };
    while (!m_stop) {
        std::vector<pollfd> fds {{m_listener, POLLIN, 0}};
        for (const Connection &c : connections)
            fds.push_back({c.fd, short(POLLIN | (c.answering && streams() ? POLLOUT : 0)), 0});
        poll(fds.data(), fds.size(), 20);
        const std::int64_t now = Pacing::nowNs();
        if (fds[0].revents & POLLIN) {
            for (int fd; (fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
                connections.emplace_back();
                connections.back().fd = fd;
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            Connection &c = connections[i - 1];
            const auto sendSome = [&](const std::string &bytes) {
                const ssize_t sent = ::send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0)
                    m_bytesSent += sent;
                return sent;
            };
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[16384];
                const ssize_t got = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                    close(c.fd);
                    c.fd = -1;
                    continue;
                }
                if (got > 0)
                    c.received.append(buffer, std::size_t(got));
                if (const int complete = Sockets::takeRequests(c.received); complete > 0) {
                    {
                        const std::lock_guard lock(m_mutex);
                        m_requests.insert(m_requests.end(), std::size_t(complete), now);
                    }
                    if (!c.answering) {
                        c.answering = true;
                        c.nextByte = now;
                        if (m_mode == Mode::Trickle)
                            sendSome(kTrickleHead);
                        if (m_mode == Mode::CutAfterStatus)
                            sendSome("HTTP/1.1 200 OK\r\n");
                        if (m_mode == Mode::CloseWithoutAnswer || m_mode == Mode::CutAfterStatus) {
                            close(c.fd);
                            c.fd = -1;
                            continue;
                        }
                        if (m_mode == Mode::EndlessBody)
                            c.pending = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                        "Connection: close\r\n\r\n";
                        else if (m_mode == Mode::EndlessHeader)
                            c.pending = "HTTP/1.1 200 OK\r\nX-Filler: ";
                        else if (m_mode == Mode::EndlessChunkExtension)
                            c.pending = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;";
                    }
                }
            }
            if (c.answering && streams() && (fds[i].revents & POLLOUT)) {
                const ssize_t sent = sendSome(c.pending.empty() ? filler : c.pending);
                if (sent > 0 && !c.pending.empty())
                    c.pending.erase(0, std::size_t(sent));
            }
            if (c.answering && m_mode == Mode::Trickle && now >= c.nextByte) {
                if (c.trickled == kTrickledBody.size() || sendSome(kTrickledBody.substr(c.trickled, 1)) < 0) {
                    close(c.fd);
                    c.fd = -1;
                    continue;
                }
                ++c.trickled;
                c.nextByte += kTrickleNs;
            }
        }
        std::erase_if(connections, [](const Connection &c) { return c.fd < 0; });
    }
    for (const Connection &c : connections)
        close(c.fd);
}
