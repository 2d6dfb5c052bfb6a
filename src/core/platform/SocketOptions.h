// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QtGlobal>

// Socket settings Qt does not offer (SocketOptionsPosix.cpp on Linux).
namespace SocketOptions {
// Asks for a receive buffer of `bytes` on the socket, beyond the system's ceiling where the
// process may do so, else up to that ceiling. A refusal leaves the buffer as it was.
void enlargeReceiveBuffer(qintptr descriptor, int bytes);
} // namespace SocketOptions
