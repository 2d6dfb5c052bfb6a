// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Faults seen from inside, where the on-screen log and the message boxes show: graphics
// servers that refuse, stall or answer 500, a relay box that is gone, and a stream of peer
// messages that each open a box while more keep coming.
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/ErrorReport.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/TriggerController.h"
#include "gui/app/Brenvale.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/PeerBoxes.h"
#include "gui/windows/Window1.h"
#include "support/ChildProcess.h"
#include "support/PeerNamespace.h"
#include "support/TestFiles.h"
#include "support/gui/LogWatch.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <memory>

namespace {
const QDateTime kNow(QDate(2026, 5, 2), QTime(14, 7, 30));
// Loopback addresses of this namespace for the graphics servers; nothing listens on the last.
const QString kStallingServer = QStringLiteral("127.0.0.2");
const QString kFailingServer = QStringLiteral("127.0.0.3");
const QString kRefusingServer = QStringLiteral("127.0.0.4");

QByteArray peerMessage(qint32 command, const QByteArray &data)
{
    QByteArray frame(8, '\0');
    qToBigEndian(qint32(8 + data.size()), frame.data());
    qToBigEndian(command, frame.data() + 4);
    return frame + data;
}

// The rows of `rows` that begin with "Error ".
QStringList errorRows(const QStringList &rows)
{
    QStringList errors;
    for (const QString &row : rows) {
        if (row.startsWith(QLatin1String("Error ")))
            errors.append(row);
    }
    return errors;
}
} // namespace

class TestFaultsInProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void relayBoxGone();
    void graphicsServersFailing();
    void peerMessageStream();
    void boxesWaitAndAreBounded();

private:
    ChildProcess *startGraphicsServer(const QString &address, const QStringList &arguments);
    QString dailyLogPath() const { return DailyLogFile(kNow).path(m_logFolder); }

    QTemporaryDir m_logDir;
    QString m_logFolder;
    Brenvale *m_app = nullptr;
    Window1 *m_main = nullptr;
    // Answers the boxes of the test running; a box shown with none is unexpected.
    MsgBox::Responder m_answerer;
    QStringList m_unexpectedBoxes;
    PeerNamespace m_peer;
    bool m_peerReady = false;
    QString m_peerWhy;
    std::vector<std::unique_ptr<ChildProcess>> m_servers;
    QStringList m_reports;
};

void TestFaultsInProcess::initTestCase()
{
    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append(where + QStringLiteral(": ") + kind + QStringLiteral(": ") + message);
    });
    QVERIFY(m_logDir.isValid());
    m_logFolder = m_logDir.path() + QLatin1Char('/');
    m_peerReady = m_peer.create(&m_peerWhy);

    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    ModernPreferences::Preferences->Load();
    auto &prefs = ModernPreferences::Preferences;
    prefs[QStringLiteral("chrWorksIP")] = QString();
    prefs[QStringLiteral("chrWorksIPBup")] = QString();
    prefs[QStringLiteral("motion1Name")] = QStringLiteral("motion1");
    prefs[QStringLiteral("motion2Name")] = QStringLiteral("motion2");
    // Until a test names a relay box, commands go to our own loopback, never outside.
    prefs[QStringLiteral("IPAddr")] = QStringLiteral("127.0.0.1");
    prefs[QStringLiteral("LogPath")] = m_logFolder;
    prefs[QStringLiteral("VTid")] = QStringLiteral("1");

    m_app = new Brenvale(Services {[] { return kNow; }, {}, nullptr, {}}, [this](const MsgBox::Request &request) {
        if (m_answerer)
            return m_answerer(request);
        m_unexpectedBoxes.append(request.text);
        return MsgBox::Answer::Ok;
    });
    m_main = Window1::instance();
    QVERIFY(m_main);
    QVERIFY2(m_main->controller()->RelayUDP->IsConnected(), "the relay socket did not bind port 5000");
    QVERIFY2(m_main->controller()->ChatSocket->IsConnected(), "the peer socket did not bind port 8083");
    // The echoes of our own join and roll call come back through loopback; let them pass
    // before the tests watch the log.
    QTest::qWait(300);
}

