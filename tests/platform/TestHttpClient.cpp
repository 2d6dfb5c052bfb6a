// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// HTTP requests against servers that misbehave: one request and one outcome each, within the
// time limit, and only the start of an over-long answer kept. Servers listen on 127.0.0.1.
#include "core/platform/HttpClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>

namespace {

const QByteArray kBody = R"({"action":"play_motions"})";

// Answers each whole request with its head (a byte per tick when trickling), then with its
// endless part again and again while the client reads; with no endless part, it closes.
class ScriptedServer : public QTcpServer
{
public:
    ScriptedServer(const QByteArray &head, const QByteArray &endless, int byteEveryMs)
    {
        connect(this, &QTcpServer::newConnection, this, [=, this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
                connect(socket, &QTcpSocket::readyRead, this, [=, this] {
                    m_buffer += socket->readAll();
                    if (!m_buffer.endsWith("\r\n\r\n" + kBody))
                        return;
                    m_buffer.clear();
                    ++requests;
                    auto *timer = new QTimer(socket);
                    const qsizetype step = byteEveryMs > 0 ? 1 : head.size();
                    connect(timer, &QTimer::timeout, socket, [=, sent = qsizetype(0)]() mutable {
                        if (sent < head.size()) {
                            socket->write(head.mid(sent, step));
                            sent += step;
                        } else if (endless.isEmpty()) {
                            timer->stop();
                            socket->disconnectFromHost();
                        } else if (socket->isOpen() && socket->bytesToWrite() < 4 * endless.size()) {
                            socket->write(endless);
                        }
                    });
                    timer->start(std::max(byteEveryMs, 1));
                });
            }
        });
    }
    QByteArray url() const { return "http://127.0.0.1:" + QByteArray::number(serverPort()); }

    int connections = 0;
    int requests = 0;
    int closed = 0;

private:
    QByteArray m_buffer;
};

// Descriptors a child process would inherit, beyond standard input, output and error.
QStringList inheritable()
{
    QStringList found;
    for (const QString &name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const int fd = name.toInt();
        const int flags = fcntl(fd, F_GETFD);
        if (fd > 2 && flags >= 0 && !(flags & FD_CLOEXEC))
            found.append(QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + name));
    }
    return found;
}

// Points this process's name lookups, in a mount namespace of its own, at a name server of ours
// that takes every query and answers none, with a resolver that waits long for it; the hosts
// file knows one name, graphics.brenvale.test. Empty when that is set up, else why not.
QString silenceNameServer()
{
    static const QString why = [] {
        static QUdpSocket server;
        static QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("resolv.conf"));
        const QString hosts = dir.filePath(QStringLiteral("hosts"));
        QFile confFile(conf);
        QFile hostsFile(hosts);
        if (!server.bind(QHostAddress(QStringLiteral("127.0.0.153")), 53) || !confFile.open(QIODevice::WriteOnly)
            || confFile.write("nameserver 127.0.0.153\noptions timeout:30 attempts:5\n") < 0
            || !hostsFile.open(QIODevice::WriteOnly) || hostsFile.write("127.0.0.1 graphics.brenvale.test\n") < 0)
            return QStringLiteral("no name server of our own: ") + server.errorString();
        confFile.close();
        hostsFile.close();
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount(QFile::encodeName(conf).constData(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0
            || mount(QFile::encodeName(hosts).constData(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
            return QStringLiteral("no mount namespace of our own: ") + QString::fromLocal8Bit(strerror(errno));
        return QString();
    }();
    return why;
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneRequestOneOutcome_data();
    void oneRequestOneOutcome();
    void transfersPerServer();
    void lookupNeverAnswered_data();
    void lookupNeverAnswered();
    void oneLookupPerName();
    void namedServerAnswers();
    void noOutcomeInsideStart();
};

void TestHttpClient::oneRequestOneOutcome_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("endless");
    QTest::addColumn<int>("byteEveryMs");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QString>("error"); // empty: an answer

    QTest::newRow("closed without an answer") << QByteArray() << QByteArray() << 0 << 5000 << "Connection closed";
    QTest::newRow("closed after the status line")
        << QByteArray("HTTP/1.1 200 OK\r\n") << QByteArray() << 0 << 5000 << "Connection closed";
    QTest::newRow("endless header line") << QByteArray("HTTP/1.1 200 OK\r\nX-Long: ") << QByteArray(65536, 'z') << 0
                                         << 5000 << "Reply header too large";
    // 40 bytes 100 ms apart: a limit on silence alone would let the answer through.
    QTest::newRow("trickle past the limit") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")
                                            << QByteArray() << 100 << 1000 << "No answer within 1 s";
    // libcurl drops chunk extensions unseen: only the bytes the connection received bound them.
    QTest::newRow("endless chunk extension") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;")
                                             << QByteArray(65536, 'e') << 0 << 5000 << "Reply too large";
    QTest::newRow("endless body") << QByteArray("HTTP/1.1 200 OK\r\n\r\nhttp://") << QByteArray(65536, 'y') << 0 << 5000
                                  << "";
}

void TestHttpClient::oneRequestOneOutcome()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, endless);
    QFETCH(int, byteEveryMs);
    QFETCH(int, limitMs);
    QFETCH(QString, error);
    ScriptedServer server(head, endless, byteEveryMs);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    HttpClient client;
    QList<HttpClient::Outcome> outcomes;

    QElapsedTimer clock;
    clock.start();
    client.start({"POST", server.url(), "application/json", kBody, std::chrono::milliseconds(limitMs)},
        [&outcomes](const HttpClient::Outcome &outcome) { outcomes.append(outcome); });
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 10000);
    QVERIFY2(clock.elapsed() < limitMs + 1000, qPrintable(QString::number(clock.elapsed())));
    const HttpClient::Outcome &outcome = outcomes.constFirst();
    if (error.isEmpty()) {
        // Only the start is kept, and the client hangs up instead of reading on.
        QVERIFY2(outcome.answered, qPrintable(outcome.error));
        QCOMPARE(outcome.status, 200);
        QCOMPARE(outcome.content.size(), HttpClient::contentCap);
        QVERIFY(outcome.content.startsWith("http://yyyy"));
        QTRY_COMPARE(server.closed, 1);
    } else {
        QVERIFY(!outcome.answered);
        QCOMPARE(outcome.error, error);
    }

    // Nothing is sent again, and nothing more is reported.
    QTest::qWait(300);
    QCOMPARE(server.connections, 1);
    QCOMPARE(server.requests, 1);
    QCOMPARE(outcomes.size(), 1);
}

