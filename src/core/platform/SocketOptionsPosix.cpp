// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/SocketOptions.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/tcp.h> // the kernel's tcp_info, which counts bytes received
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

int groupRouteInterface(quint32 group)
{
    // Asked of the kernel as `ip route get` does; it answers before send() returns.
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return 0;
    struct
    {
        nlmsghdr header;
        rtmsg route;
        // Destination and user, one 32-bit value each.
        char attributes[2 * RTA_SPACE(sizeof(quint32))];
    } request {};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.route);
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    // The kernel's own lookup for a join is made for user 0, whoever joins; so is this one,
    // should rules route some users' traffic elsewhere.
    const quint32 values[] = {htonl(group), 0};
    const unsigned short types[] = {RTA_DST, RTA_UID};
    for (int i = 0; i < 2; ++i) {
        auto *attribute = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(&request) + request.header.nlmsg_len);
        attribute->rta_type = types[i];
        attribute->rta_len = RTA_LENGTH(sizeof(quint32));
        std::memcpy(RTA_DATA(attribute), &values[i], sizeof(quint32));
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_SPACE(sizeof(quint32));
    }
    int index = 0;
    alignas(nlmsghdr) char answer[4096];
    if (::send(fd, &request, request.header.nlmsg_len, 0) == ssize_t(request.header.nlmsg_len)) {
        const ssize_t length = ::recv(fd, answer, sizeof answer, MSG_DONTWAIT);
        const auto *message = reinterpret_cast<const nlmsghdr *>(answer);
        if (length > 0 && NLMSG_OK(message, unsigned(length)) && message->nlmsg_type == RTM_NEWROUTE
            && message->nlmsg_len >= NLMSG_LENGTH(sizeof(rtmsg))) {
            int left = int(RTM_PAYLOAD(message));
            for (auto *attribute = RTM_RTA(NLMSG_DATA(message)); RTA_OK(attribute, left);
                 attribute = RTA_NEXT(attribute, left)) {
                if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int))
                    std::memcpy(&index, RTA_DATA(attribute), sizeof(int));
            }
        }
    }
    ::close(fd);
    return index;
}

namespace {
ip_mreqn membership(quint32 group, int index)
{
    ip_mreqn request {};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_address.s_addr = htonl(INADDR_ANY);
    request.imr_ifindex = index;
    return request;
}
} // namespace

Result<> joinGroupAgain(qintptr descriptor, quint32 group, QList<int> &joinedOn)
{
    const int fd = static_cast<int>(descriptor);
    for (auto joined = joinedOn.begin(); joined != joinedOn.end();) {
        char name[IF_NAMESIZE];
        // ENXIO: no interface has that index now. Anything else (no descriptor left to ask
        // with) says nothing about it.
        if (::if_indextoname(unsigned(*joined), name) || errno != ENXIO) {
            ++joined;
            continue;
        }
        // Dropped by its index, which the kernel still knows the membership by.
        const ip_mreqn request = membership(group, *joined);
        ::setsockopt(fd, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request);
        joined = joinedOn.erase(joined);
    }
    // The interface a join naming none would take, named, so that we know which it was. With
    // no route, none is named and the kernel refuses as it would.
    const int index = groupRouteInterface(group);
    const ip_mreqn request = membership(group, index);
    if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0 && errno != EADDRINUSE)
        return Result<>::failure(QString::fromLocal8Bit(std::strerror(errno)));
    const int joined = index ? index : groupRouteInterface(group);
    if (joined && !joinedOn.contains(joined))
        joinedOn.append(joined);
    return {};
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
