// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QList>
#include <QtGlobal>

// Socket settings Qt does not offer (SocketOptionsPosix.cpp on Linux).
namespace SocketOptions {
// Asks for a receive buffer of `bytes` on the socket, beyond the system's ceiling where the
// process may do so, else up to that ceiling. A refusal leaves the buffer as it was.
void enlargeReceiveBuffer(qintptr descriptor, int bytes);

// Opens a socket that no child process inherits; -1 when it cannot.
qintptr openCloseOnExec(int family, int type, int protocol);
// Keeps a descriptor that somebody else opened from child processes.
void setCloseOnExec(qintptr descriptor);
// Keeps every local (AF_UNIX) socket of the process above standard error from child
// processes, for the socket pairs a library opens without saying so.
void closeOnExecLocalSockets();
bool isLocalSocket(qintptr descriptor);

// The index of the interface that a join of the IPv4 group `group` (host order) names no
// interface for goes to: the one the route to the group leaves by, as the kernel picks it.
// 0 when there is no such route or the kernel cannot be asked.
int groupRouteInterface(quint32 group);

// Joins the IPv4 group `group` (host order) on the interface the route to it takes, as a join
// at start does; a membership the socket still holds there counts as joined. `joinedOn` holds
// the index of each interface the socket joined the group on. The kernel keeps a membership
// whose interface is gone, and a socket may hold only net.ipv4.igmp_max_memberships of them
// (20 by default): those are dropped first, and the index of this join is added.
Result<> joinGroupAgain(qintptr descriptor, quint32 group, QList<int> &joinedOn);

// What the kernel has received on a TCP connection, every byte of it whether read or not;
// -1 for anything that is not a TCP socket.
qint64 tcpBytesReceived(qintptr descriptor);
} // namespace SocketOptions
