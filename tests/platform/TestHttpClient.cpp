// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// HTTP requests against servers that misbehave: one request and one outcome each, within the
// time limit, and only the start of an over-long answer kept. Servers listen on 127.0.0.1.
#include "core/platform/HttpClient.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>

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

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneRequestOneOutcome_data();
    void oneRequestOneOutcome();
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
                                            << QByteArray() << 100 << 1000 << "Operation canceled";
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

QTEST_GUILESS_MAIN(TestHttpClient)
#include "TestHttpClient.moc"
