// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QByteArray>
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
// - ends within its time limit counted from its start, however slowly the server answers;
// - keeps at most contentCap bytes of the answer's body: past them it reads no further, and
//   the answer is the part kept;
// - goes to no proxy, follows no redirect and asks for no compressed answer;
// - ends in exactly one call of its handler, on the client's thread, unless cancelled first.
class HttpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype contentCap = 8 * 1024;

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
    };

    void watch(int socket, int what);
    void act(int socket, int events);
    void takeFinished();

    void *m_multi;
    QTimer m_timer;
    std::unordered_map<int, Watch> m_watches;
    std::unordered_map<quint64, std::unique_ptr<Transfer>> m_transfers;
    quint64 m_lastId = 0;
};