void TestHttpClient::transfersPerServer()
{
    // Servers that take the request and say nothing for a minute.
    ScriptedServer full("HTTP/1.1 200 OK\r\n", {}, 60000);
    ScriptedServer other("HTTP/1.1 200 OK\r\n", {}, 60000);
    QVERIFY(full.listen(QHostAddress::LocalHost));
    QVERIFY(other.listen(QHostAddress::LocalHost));
    const QStringList before = inheritable();
    HttpClient client;
    QStringList errors;
    const auto send = [&](const ScriptedServer &server) {
        QVERIFY(client
                    .start({"POST", server.url(), "application/json", kBody, std::chrono::milliseconds(1500)},
                        [&errors](const HttpClient::Outcome &outcome) { errors.append(outcome.error); })
                    .ok());
    };
    for (int i = 0; i < HttpClient::transfersPerServer + 2; ++i)
        send(full);
    send(other);

    // The two beyond the bound end at once, unsent; the other server is not held up.
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 2, 500);
    const QString refused = QStringLiteral("Not sent: %1 requests to 127.0.0.1:%2 still running")
                                .arg(HttpClient::transfersPerServer)
                                .arg(full.serverPort());
    QCOMPARE(errors, QStringList({refused, refused}));
    QTRY_COMPARE(other.requests, 1);
    QCOMPARE(full.requests, HttpClient::transfersPerServer);
    // Nor do their connections, or libcurl's wake-up pair, reach a child process.
    QCOMPARE(inheritable(), before);

    // Their time limit frees the server for the next.
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), HttpClient::transfersPerServer + 3, 5000);
    QCOMPARE(errors.count(QStringLiteral("No answer within 1.5 s")), HttpClient::transfersPerServer + 1);
    send(full);
    QTRY_COMPARE(full.requests, HttpClient::transfersPerServer + 1);
}

void TestHttpClient::lookupNeverAnswered_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("time limit") << "limit";
    QTest::newRow("cancelled") << "cancel";
    QTest::newRow("client deleted") << "delete";
}

