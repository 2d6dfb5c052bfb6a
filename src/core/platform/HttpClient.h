// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/HostLookup.h"
#include "core/platform/Result.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <unordered_map>

class QSocketNotifier;

// HTTP/1.1 requests through libcurl's multi interface, driven by the event loop of the thread
// that owns the client: one timer, and socket notifiers for the sockets libcurl asks to watch.
// Every request:
// - has a connection of its own, opened for it and closed after it; libcurl resends a request
//   only on a reused connection, so nothing is ever sent twice;
// - ends within its time limit counted from its start, however slowly the server or the name
//   server answers, and then with the error "No answer within <limit> s";
// - keeps at most contentCap bytes of the answer's body: past them it reads no further, and
//   the answer is the part kept;
// - ends with an error once receivedCap bytes have come in on its connection, counted by the
//   kernel, so that what libcurl reads and drops unseen (chunk extensions) is bounded too;
// - goes to no proxy and follows no redirect; it offers four compressed encodings (zstd, br,
//   gzip, deflate), and an answer in one of them is unpacked before the cap counts it;
// - waits for no name lookup on the client's thread: a host name is looked up by HostLookup, one
//   lookup per name at a time, and a request whose name is being looked up waits for that
//   lookup within its own limit instead of starting another; the addresses found serve for a
//   minute, as libcurl's own cache would; a numeric address goes to libcurl as it is;
// - is not sent while transfersPerServer others to the same host and port are in flight (those
//   waiting for their name count too): it then ends with an error on the next turn of the event
//   loop;
// - ends in exactly one call of its handler, on the client's thread, unless cancelled first.
// Every descriptor the client and libcurl open for it is closed on exec.
class HttpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype contentCap = 8 * 1024;
    static constexpr qint64 receivedCap = 64 * 1024;
    static constexpr int transfersPerServer = 8;

    struct Request
    {
        QByteArray method;
        QByteArray url; // absolute, http only
        QByteArray contentType;
        QByteArray content;
        std::chrono::milliseconds timeout;
    };

    // An HTTP answer, whatever its status, or a failure with its message.
    struct Outcome
    {
        bool answered = false;
        int status = 0;
        QByteArray content;
        QString error;
    };
    using Handler = std::function<void(const Outcome &)>;

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Starts a request and returns its id (never 0) at once, or why libcurl would not take it.
    Result<quint64> start(const Request &request, Handler handler);
    // Ends a request without calling its handler; an id that is not running is ignored.
    void cancel(quint64 id);

Q_SIGNALS:
    // Once per request that ran to its outcome, after its handler.
    void finished();

private:
    struct Transfer;
    struct Watch
    {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
        quint64 owner = 0; // the transfer the socket belongs to
    };

    // Hands a transfer to libcurl, with the addresses of its name when it has them.
    bool launch(Transfer &transfer);
    void looked(const QByteArray &host, const QList<QByteArray> &addresses);
    // Ends the transfers that waited for their name as long as they may, and times the next.
    // Only the wait timer and a finished lookup call it, so a handler never runs inside start().
    void expireWaiting();
    // Times the next limit of a transfer waiting for its name; one already passed is reported on
    // the next turn of the event loop.
    void rearmWaiting();
    void watch(Transfer *owner, int socket, int what);
    void act(int socket, int events);
    void takeFinished();
    // Takes a transfer out of the client and out of libcurl; null when the id is not running.
    std::unique_ptr<Transfer> take(quint64 id);
    // The transfers in libcurl to `server` ("host:port").
    int inFlight(const QByteArray &server) const;
    void report(Transfer &transfer, const Outcome &outcome);

    struct Known
    {
        QList<QByteArray> addresses;
        qint64 atMs = 0;
    };

    void *m_multi;
    QTimer m_timer;
    HostLookup m_lookups;
    QHash<QByteArray, Known> m_known; // host name: the addresses its last lookup found
    QTimer m_waitTimer; // the next limit of a transfer waiting for its name
    std::unordered_map<int, Watch> m_watches;
    std::unordered_map<quint64, std::unique_ptr<Transfer>> m_transfers;
    quint64 m_lastId = 0;
};
