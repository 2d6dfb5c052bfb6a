// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/HttpClient.h"

#include "core/platform/Clock.h"
#include "core/platform/SocketOptions.h"

#include <QSocketNotifier>

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <vector>

namespace {
constexpr const char *kAcceptedEncodings = "zstd, br, gzip, deflate";
// Far more than any answer's status line and header fields; the rest of a longer head is not read.
constexpr qsizetype headCap = 16 * 1024;
// How long the addresses of a name are used before it is looked up again: libcurl's own default.
constexpr qint64 knownForMs = 60 * 1000;

// libcurl takes the addresses from here instead of looking the name up itself. The entry goes
// into the client's cache of names with libcurl's usual expiry ('+'), replacing an older one.
curl_slist *resolveEntry(const QByteArray &server, const QList<QByteArray> &addresses)
{
    return curl_slist_append(nullptr, ('+' + server + ':' + addresses.join(',')).constData());
}

QString timeoutText(std::chrono::milliseconds limit)
{
    return QStringLiteral("No answer within %1 s").arg(double(limit.count()) / 1000.0);
}
} // namespace

struct HttpClient::Transfer
{
    quint64 id = 0;
    CURL *easy = nullptr;
    CURLU *url = nullptr;
    curl_slist *headers = nullptr;
    curl_slist *resolve = nullptr; // the addresses of its host name, for libcurl
    QByteArray host;
    QByteArray server; // "host:port"
    bool running = false; // in libcurl, and counted against its server
    bool waiting = false; // for its host name to be looked up, and counted against its server
    std::chrono::milliseconds timeout {};
    qint64 deadlineMs = 0; // monotonic
    std::vector<int> sockets; // the ones libcurl watches for it
    QByteArray method;
    QByteArray content; // libcurl sends it from here
    QByteArray answer;
    qsizetype headBytes = 0;
    bool headComplete = false; // the blank line after a final status and its header fields came
    bool capped = false;
    QString stoppedBy; // why we ended it ourselves, when we did
    char error[CURL_ERROR_SIZE] = {};
    Handler handler;

    ~Transfer()
    {
        curl_easy_cleanup(easy);
        curl_url_cleanup(url);
        curl_slist_free_all(headers);
        curl_slist_free_all(resolve);
    }

    // Keeps the start of the body. Taking fewer bytes than given makes libcurl end the
    // transfer, which is how an over-long answer stops being read.
    static size_t keep(char *data, size_t size, size_t count, void *self)
    {
        auto *transfer = static_cast<Transfer *>(self);
        const size_t length = size * count;
        const size_t room = size_t(contentCap - transfer->answer.size());
        transfer->answer.append(data, qsizetype(std::min(length, room)));
        if (length <= room)
            return length;
        transfer->capped = true;
        return 0;
    }

    // Watches the answer's head line by line: it is complete at the blank line that ends a final
    // (not 1xx) answer's head, and a head longer than the cap is not read to its end.
    static size_t keepHead(char *data, size_t size, size_t count, void *self)
    {
        auto *transfer = static_cast<Transfer *>(self);
        const QByteArrayView line(data, qsizetype(size * count));
        transfer->headBytes += line.size();
        if (transfer->headBytes > headCap) {
            transfer->stoppedBy = QStringLiteral("Reply header too large");
            return 0;
        }
        if (line.startsWith("HTTP/")) {
            transfer->headComplete = false;
        } else if (line == "\r\n" || line == "\n") {
            long status = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
            transfer->headComplete = status >= 200;
        }
        return line.size();
    }

    // The kernel counts every byte that comes in, those libcurl reads and drops without a
    // callback too. libcurl calls this after each read.
    static int checkReceived(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto *transfer = static_cast<Transfer *>(self);
        qint64 received = 0;
        for (const int socket : transfer->sockets)
            received += std::max<qint64>(0, SocketOptions::tcpBytesReceived(socket));
        if (received <= receivedCap)
            return 0;
        // Before the head is complete, it is the head that is too long (libcurl holds a line
        // until its end).
        transfer->stoppedBy
            = transfer->headComplete ? QStringLiteral("Reply too large") : QStringLiteral("Reply header too large");
        return 1;
    }