// libcurl looks the name up in a thread; nothing may wait for that thread on ours.
void TestHttpClient::lookupNeverAnswered()
{
    QFETCH(QString, end);
    if (const QString why = silenceNameServer(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QStringList before = inheritable();
    auto client = std::make_unique<HttpClient>();
    QList<HttpClient::Outcome> outcomes;
    const Result<quint64> started = client->start(
        {"POST", "http://graphics.brenvale.invalid:5201", "application/json", kBody, std::chrono::milliseconds(1000)},
        [&outcomes](const HttpClient::Outcome &outcome) { outcomes.append(outcome); });
    QVERIFY(started.ok());
    QTest::qWait(300);
    QVERIFY(outcomes.isEmpty());
    // The lookup's socket pair included.
    QCOMPARE(inheritable(), before);

    QElapsedTimer clock;
    clock.start();
    if (end == QLatin1String("limit")) {
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 5000);
        QCOMPARE(outcomes.constFirst().error, QStringLiteral("No answer within 1 s"));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    } else {
        if (end == QLatin1String("cancel"))
            client->cancel(started.value());
        else
            client.reset();
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(100);
        QVERIFY(outcomes.isEmpty());
    }
}

// However long the resolver waits for its name server, one lookup per name runs at a time: the
// requests that come meanwhile wait for it within their own limit, and later ones start no other.
void TestHttpClient::oneLookupPerName()
{
    if (const QString why = silenceNameServer(); !why.isEmpty())
        QSKIP(qPrintable(why));
    HttpClient client;
    QStringList errors;
    const auto send = [&](int count) {
        for (int i = 0; i < count; ++i) {
            for (const char *url : {"http://main.brenvale.invalid:5201", "http://backup.brenvale.invalid:5201"}) {
                QVERIFY(client
                            .start({"POST", url, "application/json", kBody, std::chrono::milliseconds(1000)},
                                [&errors](const HttpClient::Outcome &outcome) { errors.append(outcome.error); })
                            .ok());
            }
            QTest::qWait(100);
        }
    };
    const int before = threadCount();
    QElapsedTimer clock;
    clock.start();
    send(3);
    QCOMPARE(threadCount(), before + 2);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 6, 1500);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));

    // The lookups outlive those requests; the next ones wait for them too.
    send(2);
    QCOMPARE(threadCount(), before + 2);
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 10, 1500);
    QTest::qWait(200);
    QCOMPARE(errors, QStringList(10, QStringLiteral("No answer within 1 s")));
}

// A name found is handed to libcurl: the request reaches the server, and the next one to the same
// name goes without a lookup of its own.
void TestHttpClient::namedServerAnswers()
{
    if (const QString why = silenceNameServer(); !why.isEmpty())
        QSKIP(qPrintable(why));
    ScriptedServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", {}, 0);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    HttpClient client;
    QList<HttpClient::Outcome> outcomes;
    const QByteArray url = "http://graphics.brenvale.test:" + QByteArray::number(server.serverPort());
    const auto send = [&] {
        QVERIFY(client
                    .start({"POST", url, "application/json", kBody, std::chrono::milliseconds(5000)},
                        [&outcomes](const HttpClient::Outcome &outcome) { outcomes.append(outcome); })
                    .ok());
    };
    send();
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 5000);
    const int before = threadCount();
    send();
    QCOMPARE(threadCount(), before);
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 2, 5000);
    for (const HttpClient::Outcome &outcome : std::as_const(outcomes)) {
        QVERIFY2(outcome.answered, qPrintable(outcome.error));
        QCOMPARE(outcome.content, QByteArray("ok"));
    }
    QCOMPARE(server.requests, 2);
}

// A request whose limit passed while it waited for its name is reported from the event loop, not
// from inside the start of the next request, which its handler would then run in the middle of.
void TestHttpClient::noOutcomeInsideStart()
{
    if (const QString why = silenceNameServer(); !why.isEmpty())
        QSKIP(qPrintable(why));
    HttpClient client;
    QStringList errors;
    const HttpClient::Handler note = [&errors](const HttpClient::Outcome &outcome) { errors.append(outcome.error); };
    QVERIFY(
        client.start({"POST", "http://early.brenvale.invalid", "", kBody, std::chrono::milliseconds(50)}, note).ok());
    QThread::msleep(100); // its limit passes with no turn of the event loop
    QVERIFY(
        client.start({"POST", "http://late.brenvale.invalid", "", kBody, std::chrono::milliseconds(1000)}, note).ok());
    QVERIFY(errors.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(errors, QStringList {QStringLiteral("No answer within 0.05 s")}, 500);
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "TestHttpClient.moc"
