// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The floor of the tally path: the least a program can do on the same sockets. It binds UDP 8900
// and joins 239.1.2.3 as the tally input does, binds 8083 and joins the peer group as the peer
// socket does, and for every tally datagram of display address 0 (header 0x80, at least 21
// bytes) sends the 15-byte "Enabled" message (command 21) to the group.
//
// Usage: brenvale-bench-reflector <group address>
// Runs until SIGTERM or SIGINT.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static volatile sig_atomic_t s_stop = 0;

static void onSignal(int sig)
{
    (void)sig;
    s_stop = 1;
}

static int boundSocket(unsigned short port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    struct sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, (struct sockaddr *)&local, sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static int join(int fd, const char *group)
{
    struct ip_mreq request;
    memset(&request, 0, sizeof request);
    if (inet_pton(AF_INET, group, &request.imr_multiaddr) != 1)
        return -1;
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    return setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

int main(int argc, char *argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <group address>\n", argv[0]);
        return 2;
    }
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, NULL); // no SA_RESTART: the blocking read returns EINTR
    sigaction(SIGINT, &action, NULL);

    const int tally = boundSocket(8900);
    const int peer = boundSocket(8083);
    if (tally < 0 || peer < 0 || join(tally, "239.1.2.3") != 0 || join(peer, argv[1]) != 0) {
        perror("reflector: socket set-up");
        return 1;
    }
    const int loop = 1;
    const int hops = 255;
    setsockopt(peer, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    setsockopt(peer, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);

    struct sockaddr_in destination;
    memset(&destination, 0, sizeof destination);
    destination.sin_family = AF_INET;
    destination.sin_port = htons(8083);
    inet_pton(AF_INET, argv[1], &destination.sin_addr);
    static const unsigned char message[15] = {0, 0, 0, 15, 0, 0, 0, 21, 'E', 'n', 'a', 'b', 'l', 'e', 'd'};

    fprintf(stderr, "reflector ready\n");
    unsigned char buffer[2048];
    while (!s_stop) {
        const ssize_t length = recv(tally, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            perror("reflector: recv");
            return 1;
        }
        if (length < 21 || buffer[0] != 0x80)
            continue;
        sendto(peer, message, sizeof message, 0, (const struct sockaddr *)&destination, sizeof destination);
    }
    return 0;
}
