// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Traffic.h"

#include "Pacing.h"
#include "RemoteCall.h"
#include "Siege.h"
#include "Sockets.h"
#include "Stats.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace Traffic {
int udpFrom(const std::string &localAddress)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in local = Sockets::address(localAddress, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        throw std::runtime_error("cannot bind a sender to " + localAddress + ": " + std::strerror(errno));
    const unsigned char hops = 1;
    const unsigned char loop = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local.sin_addr, sizeof local.sin_addr);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    const int buffer = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
    return fd;
}

void send(int fd, const sockaddr_in &to, const std::string &payload)
{
    sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
}

std::string tsl(int display, int tally, const std::string &text)
{
    std::string packet(22, '\0');
    packet[0] = char(0x80 + display);
    const std::string padded = (text + std::string(16, ' ')).substr(0, 16);
    packet.replace(2, 16, padded);
    packet[20] = char(tally);
    return packet;
}

std::string peerMessage(std::int32_t command, const std::string &data)
{
    std::string message;
    const auto put = [&message](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            message.push_back(char((value >> shift) & 0xFF));
    };
    put(std::uint32_t(8 + data.size()));
    put(std::uint32_t(command));
    return message + data;
}

namespace {
// How many code points of `bytes`, read as UTF-8, `counted` takes (a byte that is no part of a
// valid sequence is read as the Latin-1 character of its value).
template<typename Counted> std::size_t codePointCount(const std::string &bytes, Counted counted)
{
    std::size_t count = 0;
    const auto byte = [&bytes](std::size_t i) { return i < bytes.size() ? std::uint8_t(bytes[i]) : 0; };
    const auto continuation = [&byte](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < bytes.size();) {
        const std::uint8_t b = byte(i);
        std::uint32_t code = b;
        std::size_t length = 1;
        if (b >= 0xC2 && b <= 0xDF && continuation(i + 1)) {
            code = (b & 0x1Fu) << 6 | (byte(i + 1) & 0x3Fu);
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
            code = (b & 0x0Fu) << 12 | (byte(i + 1) & 0x3Fu) << 6 | (byte(i + 2) & 0x3Fu);
            length = 3;
        } else if (b >= 0xF0 && b <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            code = (b & 0x07u) << 18 | (byte(i + 1) & 0x3Fu) << 12 | (byte(i + 2) & 0x3Fu) << 6 | (byte(i + 3) & 0x3Fu);
            length = 4;
        }
        if (counted(code))
            ++count;
        i += length;
    }
    return count;
}

// Unicode 15's general category Cf.
bool isFormatCharacter(std::uint32_t code)
{
    static constexpr std::pair<std::uint32_t, std::uint32_t> ranges[]
        = {{0x00AD, 0x00AD}, {0x0600, 0x0605}, {0x061C, 0x061C}, {0x06DD, 0x06DD}, {0x070F, 0x070F}, {0x0890, 0x0891},
            {0x08E2, 0x08E2}, {0x180E, 0x180E}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x2066, 0x206F},
            {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
            {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}};
    return std::any_of(std::begin(ranges), std::end(ranges),
        [code](const auto &range) { return code >= range.first && code <= range.second; });
}
} // namespace

std::size_t lineBreakerCount(const std::string &bytes)
{
    return codePointCount(
        bytes, [](std::uint32_t code) { return (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029; });
}

std::size_t formatCharacterCount(const std::string &bytes)
{
    return codePointCount(bytes, isFormatCharacter);
}

std::string lengthAndHash(const std::string &bytes)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(hash));
    return std::to_string(bytes.size()) + " " + hex;
}

std::string peerBoxText(const std::string &asciiData)
{
    constexpr std::size_t shown = 1000;
    if (asciiData.size() <= shown)
        return asciiData;
    return asciiData.substr(0, shown) + " [cut " + std::to_string(asciiData.size() - shown) + " bytes]";
}
} // namespace Traffic

