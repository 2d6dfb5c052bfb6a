// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HostNetwork.h"

#include "core/platform/DebugLog.h"

#include <QHash>
#include <QList>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace HostNetwork {
namespace {
// The link flags whose change matters to a group membership or a route. Other news of a link
// (a wireless scan, say, comes as a new-link message too) is no change of the network.
constexpr unsigned RelevantLinkFlags = IFF_UP | IFF_RUNNING | IFF_LOWER_UP;

class Watcher;
// The watchers alive.
QList<Watcher *> s_watchers;

// The kernel's route socket, subscribed to link and IPv4 address news, read on the event loop.
class Watcher : public QObject
{
public:
    Watcher(int fd, QObject *context, std::function<void()> onChange)
        : QObject(context), m_fd(fd), m_onChange(std::move(onChange)), m_notifier(fd, QSocketNotifier::Read, this)
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(SettleMs);
        connect(&m_settle, &QTimer::timeout, this, [this] { m_onChange(); });
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readNews(); });
        s_watchers.append(this);
    }
    ~Watcher() override
    {
        s_watchers.removeOne(this);
        // No notifier may watch a closed descriptor, nor one that the number is given to next.
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;

    // Reads every message waiting; whether one was news of a change.
    bool readNews()
    {
        bool changed = false;
        alignas(nlmsghdr) char buffer[16384];
        for (;;) {
            const ssize_t length = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (length < 0) {
                // The kernel could not queue every message for us: something changed, we
                // cannot say what.
                if (errno == ENOBUFS) {
                    changed = true;
                    continue;
                }
                break; // EAGAIN: all read
            }
            if (length == 0)
                break;
            int left = int(length);
            for (auto *message = reinterpret_cast<nlmsghdr *>(buffer); NLMSG_OK(message, left);
                 message = NLMSG_NEXT(message, left))
                changed = isChange(*message) || changed;
        }
        if (!changed)
            return false;
        // The lists are stale from now on, not only once the burst has settled: an echo sent
        // from a new address may come in before that.
        addressesChanged();
        // One call for the burst: a card that comes back brings its link, its address and its
        // carrier within moments of each other.
        if (!m_settle.isActive())
            m_settle.start();
        return true;
    }

private:
    bool isChange(const nlmsghdr &message)
    {
        switch (message.nlmsg_type) {
        case RTM_NEWLINK:
        case RTM_DELLINK: {
            if (message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
                return false;
            const auto *link = static_cast<const ifinfomsg *>(NLMSG_DATA(&message));
            if (message.nlmsg_type == RTM_DELLINK) {
                m_linkFlags.remove(link->ifi_index);
                return true;
            }
            const unsigned flags = link->ifi_flags & RelevantLinkFlags;
            const auto known = m_linkFlags.constFind(link->ifi_index);
            if (known != m_linkFlags.cend() && *known == flags)
                return false;
            m_linkFlags.insert(link->ifi_index, flags);
            return true;
        }
        case RTM_NEWADDR:
        case RTM_DELADDR:
            return true;
        default:
            return false;
        }
    }

    int m_fd;
    std::function<void()> m_onChange;
    QSocketNotifier m_notifier;
    QTimer m_settle;
    // The relevant flags of each link we have news of, by interface index.
    QHash<int, unsigned> m_linkFlags;
};
} // namespace

bool readWaitingNews()
{
    bool changed = false;
    for (Watcher *watcher : std::as_const(s_watchers))
        changed = watcher->readNews() || changed;
    return changed;
}

bool watchChanges(QObject *context, std::function<void()> onChange)
{
    // Close-on-exec: the playout script must not hold the kernel's news.
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        DebugLog(
            QStringLiteral("Network changes are not watched: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(fd);
        DebugLog(
            QStringLiteral("Network changes are not watched: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    new Watcher(fd, context, std::move(onChange));
    return true;
}

} // namespace HostNetwork
