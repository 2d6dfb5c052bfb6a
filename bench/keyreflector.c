// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The floor of the key path: the least a program can do for a remote key call. It owns the
// remote-control name on the session bus and, for each HandleEvent("Bvrq", "Rel<n>") call,
// sends "cmdkey<n>\n" from UDP port 5000 to the relay box, writes one POST to each of the two
// graphics servers on kept-alive connections, and answers true.
//
// Usage: brenvale-bench-keyreflector <relay address> <main graphics address> <backup graphics address>
// The bus is DBUS_SESSION_BUS_ADDRESS. Runs until SIGTERM or SIGINT.
#include <dbus/dbus.h>

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

struct Server
{
    const char *address;
    int fd;
};

static int s_relay = -1;
static struct sockaddr_in s_relayAddress;
static struct Server s_servers[2];

static int connectTo(const char *address)
{
    struct sockaddr_in remote;
    memset(&remote, 0, sizeof remote);
    remote.sin_family = AF_INET;
    remote.sin_port = htons(5201);
    if (inet_pton(AF_INET, address, &remote.sin_addr) != 1)
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, (const struct sockaddr *)&remote, sizeof remote) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads whatever answers have come back so the connection never backs up; reconnects when the
// server has closed it.
static void drainOrReconnect(struct Server *server)
{
    char buffer[4096];
    while (server->fd >= 0) {
        const ssize_t got = recv(server->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        close(server->fd);
        server->fd = -1;
    }
    if (server->fd < 0)
        server->fd = connectTo(server->address);
}

static void post(struct Server *server, const char *body)
{
    drainOrReconnect(server);
    if (server->fd < 0)
        return;
    char request[1024];
    const int length = snprintf(request, sizeof request,
        "POST / HTTP/1.1\r\nHost: %s:5201\r\nContent-Type: application/json\r\n"
        "Content-Length: %zu\r\nConnection: keep-alive\r\n\r\n%s",
        server->address, strlen(body), body);
    if (length <= 0 || (size_t)length >= sizeof request)
        return;
    if (send(server->fd, request, (size_t)length, MSG_NOSIGNAL) != length) {
        close(server->fd);
        server->fd = -1;
    }
}

static DBusHandlerResult onMessage(DBusConnection *connection, DBusMessage *message, void *data)
{
    (void)data;
    if (!dbus_message_is_method_call(message, "org.brenvale.Control", "HandleEvent"))
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    const char *eventClass = "";
    const char *eventID = "";
    dbus_bool_t handled = FALSE;
    if (dbus_message_get_args(
            message, NULL, DBUS_TYPE_STRING, &eventClass, DBUS_TYPE_STRING, &eventID, DBUS_TYPE_INVALID)
        && strcmp(eventClass, "Bvrq") == 0 && strncmp(eventID, "Rel", 3) == 0 && eventID[3] >= '0' && eventID[3] <= '3'
        && eventID[4] == '\0') {
        const int code = eventID[3] - '0';
        char command[16];
        const int length = snprintf(command, sizeof command, "cmdkey%d\n", code);
        sendto(s_relay, command, (size_t)length, 0, (const struct sockaddr *)&s_relayAddress, sizeof s_relayAddress);
        char scratch[64];
        while (recv(s_relay, scratch, sizeof scratch, MSG_DONTWAIT) > 0) { }
        const char *body = code % 2 == 0
            ? "{\"action\":\"play_motions\",\"motions\":[\"motion1\"],\"channel\":\"live1\"}"
            : "{\"action\":\"finish_motions\",\"motions\":[\"motion1\"],\"channel\":\"live1\"}";
        post(&s_servers[0], body);
        post(&s_servers[1], body);
        handled = TRUE;
    }
    DBusMessage *reply = dbus_message_new_method_return(message);
    if (reply) {
        dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &handled, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, NULL);
        dbus_connection_flush(connection);
        dbus_message_unref(reply);
    }
    return DBUS_HANDLER_RESULT_HANDLED;
}

int main(int argc, char *argv[])
{
    if (argc != 4) {
        fprintf(stderr, "usage: %s <relay address> <main graphics address> <backup graphics address>\n", argv[0]);
        return 2;
    }
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);

    s_relay = socket(AF_INET, SOCK_DGRAM, 0);
    struct sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(5000);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    memset(&s_relayAddress, 0, sizeof s_relayAddress);
    s_relayAddress.sin_family = AF_INET;
    s_relayAddress.sin_port = htons(5000);
    if (s_relay < 0 || bind(s_relay, (const struct sockaddr *)&local, sizeof local) != 0
        || inet_pton(AF_INET, argv[1], &s_relayAddress.sin_addr) != 1) {
        perror("keyreflector: relay socket");
        return 1;
    }
    s_servers[0].address = argv[2];
    s_servers[0].fd = -1;
    s_servers[1].address = argv[3];
    s_servers[1].fd = -1;

    DBusError error;
    dbus_error_init(&error);
    DBusConnection *connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!connection) {
        fprintf(stderr, "keyreflector: no session bus: %s\n", error.message);
        return 1;
    }
    static const DBusObjectPathVTable table = {NULL, onMessage, NULL, NULL, NULL, NULL};
    if (!dbus_connection_register_object_path(connection, "/Control", &table, NULL)
        || dbus_bus_request_name(connection, "org.brenvale.Control", DBUS_NAME_FLAG_DO_NOT_QUEUE, &error)
            != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        fprintf(stderr, "keyreflector: cannot own org.brenvale.Control\n");
        return 1;
    }
    fprintf(stderr, "keyreflector ready\n");
    while (!s_stop && dbus_connection_read_write_dispatch(connection, 100)) { }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return 0;
}
