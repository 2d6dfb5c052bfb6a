// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>

// What the attacks send, and the remote-control sampler that times the program meanwhile.
namespace Traffic {
// A UDP socket bound to `localAddress` (any port): unicast and group datagrams leave from that
// address, group ones with hop limit 1 and not looped back to this host.
int udpFrom(const std::string &localAddress);
void send(int fd, const sockaddr_in &to, const std::string &payload);
// A TSL UMD 4.0 tally for `display` (VT ID display + 1) with a 16-byte display text.
std::string tsl(int display, int tally, const std::string &text = "Siege");
// A peer-group message: big-endian length (header included), big-endian command, data.
std::string peerMessage(std::int32_t command, const std::string &data);
// How many code points of U+0080-U+009F, U+2028 and U+2029 `bytes` holds, read as UTF-8 (a byte
// that is no part of a valid sequence counts as the Latin-1 character of its value).
std::size_t lineBreakerCount(const std::string &bytes);
// How many format characters (Unicode category Cf: direction marks, overrides and isolates,
// zero-width characters, the soft hyphen, the byte-order mark...) `bytes` holds, read alike.
std::size_t formatCharacterCount(const std::string &bytes);
// As the tap reports a box's text: "<bytes> <FNV-1a hash in hexadecimal>".
std::string lengthAndHash(const std::string &bytes);
// What a box shows of a peer message whose data is ASCII: at most its first 1,000 characters,
// then " [cut N bytes]".
std::string peerBoxText(const std::string &asciiData);
} // namespace Traffic

// Sends datagrams to one destination at a steady rate from a thread of its own, cycling through
// `payloads`, until stop() or until `seconds` have passed.
class Flood
{
public:
    Flood(
        const std::string &from, const sockaddr_in &to, std::vector<std::string> payloads, double rate, double seconds);
    ~Flood();
    Flood(const Flood &) = delete;
    Flood &operator=(const Flood &) = delete;

    void stop();
    std::size_t sent() const { return m_sent; }
    // "<n> sent at <rate>/s"
    std::string describe() const;

private:
    std::atomic<bool> m_stop {false};
    std::atomic<std::size_t> m_sent {0};
    std::atomic<std::int64_t> m_elapsedNs {0};
    std::thread m_thread;
};

// UDP datagrams with any source address, through a raw socket. The kernel does not fragment
// what a raw socket hands it, so a datagram larger than one Ethernet frame is cut into IP
// fragments here.
class SpoofSender
{
public:
    SpoofSender();
    ~SpoofSender();
    SpoofSender(const SpoofSender &) = delete;
    SpoofSender &operator=(const SpoofSender &) = delete;

    void send(const std::string &from, std::uint16_t fromPort, const sockaddr_in &to, const std::string &payload);

private:
    int m_fd = -1;
    std::uint16_t m_id = 1;
};

// Calls HandleEvent (by default "Bvrq", "Rel0", a key command) every 100 ms from a thread of its
// own and keeps each call's round trip; a call not answered within the timeout counts as the
// timeout.
class RemoteSampler
{
public:
    static constexpr int kTimeoutMs = 3000;

    explicit RemoteSampler(
        const std::string &bus, const std::string &eventClass = "Bvrq", const std::string &eventID = "Rel0");
    ~RemoteSampler();
    RemoteSampler(const RemoteSampler &) = delete;
    RemoteSampler &operator=(const RemoteSampler &) = delete;

    // Stops and waits for the call under way.
    void stop();
    // The timeout when no call was made.
    double p99Ms() const;
    double maxMs() const;
    // The p99, or ">= <timeout> ms (unanswered)".
    std::string p99Text() const;
    // "<n> calls, <k> unanswered, max <m> ms"
    std::string describe() const;

private:
    std::string m_bus;
    std::atomic<bool> m_stop {false};
    std::vector<std::int64_t> m_latencies;
    std::size_t m_failed = 0;
    std::thread m_thread;
};