    static curl_socket_t openSocket(void *, curlsocktype, curl_sockaddr *address)
    {
        return curl_socket_t(SocketOptions::openCloseOnExec(address->family, address->socktype, address->protocol));
    }

    // The texts of the failures seen every day read as they always have; the rest are libcurl's.
    QString failureText(CURLcode result) const
    {
        if (!stoppedBy.isEmpty())
            return stoppedBy;
        switch (result) {
        case CURLE_OK: // the server closed the connection within the head
            return QStringLiteral("Connection closed");
        case CURLE_COULDNT_CONNECT: {
            long osError = 0;
            curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
            if (osError == ECONNREFUSED)
                return QStringLiteral("Connection refused");
            break;
        }
        case CURLE_OUT_OF_MEMORY: // also libcurl's word for a header line longer than it takes
            if (!headComplete)
                return QStringLiteral("Reply header too large");
            break;
        case CURLE_GOT_NOTHING:
            return QStringLiteral("Connection closed");
        case CURLE_OPERATION_TIMEDOUT:
            return timeoutText(timeout);
        case CURLE_COULDNT_RESOLVE_HOST: {
            char *host = nullptr;
            if (curl_url_get(url, CURLUPART_HOST, &host, 0) != CURLUE_OK)
                break;
            const QString text = QStringLiteral("Host %1 not found").arg(QString::fromUtf8(host));
            curl_free(host);
            return text;
        }
        default:
            break;
        }
        return QString::fromUtf8(error[0] ? error : curl_easy_strerror(result));
    }
};

HttpClient::HttpClient(QObject *parent) : QObject(parent)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // The multi handle opens a socket pair to wake itself, which libcurl does not keep from
    // child processes.
    m_multi = curl_multi_init();
    SocketOptions::closeOnExecLocalSockets();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    m_waitTimer.setSingleShot(true);
    m_waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_waitTimer, &QTimer::timeout, this, &HttpClient::expireWaiting);
    connect(&m_lookups, &HostLookup::found, this, &HttpClient::looked);
    if (!m_multi)
        return;

    using SocketCallback = int (*)(CURL *, curl_socket_t, int, void *, void *);
    const SocketCallback onSocket = [](CURL *easy, curl_socket_t socket, int what, void *self, void *) {
        char *owner = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &owner);
        static_cast<HttpClient *>(self)->watch(reinterpret_cast<Transfer *>(owner), socket, what);
        return 0;
    };
    using TimerCallback = int (*)(CURLM *, long, void *);
    const TimerCallback onTimer = [](CURLM *, long timeoutMs, void *self) {
        QTimer &timer = static_cast<HttpClient *>(self)->m_timer;
        if (timeoutMs < 0)
            timer.stop();
        else
            timer.start(int(std::min<long>(timeoutMs, INT_MAX)));
        return 0;
    };
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
}

HttpClient::~HttpClient()
{
    // Taking the transfers out makes libcurl call back to stop watching sockets and timing;
    // nothing is left here to call, and the event loop may already be gone.
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, nullptr);
    for (const auto &[id, transfer] : m_transfers) {
        if (transfer->running)
            curl_multi_remove_handle(m_multi, transfer->easy);
    }
    m_transfers.clear();
    curl_multi_cleanup(m_multi);
    curl_global_cleanup();
}

