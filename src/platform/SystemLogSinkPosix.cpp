// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "SystemLogSink.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>

namespace SystemLogSink {
namespace {
// The system log's socket, kept open. Lines are sent without waiting: a log daemon that falls
// behind loses lines rather than stalling the event loop, and a missing one is looked for
// again at most once a second instead of on every line.
class LogSocket
{
public:
    void send(const QByteArray &line)
    {
        if (m_fd < 0 && !reconnect())
            return;
        const QByteArray datagram = header() + line;
        if (::send(m_fd, datagram.constData(), static_cast<size_t>(datagram.size()), MSG_DONTWAIT | MSG_NOSIGNAL) < 0
            && errno != EAGAIN && errno != EWOULDBLOCK) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    bool reconnect()
    {
        if (m_lastTry.isValid() && m_lastTry.elapsed() < 1000)
            return false;
        m_lastTry.start();
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        static const char path[] = "/dev/log";
        static_assert(sizeof path <= sizeof address.sun_path);
        std::copy(std::begin(path), std::end(path), address.sun_path);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            return false;
        }
        m_fd = fd;
        return true;
    }

    // "<13>Mmm dd hh:mm:ss Brenvale[pid]: ": user facility, notice level; formatted once a
    // second.
    QByteArray header()
    {
        const std::time_t now = std::time(nullptr);
        if (now != m_headerTime) {
            std::tm local = {};
            localtime_r(&now, &local);
            char stamp[32];
            const size_t length = std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
            m_header = "<13>" + QByteArray(stamp, static_cast<qsizetype>(length)) + " Brenvale["
                + QByteArray::number(static_cast<qint64>(::getpid())) + "]: ";
            m_headerTime = now;
        }
        return m_header;
    }

    int m_fd = -1;
    QElapsedTimer m_lastTry;
    std::time_t m_headerTime = 0;
    QByteArray m_header;
};
} // namespace

void write(const QByteArray &line)
{
    static LogSocket logSocket;
    logSocket.send(line);

    // One write per line keeps lines whole when several processes share the terminal.
    QByteArray withEnd = line;
    withEnd.append('\n');
    const char *data = withEnd.constData();
    qsizetype left = withEnd.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, static_cast<size_t>(left));
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
}

} // namespace SystemLogSink
