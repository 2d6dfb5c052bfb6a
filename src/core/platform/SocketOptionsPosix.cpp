// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/SocketOptions.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/tcp.h> // the kernel's tcp_info, which counts bytes received
#include <netinet/in.h>
#include <sys/socket.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

qintptr openCloseOnExec(int family, int type, int protocol)
{
    return ::socket(family, type | SOCK_CLOEXEC, protocol);
}

void setCloseOnExec(qintptr descriptor)
{
    const int fd = static_cast<int>(descriptor);
    const int flags = ::fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC))
        ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

bool isLocalSocket(qintptr descriptor)
{
    int domain = 0;
    socklen_t length = sizeof domain;
    return ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0
        && domain == AF_UNIX;
}

void closeOnExecLocalSockets()
{
    DIR *folder = ::opendir("/proc/self/fd");
    if (!folder)
        return;
    while (const dirent *entry = ::readdir(folder)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd > 2 && fd != ::dirfd(folder) && isLocalSocket(fd))
            setCloseOnExec(fd);
    }
    ::closedir(folder);
}

Result<> joinGroupAgain(qintptr descriptor, quint32 group)
{
    ip_mreqn request {};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_address.s_addr = htonl(INADDR_ANY);
    request.imr_ifindex = 0;
    if (::setsockopt(static_cast<int>(descriptor), IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0
        || errno == EADDRINUSE)
        return {};
    return Result<>::failure(QString::fromLocal8Bit(std::strerror(errno)));
}

qint64 tcpBytesReceived(qintptr descriptor)
{
    tcp_info info {};
    socklen_t length = sizeof info;
    if (::getsockopt(static_cast<int>(descriptor), IPPROTO_TCP, TCP_INFO, &info, &length) != 0
        || length < socklen_t(offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received))
        return -1;
    return qint64(info.tcpi_bytes_received);
}

} // namespace SocketOptions