Result<quint64> HttpClient::start(const Request &request, Handler handler)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->easy = curl_easy_init();
    transfer->url = curl_url();
    if (!m_multi || !transfer->easy || !transfer->url)
        return Result<quint64>::failure(QStringLiteral("Could not set up the request"));
    if (curl_url_set(transfer->url, CURLUPART_URL, request.url.constData(), 0) != CURLUE_OK)
        return Result<quint64>::failure(QStringLiteral("Invalid URL \"%1\"").arg(QString::fromUtf8(request.url)));
    char *host = nullptr;
    char *port = nullptr;
    curl_url_get(transfer->url, CURLUPART_HOST, &host, 0);
    curl_url_get(transfer->url, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT);
    transfer->host = QByteArray(host);
    transfer->server = QByteArray(host) + ':' + QByteArray(port);
    curl_free(host);
    curl_free(port);

    // A server that takes connections and never answers would otherwise hold a socket per
    // command until the time limit, and a fast enough caller runs out of descriptors.
    if (inFlight(transfer->server) >= transfersPerServer) {
        transfer->id = ++m_lastId;
        transfer->handler = std::move(handler);
        const quint64 id = transfer->id;
        m_transfers.emplace(id, std::move(transfer));
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                const std::unique_ptr<Transfer> refused = take(id);
                if (!refused)
                    return;
                Outcome outcome;
                outcome.error = QStringLiteral("Not sent: %1 requests to %2 still running")
                                    .arg(transfersPerServer)
                                    .arg(QString::fromUtf8(refused->server));
                report(*refused, outcome);
            },
            Qt::QueuedConnection);
        return id;
    }

    // The header lines, in their order, that the graphics servers have always been sent; no
    // Accept line of libcurl's own and no waiting for "100 Continue". An empty type takes away
    // libcurl's default form type.
    const QByteArray type
        = request.contentType.isEmpty() ? QByteArray("Content-Type:") : "Content-Type: " + request.contentType;
    const QByteArray lines[] = {
        type,
        "Content-Length: " + QByteArray::number(request.content.size()),
        QByteArray("Connection: Keep-Alive"),
        QByteArray("Accept-Encoding: ") + kAcceptedEncodings,
        QByteArray("Accept-Language: en,*"),
        QByteArray("User-Agent: Mozilla/5.0"),
        QByteArray("Accept:"),
        QByteArray("Expect:"),
    };
    for (const QByteArray &line : lines) {
        curl_slist *headers = curl_slist_append(transfer->headers, line.constData());
        if (!headers)
            return Result<quint64>::failure(QStringLiteral("Could not set up the request"));
        transfer->headers = headers;
    }
    transfer->method = request.method;
    transfer->content = request.content;
    transfer->handler = std::move(handler);
    transfer->id = ++m_lastId;
    transfer->timeout = request.timeout;
    transfer->deadlineMs = Clock::monotonicMs() + request.timeout.count();

    CURL *easy = transfer->easy;
    CURLcode failed = CURLE_OK;
    const auto set = [easy, &failed](CURLoption option, auto value) {
        if (failed == CURLE_OK)
            failed = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_PRIVATE, static_cast<void *>(transfer.get()));
    set(CURLOPT_ERRORBUFFER, transfer->error);
    set(CURLOPT_CURLU, transfer->url);
    set(CURLOPT_PROTOCOLS_STR, "http");
    set(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_NOPROXY, "*");
    set(CURLOPT_NOSIGNAL, 1L);
    // libcurl looks no names up here: a host name comes with its addresses (CURLOPT_RESOLVE)
    // and a numeric address needs none. Should a build of libcurl still start a lookup of its
    // own (one that resolves numeric addresses too, or an entry it does not take), a transfer
    // ended during it leaves that thread to finish on its own instead of waiting for it on ours.
    set(CURLOPT_QUICK_EXIT, 1L);
    set(CURLOPT_OPENSOCKETFUNCTION, &Transfer::openSocket);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &Transfer::checkReceived);
    set(CURLOPT_XFERINFODATA, static_cast<void *>(transfer.get()));
    set(CURLOPT_FRESH_CONNECT, 1L);
    set(CURLOPT_FORBID_REUSE, 1L);
    set(CURLOPT_TIMEOUT_MS, long(request.timeout.count()));
    // Answers in any of the offered encodings are unpacked before the cap counts them.
    set(CURLOPT_ACCEPT_ENCODING, kAcceptedEncodings);
    set(CURLOPT_HTTPHEADER, transfer->headers);
    set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(transfer->content.size()));
    set(CURLOPT_POSTFIELDS, transfer->content.constData());
    if (transfer->method != "POST")
        set(CURLOPT_CUSTOMREQUEST, transfer->method.constData());
    set(CURLOPT_WRITEFUNCTION, &Transfer::keep);
    set(CURLOPT_WRITEDATA, static_cast<void *>(transfer.get()));
    set(CURLOPT_HEADERFUNCTION, &Transfer::keepHead);
    set(CURLOPT_HEADERDATA, static_cast<void *>(transfer.get()));
    if (failed != CURLE_OK)
        return Result<quint64>::failure(QString::fromUtf8(curl_easy_strerror(failed)));
    // Known to the client before libcurl can name it in a callback.
    const quint64 id = transfer->id;
    Transfer &added = *m_transfers.emplace(id, std::move(transfer)).first->second;
    const bool named = !HostLookup::isNumeric(added.host);
    if (named) {
        const auto known = m_known.constFind(added.host);
        if (known == m_known.cend() || Clock::monotonicMs() - known->atMs >= knownForMs) {
            added.waiting = true;
            m_lookups.lookup(added.host);
            rearmWaiting();
            return id;
        }
        added.resolve = resolveEntry(added.server, known->addresses);
    }
    if ((named && !added.resolve) || !launch(added)) {
        m_transfers.erase(id);
        return Result<quint64>::failure(QStringLiteral("Could not start the request"));
    }
    return id;
}

