// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <netinet/in.h>

// The driver's sockets, plain POSIX. Every function throws std::runtime_error on failure.
namespace Sockets {
sockaddr_in address(const std::string &ip, std::uint16_t port);
// A UDP sender whose multicast leaves through the interface holding `localAddress`, hop limit 1.
int multicastSender(const std::string &localAddress);
// A UDP socket bound to `port` on all addresses and joined to `group` on `localAddress`'s
// interface, with a receive buffer large enough that the driver itself never drops.
int groupReceiver(const std::string &group, const std::string &localAddress, std::uint16_t port);
int udpListener(std::uint16_t port);
int tcpListener(std::uint16_t port);
// A TSL UMD 4.0 tally datagram: header byte, control, 16 text bytes, checksum, VBC, tally, spare.
std::array<std::uint8_t, 22> tallyPacket(std::uint8_t header, std::uint8_t tally);
// Takes every complete HTTP request (headers and Content-Length body) off the front of `buffer`;
// returns how many.
int takeRequests(std::string &buffer);
// The receive-queue drops the kernel counted for a UDP socket on `port`, as /proc/<pid>/net/udp
// of a process in the socket's namespace shows them; -1 when none is found.
long udpDrops(int pid, std::uint16_t port);
} // namespace Sockets
