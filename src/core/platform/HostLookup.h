// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

// Looks host names up through the system's resolver (getaddrinfo), each on a detached thread of
// its own, and hands the result to the thread that owns this object through its event loop.
// At most one lookup per name runs at a time: asking for a name that is being looked up adds
// nothing. A name server that never answers keeps its lookup for as long as the resolver's own
// timeout and attempts allow, but never more than one per name. Nothing waits for a lookup:
// destroying the object leaves running lookups to end on their own, and their results go nowhere.
class HostLookup : public QObject
{
    Q_OBJECT
public:
    explicit HostLookup(QObject *parent = nullptr);
    ~HostLookup() override;

    // An IPv4 address in dotted form, or anything in square brackets (an IPv6 address as a URL
    // writes it): nothing to look up.
    static bool isNumeric(const QByteArray &host);

    // Starts looking `host` up unless that is under way.
    void lookup(const QByteArray &host);
    bool isRunning(const QByteArray &host) const { return m_running.contains(host); }

Q_SIGNALS:
    // Once per lookup, on the owner's thread: the addresses in the resolver's order (IPv6 ones
    // in square brackets), none when the name was not found or the lookup failed.
    void found(const QByteArray &host, const QList<QByteArray> &addresses);

private:
    struct Shared;
    void finish(const QByteArray &host, const QList<QByteArray> &addresses);

    std::shared_ptr<Shared> m_shared;
    QSet<QByteArray> m_running;
};
