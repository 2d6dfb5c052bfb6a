// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/SystemLogSink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QPointer>

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
// The copy on standard error, which must never hold up the event loop: fd 2 may be a pipe
// nobody reads, a FIFO or a stopped terminal. Its open file description is shared with the
// shell, so it is not made non-blocking; instead lines gather in a bounded buffer and go out
// when the event loop is about to wait (or a chunk's worth is there), each write no larger
// than the descriptor has just said it takes at once. A flood of lines therefore costs a copy
// each, not a system call each. Lines that find the buffer full are dropped and counted, and a
// line saying how many goes out once there is room again. At exit what waits is given a bounded
// time to go out, the poll waiting instead of the write.
class StandardError
{
public:
    using Deadline = std::chrono::steady_clock::time_point;

    ~StandardError() { drain(ExitDrainMs); }

    void append(const QByteArray &line)
    {
        // A line goes in only together with the count of those dropped before it, so the count
        // comes out once, in its place.
        if (!fits(droppedNote().size() + line.size() + 1))
            flush();
        // (The flush may have put the count out already.)
        const QByteArray note = droppedNote();
        if (!fits(note.size() + line.size() + 1)) {
            ++m_dropped;
            return;
        }
        m_pending.append(note);
        m_dropped = 0;
        m_pending.append(line);
        m_pending.append('\n');
        if (!flushedByLoop() || m_pending.size() - m_sent >= chunkLimit())
            flush();
    }

    void drain(int maxMs) { flush(std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs)); }

    // Writes what the descriptor takes, waiting for it until `deadline` at most (not at all
    // without one).
    void flush(std::optional<Deadline> deadline = std::nullopt)
    {
        for (;;) {
            if (m_sent == m_pending.size()) {
                m_pending = droppedNote();
                m_sent = 0;
                m_dropped = 0;
                if (m_pending.isEmpty())
                    return;
            }
            if (!writable(deadline))
                return;
            const ssize_t written
                = ::write(STDERR_FILENO, m_pending.constData() + m_sent, static_cast<size_t>(nextChunk()));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    discard();
                return;
            }
            m_sent += written;
        }
    }

private:
    static constexpr qsizetype BufferBytes = 64 * 1024;

    bool fits(qsizetype bytes)
    {
        if (m_pending.size() + bytes <= BufferBytes)
            return true;
        if (m_pending.size() - m_sent + bytes > BufferBytes)
            return false;
        m_pending.remove(0, m_sent);
        m_sent = 0;
        return true;
    }

    QByteArray droppedNote() const
    {
        return m_dropped == 0 ? QByteArray() : QByteArray::number(m_dropped) + " system-log lines dropped\n";
    }

    // Connects the flush to the running thread's event loop; false when there is none (before
    // the application object exists), and each line is then written at once.
    bool flushedByLoop()
    {
        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        if (!dispatcher)
            return false;
        if (m_dispatcher != dispatcher) {
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, [this] { flush(); });
            m_dispatcher = dispatcher;
        }
        return true;
    }

    static int msUntil(const std::optional<Deadline> &deadline)
    {
        if (!deadline)
            return 0;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }

    bool writable(const std::optional<Deadline> &deadline)
    {
        pollfd descriptor = {STDERR_FILENO, POLLOUT, 0};
        int ready = 0;
        do
            ready = ::poll(&descriptor, 1, msUntil(deadline));
        while (ready < 0 && errno == EINTR);
        if (ready > 0 && (descriptor.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            // No reader any more (or no fd 2 at all): what waits can never be written.
            discard();
            return false;
        }
        return ready > 0 && (descriptor.revents & POLLOUT) != 0;
    }

    void discard()
    {
        m_pending.clear();
        m_sent = 0;
        m_dropped = 0;
    }

    // What one write after a ready poll takes without blocking: PIPE_BUF for a pipe (a free
    // pipe slot takes that much whole), less for a terminal, whose ready state promises less.
    qsizetype chunkLimit()
    {
        if (m_chunkLimit == 0) {
            struct stat info = {};
            const bool terminal
                = ::fstat(STDERR_FILENO, &info) == 0 && S_ISCHR(info.st_mode) && ::isatty(STDERR_FILENO);
            m_chunkLimit = terminal ? 256 : PIPE_BUF;
        }
        return m_chunkLimit;
    }

    // Up to chunkLimit() bytes, ending after a line where one ends inside, so readers sharing
    // the pipe see whole lines.
    qsizetype nextChunk()
    {
        const qsizetype left = m_pending.size() - m_sent;
        if (left <= chunkLimit())
            return left;
        const qsizetype lastEnd = m_pending.lastIndexOf('\n', m_sent + chunkLimit() - 1);
        return lastEnd >= m_sent ? lastEnd + 1 - m_sent : chunkLimit();
    }

    QByteArray m_pending;
    qsizetype m_sent = 0;
    quint64 m_dropped = 0;
    qsizetype m_chunkLimit = 0;
    QPointer<QAbstractEventDispatcher> m_dispatcher;
};
} // namespace

namespace {
StandardError &standardError()
{
    static StandardError instance;
    return instance;
}
} // namespace

void write(const QByteArray &line)
{
    static LogSocket logSocket;
    logSocket.send(line);
    standardError().append(line);
}

void writeStandardError(const QByteArray &line)
{
    standardError().append(line);
}

void drain(int maxMs)
{
    standardError().drain(maxMs);
}

} // namespace SystemLogSink