Flood::Flood(
    const std::string &from, const sockaddr_in &to, std::vector<std::string> payloads, double rate, double seconds)
{
    const int fd = Traffic::udpFrom(from);
    m_thread = std::thread([this, fd, to, payloads = std::move(payloads), rate, seconds] {
        Pacing::tightenTimerSlack();
        const double period = 1e9 / rate;
        const auto limit = std::size_t(rate * seconds);
        const std::int64_t start = Pacing::nowNs();
        std::size_t n = 0;
        for (; n < limit && !m_stop.load(std::memory_order_relaxed); ++n) {
            Pacing::sleepUntil(start + std::int64_t(double(n) * period));
            Traffic::send(fd, to, payloads[n % payloads.size()]);
            m_sent.store(n + 1, std::memory_order_relaxed);
        }
        m_elapsedNs = Pacing::nowNs() - start;
        close(fd);
    });
}

Flood::~Flood()
{
    stop();
}

void Flood::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::string Flood::describe() const
{
    const double seconds = double(m_elapsedNs.load()) / 1e9;
    return std::to_string(m_sent.load()) + " sent at " + fixed(seconds > 0 ? double(m_sent.load()) / seconds : 0, 0)
        + "/s";
}

SpoofSender::SpoofSender() : m_fd(socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW))
{
    if (m_fd < 0)
        throw std::runtime_error(std::string("raw socket: ") + std::strerror(errno));
    const int buffer = 8 << 20;
    setsockopt(m_fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer);
}

SpoofSender::~SpoofSender()
{
    close(m_fd);
}

void SpoofSender::send(
    const std::string &from, std::uint16_t fromPort, const sockaddr_in &to, const std::string &payload)
{
    // The UDP datagram (checksum 0: none), then IP fragments of at most 1480 bytes of it each.
    udphdr udp {};
    udp.uh_sport = htons(fromPort);
    udp.uh_dport = to.sin_port;
    udp.uh_ulen = htons(std::uint16_t(sizeof udp + payload.size()));
    std::string datagram(reinterpret_cast<const char *>(&udp), sizeof udp);
    datagram += payload;
    const sockaddr_in source = Sockets::address(from, 0);
    m_id = std::uint16_t(m_id + 1 == 0 ? 1 : m_id + 1);
    constexpr std::size_t kFragment = 1480;
    for (std::size_t offset = 0; offset < datagram.size(); offset += kFragment) {
        const std::size_t length = std::min(kFragment, datagram.size() - offset);
        ip header {};
        header.ip_v = 4;
        header.ip_hl = 5;
        header.ip_len = htons(std::uint16_t(sizeof header + length));
        header.ip_id = htons(m_id);
        header.ip_off = htons(std::uint16_t(offset / 8 | (offset + length < datagram.size() ? IP_MF : 0)));
        header.ip_ttl = 64;
        header.ip_p = IPPROTO_UDP;
        header.ip_src = source.sin_addr;
        header.ip_dst = to.sin_addr;
        std::string packet(reinterpret_cast<const char *>(&header), sizeof header);
        packet.append(datagram, offset, length);
        sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
}

RemoteSampler::RemoteSampler(const std::string &bus, const std::string &eventClass, const std::string &eventID)
    : m_bus(bus)
{
    m_thread = std::thread([this, eventClass, eventID] {
        RemoteCall remote(m_bus);
        for (std::int64_t slot = Pacing::nowNs(); !m_stop; slot += 100'000'000) {
            const std::int64_t before = Pacing::nowNs();
            const bool answered = remote.handleEvent(eventClass, eventID, kTimeoutMs);
            m_latencies.push_back(Pacing::nowNs() - before);
            m_failed += answered ? 0 : 1;
            Pacing::sleepUntil(std::max(slot + 100'000'000, Pacing::nowNs()));
        }
    });
}

RemoteSampler::~RemoteSampler()
{
    stop();
}

void RemoteSampler::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

double RemoteSampler::p99Ms() const
{
    return m_latencies.empty() ? kTimeoutMs : Stats::percentileMs(m_latencies, 99);
}

double RemoteSampler::maxMs() const
{
    return m_latencies.empty() ? kTimeoutMs : Stats::percentileMs(m_latencies, 100);
}

std::string RemoteSampler::p99Text() const
{
    const double p99 = p99Ms();
    return p99 >= kTimeoutMs ? ">= " + std::to_string(kTimeoutMs) + " ms (unanswered)" : fixed(p99) + " ms";
}

std::string RemoteSampler::describe() const
{
    return std::to_string(m_latencies.size()) + " calls, " + std::to_string(m_failed) + " unanswered within "
        + std::to_string(kTimeoutMs) + " ms, max " + fixed(Stats::percentileMs(m_latencies, 100)) + " ms";
}