bool HttpClient::launch(Transfer &transfer)
{
    if (transfer.resolve && curl_easy_setopt(transfer.easy, CURLOPT_RESOLVE, transfer.resolve) != CURLE_OK)
        return false;
    if (curl_multi_add_handle(m_multi, transfer.easy) != CURLM_OK)
        return false;
    transfer.running = true;
    return true;
}

void HttpClient::looked(const QByteArray &host, const QList<QByteArray> &addresses)
{
    if (addresses.isEmpty())
        m_known.remove(host);
    else
        m_known.insert(host, {addresses, Clock::monotonicMs()});
    std::vector<quint64> ids;
    for (const auto &[id, transfer] : m_transfers) {
        if (transfer->waiting && transfer->host == host)
            ids.push_back(id);
    }
    std::ranges::sort(ids);
    for (const quint64 id : ids) {
        const auto found = m_transfers.find(id);
        if (found == m_transfers.end()) // its handler ended it
            continue;
        Transfer &transfer = *found->second;
        transfer.waiting = false;
        Outcome outcome;
        if (addresses.isEmpty()) {
            outcome.error = QStringLiteral("Host %1 not found").arg(QString::fromUtf8(host));
        } else if (transfer.deadlineMs <= Clock::monotonicMs()) {
            outcome.error = timeoutText(transfer.timeout);
        } else {
            // What is left of its time after the wait; at least 1 ms, as 0 means none to libcurl.
            const long left = std::max(long(transfer.deadlineMs - Clock::monotonicMs()), 1L);
            transfer.resolve = resolveEntry(transfer.server, addresses);
            if (transfer.resolve && curl_easy_setopt(transfer.easy, CURLOPT_TIMEOUT_MS, left) == CURLE_OK
                && launch(transfer))
                continue;
            outcome.error = QStringLiteral("Could not start the request");
        }
        report(*take(id), outcome);
    }
    expireWaiting();
}

void HttpClient::expireWaiting()
{
    std::vector<quint64> expired;
    for (const auto &[id, transfer] : m_transfers) {
        if (transfer->waiting && transfer->deadlineMs <= Clock::monotonicMs())
            expired.push_back(id);
    }
    std::ranges::sort(expired);
    for (const quint64 id : expired) {
        if (const std::unique_ptr<Transfer> transfer = take(id)) {
            Outcome outcome;
            outcome.error = timeoutText(transfer->timeout);
            report(*transfer, outcome);
        }
    }
    // After the handlers, which may have started requests of their own.
    rearmWaiting();
}

