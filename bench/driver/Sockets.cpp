// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Sockets {
namespace {
[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

in_addr ipv4(const std::string &ip)
{
    in_addr result {};
    if (inet_pton(AF_INET, ip.c_str(), &result) != 1)
        throw std::runtime_error("not an IPv4 address: " + ip);
    return result;
}

int boundSocket(int type, std::uint16_t port)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fail("socket");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = address("0.0.0.0", port);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        fail("bind " + std::to_string(port));
    return fd;
}
} // namespace

sockaddr_in address(const std::string &ip, std::uint16_t port)
{
    sockaddr_in result {};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr = ipv4(ip);
    return result;
}

int multicastSender(const std::string &localAddress)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fail("socket");
    const in_addr local = ipv4(localAddress);
    const unsigned char hops = 1;
    const unsigned char loop = 0;
    if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) != 0
        || setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0
        || setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0)
        fail("multicast sender options");
    // Room for bursts when a paced sender catches up.
    const int buffer = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
    return fd;
}

int groupReceiver(const std::string &group, const std::string &localAddress, std::uint16_t port)
{
    const int fd = boundSocket(SOCK_DGRAM, port);
    ip_mreq request {};
    request.imr_multiaddr = ipv4(group);
    request.imr_interface = ipv4(localAddress);
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0)
        fail("join " + group);
    const int buffer = 32 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    return fd;
}

int udpListener(std::uint16_t port)
{
    return boundSocket(SOCK_DGRAM, port);
}

int tcpListener(std::uint16_t port)
{
    const int fd = boundSocket(SOCK_STREAM, port);
    if (listen(fd, 16) != 0)
        fail("listen");
    return fd;
}

std::array<std::uint8_t, 22> tallyPacket(std::uint8_t header, std::uint8_t tally)
{
    std::array<std::uint8_t, 22> packet {};
    packet[0] = header;
    packet[1] = 0;
    const char text[17] = "Bench           ";
    std::memcpy(&packet[2], text, 16);
    packet[18] = 0;
    packet[19] = 0;
    packet[20] = tally;
    packet[21] = 0;
    return packet;
}

int takeRequests(std::string &buffer)
{
    int complete = 0;
    for (;;) {
        const std::size_t headerEnd = buffer.find("\r\n\r\n");
        if (headerEnd == std::string::npos)
            return complete;
        std::size_t contentLength = 0;
        std::size_t lineStart = buffer.find("\r\n") + 2;
        while (lineStart < headerEnd) {
            const std::size_t lineEnd = buffer.find("\r\n", lineStart);
            const std::string line = buffer.substr(lineStart, lineEnd - lineStart);
            if (line.size() > 15 && strncasecmp(line.c_str(), "content-length:", 15) == 0)
                contentLength = std::strtoul(line.c_str() + 15, nullptr, 10);
            lineStart = lineEnd + 2;
        }
        const std::size_t total = headerEnd + 4 + contentLength;
        if (buffer.size() < total)
            return complete;
        buffer.erase(0, total);
        ++complete;
    }
}

long udpDrops(int pid, std::uint16_t port)
{
    std::ifstream table("/proc/" + std::to_string(pid) + "/net/udp");
    std::string line;
    std::getline(table, line); // heading
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote;
        fields >> slot >> local >> remote;
        if (local.size() < 5 || local.substr(local.size() - 5) != wanted)
            continue;
        std::string field;
        std::string last;
        while (fields >> field)
            last = field;
        return std::stol(last);
    }
    return -1;
}
} // namespace Sockets
