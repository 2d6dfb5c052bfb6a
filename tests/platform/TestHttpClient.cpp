// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// HTTP requests against servers that misbehave: one request and one outcome each, within the
// time limit, and only the start of an over-long answer kept. Servers listen on 127.0.0.1.
#include "HttpClient.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace std::chrono_literals;

namespace {

const QByteArray kBody = R"({"action":"play_motions"})";

enum class Way { CloseAtOnce, StatusThenClose, CutBody, EndlessHeaderLine, EndlessBody, Trickle };

// Takes whole requests and answers each in one scripted way.
class ScriptedServer : public QObject
{
public:
    explicit ScriptedServer(Way way) : m_way(way)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QByteArray url() const { return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()); }

    int connections = 0;
    int requests = 0;
    int closed = 0;

private:
    void take(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n") || !buffer.endsWith(kBody))
            return;
        buffer.clear();
        ++requests;
        switch (m_way) {
        case Way::CloseAtOnce:
            break;
        case Way::StatusThenClose:
            socket->write("HTTP/1.1 200 OK\r\n");
            break;
        case Way::CutBody:
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhttp");
            break;
        case Way::EndlessHeaderLine:
            socket->write("HTTP/1.1 200 OK\r\nX-Long: ");
            return pump(socket, QByteArray(64 * 1024, 'z'));
        case Way::EndlessBody:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
            return pump(socket, "http://" + QByteArray(64 * 1024, 'y'));
        case Way::Trickle: {
            auto *timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [socket, sent = qsizetype(0)]() mutable {
                static const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
                if (sent < answer.size())
                    socket->write(answer.mid(sent++, 1));
            });
            timer->start(100);
            return;
        }
        }
        socket->disconnectFromHost();
    }

    // Writes without end while the client reads.
    void pump(QTcpSocket *socket, const QByteArray &chunk)
    {
        const auto more = [socket, chunk] {
            if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size())
                socket->write(chunk);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    }

    Way m_way;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failureBeforeTheAnswerIsComplete_data();
    void failureBeforeTheAnswerIsComplete();
    void endlessAnswerKeepsItsStart();

private:
    // Runs one request to its outcome; counts the handler's calls.
    std::optional<HttpClient::Outcome> run(HttpClient &client, const QByteArray &url, std::chrono::milliseconds limit);
    int m_calls = 0;
};

std::optional<HttpClient::Outcome> TestHttpClient::run(
    HttpClient &client, const QByteArray &url, std::chrono::milliseconds limit)
{
    std::optional<HttpClient::Outcome> outcome;
    m_calls = 0;
    client.start({"POST", url, "application/json", kBody, limit}, [this, &outcome](const HttpClient::Outcome &got) {
        ++m_calls;
        outcome = got;
    });
    return QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 10000) ? outcome : std::nullopt;
}

void TestHttpClient::failureBeforeTheAnswerIsComplete_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QString>("error"); // empty: libcurl's own text

    QTest::newRow("closed without an answer") << Way::CloseAtOnce << 5000 << "Connection closed";
    QTest::newRow("closed after the status line") << Way::StatusThenClose << 5000 << "Connection closed";
    QTest::newRow("closed within the body") << Way::CutBody << 5000 << "";
    QTest::newRow("endless header line") << Way::EndlessHeaderLine << 5000 << "Reply header too large";
    // 40 bytes 100 ms apart: a limit on silence alone would let the answer through.
    QTest::newRow("trickle past the limit") << Way::Trickle << 1000 << "Operation canceled";
}

void TestHttpClient::failureBeforeTheAnswerIsComplete()
{
    QFETCH(Way, way);
    QFETCH(int, limitMs);
    QFETCH(QString, error);
    ScriptedServer server(way);
    QVERIFY(server.listen());
    HttpClient client;

    QElapsedTimer clock;
    clock.start();
    const auto outcome = run(client, server.url(), std::chrono::milliseconds(limitMs));
    QVERIFY(outcome);
    QVERIFY2(clock.elapsed() < limitMs + 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!outcome->answered);
    if (error.isEmpty())
        QVERIFY(!outcome->error.isEmpty());
    else
        QCOMPARE(outcome->error, error);

    // Nothing is sent again, and nothing more is reported.
    QTest::qWait(300);
    QCOMPARE(server.connections, 1);
    QCOMPARE(server.requests, 1);
    QCOMPARE(m_calls, 1);
}

void TestHttpClient::endlessAnswerKeepsItsStart()
{
    ScriptedServer server(Way::EndlessBody);
    QVERIFY(server.listen());
    HttpClient client;

    const auto outcome = run(client, server.url(), 5s);
    QVERIFY(outcome);
    QVERIFY2(outcome->answered, qPrintable(outcome->error));
    QCOMPARE(outcome->status, 200);
    QCOMPARE(outcome->content.size(), HttpClient::contentCap);
    QVERIFY(outcome->content.startsWith("http://yyyy"));
    // The client hung up instead of reading on.
    QTRY_COMPARE(server.closed, 1);
    QCOMPARE(m_calls, 1);
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "TestHttpClient.moc"