void TestFaultsInProcess::init()
{
    m_reports.clear();
    m_main = Window1::openInstance();
    QVERIFY(m_main);
}

void TestFaultsInProcess::cleanup()
{
    m_answerer = {};
    QVERIFY2(m_unexpectedBoxes.isEmpty(), qPrintable(m_unexpectedBoxes.join(u'\n')));
    QVERIFY2(m_reports.isEmpty(), qPrintable(m_reports.join(u'\n')));
}

void TestFaultsInProcess::cleanupTestCase()
{
    m_answerer = {};
    delete Window1::openInstance();
    delete m_app;
    m_servers.clear();
    ErrorReport::setObserver({});
}

ChildProcess *TestFaultsInProcess::startGraphicsServer(const QString &address, const QStringList &arguments)
{
    const QString program
        = qEnvironmentVariable("BRENVALE_BUILD_DIR") + QStringLiteral("/tools/brenvale-graphics-server");
    auto server = std::make_unique<ChildProcess>(QStringLiteral("graphics server on ") + address);
    const bool started = server->start(QString(), program,
        QStringList {QStringLiteral("--bind"), address, QStringLiteral("--quit-after"), QStringLiteral("60")}
            + arguments);
    if (!started || !server->waitUntilListening(10000)) {
        qWarning("graphics server on %s did not start: %s", qPrintable(address), qPrintable(server->tail()));
        return nullptr;
    }
    m_servers.push_back(std::move(server));
    return m_servers.back().get();
}

