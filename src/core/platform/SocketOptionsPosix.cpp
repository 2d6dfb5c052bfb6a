// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/SocketOptions.h"

#include <sys/socket.h>

namespace SocketOptions {

void enlargeReceiveBuffer(qintptr descriptor, int bytes)
{
    if (descriptor < 0)
        return;
    const int fd = static_cast<int>(descriptor);
    // SO_RCVBUFFORCE passes net.core.rmem_max but needs CAP_NET_ADMIN; without it the plain
    // option is capped at rmem_max, which is still more than the default.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

} // namespace SocketOptions