void HttpClient::rearmWaiting()
{
    std::optional<qint64> next;
    for (const auto &[id, transfer] : m_transfers) {
        if (transfer->waiting)
            next = std::min(next.value_or(transfer->deadlineMs), transfer->deadlineMs);
    }
    if (next)
        m_waitTimer.start(int(std::clamp<qint64>(*next - Clock::monotonicMs(), 0, INT_MAX)));
    else
        m_waitTimer.stop();
}

int HttpClient::inFlight(const QByteArray &server) const
{
    return static_cast<int>(std::ranges::count_if(m_transfers, [&server](const auto &entry) {
        return (entry.second->running || entry.second->waiting) && entry.second->server == server;
    }));
}

void HttpClient::cancel(quint64 id)
{
    take(id);
}

std::unique_ptr<HttpClient::Transfer> HttpClient::take(quint64 id)
{
    const auto found = m_transfers.find(id);
    if (found == m_transfers.end())
        return nullptr;
    Transfer &transfer = *found->second;
    if (transfer.running) {
        transfer.running = false;
        curl_multi_remove_handle(m_multi, transfer.easy);
    }
    auto node = m_transfers.extract(id);
    return std::move(node.mapped());
}

void HttpClient::report(Transfer &transfer, const Outcome &outcome)
{
    const Handler handler = std::move(transfer.handler);
    if (handler)
        handler(outcome);
    Q_EMIT finished();
}

void HttpClient::watch(Transfer *owner, int socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        const auto found = m_watches.find(socket);
        if (found == m_watches.end())
            return;
        if (const auto transfer = m_transfers.find(found->second.owner); transfer != m_transfers.end())
            std::erase(transfer->second->sockets, socket);
        // libcurl closes the socket next; the notifiers may be the ones being served.
        for (QSocketNotifier *notifier : {found->second.read, found->second.write}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        m_watches.erase(found);
        return;
    }
    // The TCP sockets are ours and close on exec. A name lookup's socket pair is libcurl's: we
    // are handed one end, and the lookup thread holds the other.
    if (!m_watches.contains(socket) && SocketOptions::isLocalSocket(socket))
        SocketOptions::closeOnExecLocalSockets();
    Watch &watched = m_watches[socket];
    if (owner && watched.owner != owner->id) {
        watched.owner = owner->id;
        owner->sockets.push_back(socket);
    }
    const auto notifier = [this, socket](QSocketNotifier *&slot, QSocketNotifier::Type type, int events, bool on) {
        if (!slot && on) {
            slot = new QSocketNotifier(socket, type, this);
            connect(slot, &QSocketNotifier::activated, this, [this, socket, events] { act(socket, events); });
        }
        if (slot)
            slot->setEnabled(on);
    };
    notifier(watched.read, QSocketNotifier::Read, CURL_CSELECT_IN, what & CURL_POLL_IN);
    notifier(watched.write, QSocketNotifier::Write, CURL_CSELECT_OUT, what & CURL_POLL_OUT);
}

void HttpClient::act(int socket, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    takeFinished();
}

void HttpClient::takeFinished()
{
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode result = message->data.result;
        char *data = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &data);
        const std::unique_ptr<Transfer> transfer = take(reinterpret_cast<Transfer *>(data)->id);
        if (!transfer)
            continue;

        Outcome outcome;
        // An answer cut at the cap is still an answer: its head is complete.
        const bool complete = result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer->capped);
        if (complete && transfer->headComplete) {
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            outcome.answered = true;
            outcome.status = int(status);
            outcome.content = transfer->answer;
        } else {
            outcome.error = transfer->failureText(result);
        }
        report(*transfer, outcome);
    }
}