void TestFaultsInProcess::relayBoxGone()
{
    if (!m_peerReady)
        QSKIP(qPrintable(m_peerWhy));
    // The peer host is up but nothing listens on its port 5000.
    ModernPreferences::Preferences[QStringLiteral("IPAddr")] = m_peer.address();
    m_main->controller()->Enabled = true;
    const QByteArray before = readAll(dailyLogPath());
    LogWatch log(m_main->Log, kNow);

    QVERIFY(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel0")));
    QVERIFY(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel3")));
    // Time for a port-unreachable answer to come back and be noticed.
    QTest::qWait(300);
    const QString logged = QStringLiteral("Logged %1 to ") + dailyLogPath();
    QCOMPARE(log.added(),
        (QStringList {QStringLiteral("Rx AppleScript : Key 1 On"), QStringLiteral("CHRW1 command not sent"),
            QStringLiteral("CHRW2 command not sent"), QStringLiteral("Sent Key 1 On"),
            logged.arg(QStringLiteral("Key 1 On")), QStringLiteral("Rx AppleScript : Key 2 Off"),
            QStringLiteral("CHRW1 command not sent"), QStringLiteral("CHRW2 command not sent"),
            QStringLiteral("Sent Key 2 Off"), logged.arg(QStringLiteral("Key 2 Off"))}));
    const QByteArray added = readAll(dailyLogPath()).mid(before.size());
    QCOMPARE(added.count("\r\n"), 2);
    QVERIFY2(added.contains("\tKey 1 On on VT 1\r\n") && added.endsWith("\tKey 2 Off on VT 1\r\n"), added.constData());
    QVERIFY(m_main->controller()->RelayUDP->IsConnected());
}

void TestFaultsInProcess::graphicsServersFailing()
{
    if (!m_peerReady)
        QSKIP(qPrintable(m_peerWhy));
    ChildProcess *relayBox
        = m_peer.startTool(QStringLiteral("brenvale-relay-box"), {QStringLiteral("--no-reply")}, &m_peerWhy);
    QVERIFY2(relayBox, qPrintable(m_peerWhy));
    ChildProcess *stalling = startGraphicsServer(kStallingServer, {QStringLiteral("--stall")});
    ChildProcess *failing = startGraphicsServer(kFailingServer,
        {QStringLiteral("--status"), QStringLiteral("500"), QStringLiteral("--body"), QStringLiteral("broken")});
    QVERIFY(stalling && failing);
    auto &prefs = ModernPreferences::Preferences;
    prefs[QStringLiteral("IPAddr")] = m_peer.address();
    prefs[QStringLiteral("chrWorksIP")] = kRefusingServer;
    prefs[QStringLiteral("chrWorksIPBup")] = kStallingServer;
    m_main->controller()->Enabled = true;
    LogWatch log(m_main->Log, kNow);

    QElapsedTimer sinceKey;
    sinceKey.start();
    QVERIFY(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel0")));
    // Refused at once; the relay command went out all the same.
    QTRY_COMPARE_WITH_TIMEOUT(errorRows(log.added()), QStringList({QStringLiteral("Error Connection refused")}), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(relayBox->lines().filter(QStringLiteral("\"cmdkey0\\n\"")).size(), 1, 5000);
    QVERIFY(log.added().contains(QStringLiteral("Sent Key 1 On")));

    // A 500 answer is an answer, not an error.
    prefs[QStringLiteral("chrWorksIP")] = kFailingServer;
    prefs[QStringLiteral("chrWorksIPBup")] = QString();
    QVERIFY(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel1")));
    QTRY_COMPARE_WITH_TIMEOUT(failing->lines().size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(relayBox->lines().filter(QStringLiteral("\"cmdkey1\\n\"")).size(), 1, 5000);

    // The stalled request ends with an error row after its 5 seconds, not before.
    QVERIFY(QTest::qWaitFor([&] { return errorRows(log.added()).size() >= 2; }, 9000));
    const qint64 elapsed = sinceKey.elapsed();
    QVERIFY2(elapsed >= 4500, qPrintable(QStringLiteral("timed out after %1 ms").arg(elapsed)));
    QTest::qWait(200);
    const QStringList errors = errorRows(log.added());
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.at(1) != errors.at(0), qPrintable(errors.at(1)));
    QCOMPARE(stalling->lines().size(), 1);
    prefs[QStringLiteral("chrWorksIP")] = QString();
}

void TestFaultsInProcess::peerMessageStream()
{
    // Two other hosts, told apart by their loopback source addresses, each with eight messages
    // in order; one datagram carries two messages and one message comes in two datagrams.
    QUdpSocket hostA;
    QUdpSocket hostB;
    QVERIFY(hostA.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    QVERIFY(hostB.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    const QHostAddress program(QStringLiteral("127.0.0.1"));
    const quint16 port = 8083;
    const auto message = [](char host, int i) { return peerMessage(5, QByteArray(1, host) + QByteArray::number(i)); };
    const auto send = [&](QUdpSocket &socket, const QByteArray &bytes) {
        QCOMPARE(socket.writeDatagram(bytes, program, port), qint64(bytes.size()));
    };

    QStringList boxes;
    int open = 0;
    int mostOpen = 0;
    bool restSent = false;
    m_answerer = ([&](const MsgBox::Request &request) {
        boxes.append(request.text);
        mostOpen = qMax(mostOpen, ++open);
        if (!restSent) {
            restSent = true;
            const QList<QByteArray> restA = {message('A', 2), message('A', 3), message('A', 4),
                message('A', 5) + message('A', 6), message('A', 7), message('A', 8)};
            const QByteArray b7 = message('B', 7);
            const QList<QByteArray> restB = {message('B', 2), message('B', 3), message('B', 4), message('B', 6),
                message('B', 5), b7.left(5), b7.mid(5), message('B', 8)};
            for (qsizetype i = 0; i < qMax(restA.size(), restB.size()); ++i) {
                if (i < restA.size())
                    send(hostA, restA.at(i));
                if (i < restB.size())
                    send(hostB, restB.at(i));
            }
            // Command 21 never opens a box; while disabled it does nothing at all.
            send(hostA, peerMessage(21, "Enabled"));
        }
        // The operator reads the box for a while; the loop keeps running meanwhile.
        QEventLoop reading;
        QTimer::singleShot(30, &reading, &QEventLoop::quit);
        reading.exec();
        --open;
        return MsgBox::Answer::Ok;
    });

    m_main->controller()->Enabled = false;
    send(hostA, message('A', 1));
    send(hostB, message('B', 1));
    QVERIFY(QTest::qWaitFor([&] { return boxes.size() >= 16; }, 10000));
    QTest::qWait(300);
    QCOMPARE(mostOpen, 1);
    QCOMPARE(boxes.size(), 16);
    const QStringList fromA = boxes.filter(QStringLiteral("A"));
    const QStringList fromB = boxes.filter(QStringLiteral("B"));
    QStringList expectedA;
    QStringList expectedB;
    for (int i = 1; i <= 8; ++i) {
        expectedA.append(QStringLiteral("A%1").arg(i));
        expectedB.append(QStringLiteral("B%1").arg(i));
    }
    QCOMPARE(fromA, expectedA);
    // B5 was sent after B6 on purpose: the boxes follow the order of arrival.
    expectedB.swapItemsAt(4, 5);
    QCOMPARE(fromB, expectedB);
    QVERIFY(!m_main->controller()->Enabled);
}

void TestFaultsInProcess::boxesWaitAndAreBounded()
{
    const auto sendFrom = [](const QString &address, const QByteArray &bytes) {
        QUdpSocket socket;
        return socket.bind(QHostAddress(address), 0)
            && socket.writeDatagram(bytes, QHostAddress(QStringLiteral("127.0.0.1")), 8083) == bytes.size();
    };
    QSignalSpy received(m_main->controller()->ChatSocket, &AutoDiscovery::ReceivedMessage);
    QStringList boxes;
    bool disabledWhileOpen = false;
    bool othersHandled = false;
    const int others = 12;
    m_answerer = ([&](const MsgBox::Request &request) {
        boxes.append(request.text);
        if (boxes.size() == 1) {
            // While the first box is open another host enables itself, and more senders send
            // one message each.
            sendFrom(QStringLiteral("127.0.0.3"), peerMessage(21, "Enabled"));
            disabledWhileOpen = QTest::qWaitFor([&] { return !m_main->controller()->Enabled; }, 5000);
            const qsizetype before = received.count();
            for (int i = 1; i <= others; ++i)
                sendFrom(QStringLiteral("127.0.1.%1").arg(i), peerMessage(5, "B" + QByteArray::number(i)));
            othersHandled = QTest::qWaitFor([&] { return received.count() >= before + others; }, 5000);
        }
        return MsgBox::Answer::Ok;
    });

    m_main->controller()->Enabled = true;
    QByteArray fifty;
    for (int i = 1; i <= 50; ++i)
        fifty += peerMessage(5, "A" + QByteArray::number(i));
    QVERIFY(sendFrom(QStringLiteral("127.0.0.2"), fifty));
    QTRY_COMPARE(boxes.size(), 1 + PeerBoxes::MaxWaiting);
    QVERIFY(disabledWhileOpen && othersHandled);
    QTest::qWait(100);
    // The first sender's share, then the others in order until the queue was full.
    QStringList expected;
    for (int i = 1; i <= PeerBoxes::MaxPerSender; ++i)
        expected.append(QStringLiteral("A%1").arg(i));
    for (int i = 1; expected.size() < 1 + PeerBoxes::MaxWaiting; ++i)
        expected.append(QStringLiteral("B%1").arg(i));
    QCOMPARE(boxes, expected);
}

QTEST_MAIN(TestFaultsInProcess)
#include "TestFaultsInProcess.moc"
