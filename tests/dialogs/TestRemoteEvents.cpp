// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// Remote-control events reaching the application object, with the main window open on the
// program's own ports and a relay box and a graphics server on a second host.
#include "core/platform/ErrorReport.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TriggerController.h"
#include "gui/app/Brenvale.h"
#include "gui/windows/Window1.h"
#include "support/ChildProcess.h"
#include "support/PeerNamespace.h"
#include "support/SimulatorOutput.h"
#include "support/TestFiles.h"
#include "support/gui/LogWatch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using SimulatorOutput::graphicsRequests;
using SimulatorOutput::relayCommands;

namespace {
const QDateTime kNow(QDate(2026, 3, 14), QTime(9, 26, 53));
const QString kVtId = QStringLiteral("4");
const QString kMotion1 = QStringLiteral("Lower Third");
const QString kMotion2 = QStringLiteral("Bug \u00e9");

} // namespace

class TestRemoteEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keyEventWhileDisabled_data();
    void keyEventWhileDisabled();
    void keyEventWhileEnabled_data();
    void keyEventWhileEnabled();
    void otherClassDeclinedSilently_data();
    void otherClassDeclinedSilently();
    void malformedIdLoggedAndDeclined_data();
    void malformedIdLoggedAndDeclined();
    void eventWithoutMainWindowOpensOne();

private:
    void keyEventTable();
    QString dailyLogPath() const { return DailyLogFile(kNow).path(m_logFolder); }
    // Proves that nothing went out since the marks: the next command sent is the first (and
    // only) one the relay box and the graphics server see.
    void expectNothingSentSince(qsizetype relayMark, qsizetype graphicsMark);

    QTemporaryDir m_logDir;
    QString m_logFolder;
    Brenvale *m_app = nullptr;
    Window1 *m_main = nullptr;
    PeerNamespace m_peer;
    bool m_peerReady = false;
    QString m_peerWhy;
    ChildProcess *m_relay = nullptr;
    ChildProcess *m_graphics = nullptr;
    QStringList m_reports;
};

void TestRemoteEvents::initTestCase()
{
    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append(where + QStringLiteral(": ") + kind + QStringLiteral(": ") + message);
    });
    QVERIFY(m_logDir.isValid());
    m_logFolder = m_logDir.path() + QLatin1Char('/');

    m_peerReady = m_peer.create(&m_peerWhy);
    if (m_peerReady) {
        m_relay = m_peer.startTool(QStringLiteral("brenvale-relay-box"), {QStringLiteral("--no-reply")}, &m_peerWhy);
        m_graphics = m_relay ? m_peer.startTool(QStringLiteral("brenvale-graphics-server"), {}, &m_peerWhy) : nullptr;
        QVERIFY2(m_relay && m_graphics, qPrintable(m_peerWhy));
    } else {
        qWarning("No second host (%s): the tests that send are skipped.", qPrintable(m_peerWhy));
    }
    // Without a second host nothing is ever sent while enabled; loopback keeps it that way.
    const QString outside = m_peerReady ? m_peer.address() : QStringLiteral("127.0.0.1");

    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    ModernPreferences::Preferences->Load();
    auto &prefs = ModernPreferences::Preferences;
    // The main graphics server is left out, so that the graphics command leaves a row of its
    // own ("CHRW1 command not sent") between the event's row and the relay command's.
    prefs[QStringLiteral("chrWorksIP")] = QString();
    prefs[QStringLiteral("chrWorksIPBup")] = outside;
    prefs[QStringLiteral("motion1Name")] = kMotion1;
    prefs[QStringLiteral("motion2Name")] = kMotion2;
    prefs[QStringLiteral("IPAddr")] = outside;
    prefs[QStringLiteral("LogPath")] = m_logFolder;
    prefs[QStringLiteral("VTid")] = kVtId;

    m_app = new Brenvale(Services {[] { return kNow; }, {}, nullptr, {}});
    m_main = Window1::instance();
    QVERIFY(m_main);
    QVERIFY2(m_main->controller()->RelayUDP->IsConnected(), "the relay socket did not bind port 5000");
}

void TestRemoteEvents::init()
{
    m_reports.clear();
    m_main = Window1::openInstance();
    QVERIFY(m_main);
}

void TestRemoteEvents::cleanup()
{
    QVERIFY2(m_reports.isEmpty(), qPrintable(m_reports.join(u'\n')));
}

void TestRemoteEvents::cleanupTestCase()
{
    delete Window1::openInstance();
    delete m_app;
    ErrorReport::setObserver({});
}

void TestRemoteEvents::keyEventTable()
{
    QTest::addColumn<QString>("eventID");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("motion");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("sentRow");
    QTest::addColumn<QString>("dailyText");

    QTest::newRow("Rel0") << QStringLiteral("Rel0") << QStringLiteral("Rx AppleScript : Key 1 On")
                          << QStringLiteral("play_motions") << kMotion1 << QByteArray("cmdkey0\n")
                          << QStringLiteral("Sent Key 1 On") << QStringLiteral("Key 1 On");
    QTest::newRow("Rel1") << QStringLiteral("Rel1") << QStringLiteral("Rx AppleScript : Key 1 Off")
                          << QStringLiteral("finish_motions") << kMotion1 << QByteArray("cmdkey1\n")
                          << QStringLiteral("Sent Key 1 Off") << QStringLiteral("Key 1 Off");
    QTest::newRow("Rel2") << QStringLiteral("Rel2") << QStringLiteral("Rx AppleScript : Key 2 On")
                          << QStringLiteral("play_motions") << kMotion2 << QByteArray("cmdkey2\n")
                          << QStringLiteral("Sent Key 2 On") << QStringLiteral("Key 2 On");
    QTest::newRow("Rel3") << QStringLiteral("Rel3") << QStringLiteral("Rx AppleScript : Key 2 Off")
                          << QStringLiteral("finish_motions") << kMotion2 << QByteArray("cmdkey3\n")
                          << QStringLiteral("Sent Key 2 Off") << QStringLiteral("Key 2 Off");
}

void TestRemoteEvents::keyEventWhileDisabled_data()
{
    keyEventTable();
}

void TestRemoteEvents::keyEventWhileDisabled()
{
    QFETCH(QString, eventID);
    QFETCH(QString, logLine);

    m_main->controller()->Enabled = false;
    const qsizetype relayMark = m_relay ? m_relay->mark() : 0;
    const qsizetype graphicsMark = m_graphics ? m_graphics->mark() : 0;
    const QByteArray dailyBefore = readAll(dailyLogPath());
    LogWatch log(m_main->Log, kNow);

    // Handled all the same: the senders refuse on their own, after the event's row, graphics first.
    QCOMPARE(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), eventID), true);
    QCOMPARE(log.added(),
        (QStringList {logLine, QStringLiteral("CHRW1 command not sent"), QStringLiteral("CHRW2 command not sent"),
            QStringLiteral("Trigger Disabled!")}));
    QCOMPARE(readAll(dailyLogPath()), dailyBefore);
    expectNothingSentSince(relayMark, graphicsMark);
}

void TestRemoteEvents::keyEventWhileEnabled_data()
{
    keyEventTable();
}

void TestRemoteEvents::keyEventWhileEnabled()
{
    QFETCH(QString, eventID);
    QFETCH(QString, logLine);
    QFETCH(QString, action);
    QFETCH(QString, motion);
    QFETCH(QByteArray, datagram);
    QFETCH(QString, sentRow);
    QFETCH(QString, dailyText);
    if (!m_peerReady)
        QSKIP(qPrintable(m_peerWhy));

    m_main->controller()->Enabled = true;
    const qsizetype relayMark = m_relay->mark();
    const qsizetype graphicsMark = m_graphics->mark();
    const QByteArray dailyBefore = readAll(dailyLogPath());
    LogWatch log(m_main->Log, kNow);

    QCOMPARE(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), eventID), true);

    // The event's row, then the graphics command (its skipped main server leaves the only row
    // it writes), then the relay command with its daily log line.
    QCOMPARE(log.added(),
        (QStringList {logLine, QStringLiteral("CHRW1 command not sent"), sentRow,
            QStringLiteral("Logged ") + dailyText + QStringLiteral(" to ") + dailyLogPath()}));
    QCOMPARE(readAll(dailyLogPath()), dailyBefore + DailyLogFile(kNow).line(dailyText, kVtId));

    QTRY_COMPARE_WITH_TIMEOUT(relayCommands(m_relay->linesSince(relayMark)).size(), 1, 5000);
    const auto command = relayCommands(m_relay->linesSince(relayMark)).first();
    QCOMPARE(command.data, datagram);
    QCOMPARE(command.fromAddress, m_peer.localAddress());
    QCOMPARE(command.fromPort, 5000);

    QTRY_COMPARE_WITH_TIMEOUT(graphicsRequests(m_graphics->linesSince(graphicsMark)).size(), 1, 5000);
    const auto request = graphicsRequests(m_graphics->linesSince(graphicsMark)).first();
    QCOMPARE(request.method, QStringLiteral("POST"));
    QCOMPARE(request.peer.section(u':', 0, 0), m_peer.localAddress());
    QCOMPARE(request.headers.value(QLatin1String("content-type")).toString(), QStringLiteral("application/json"));
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    QCOMPARE(body.value(QLatin1String("action")).toString(), action);
    QCOMPARE(body.value(QLatin1String("motions")).toArray(), QJsonArray {motion});
    QCOMPARE(body.value(QLatin1String("channel")).toString(), QStringLiteral("live1"));
}

void TestRemoteEvents::otherClassDeclinedSilently_data()
{
    QTest::addColumn<QString>("eventClass");
    QTest::newRow("all lower case") << QStringLiteral("bvrq");
    QTest::newRow("all upper case") << QStringLiteral("BVRQ");
    QTest::newRow("case flipped") << QStringLiteral("bVRQ");
    QTest::newRow("trailing space") << QStringLiteral("Bvrq ");
    QTest::newRow("leading space") << QStringLiteral(" Bvrq");
    QTest::newRow("prefix only") << QStringLiteral("Bvr");
    QTest::newRow("empty") << QString();
    QTest::newRow("core event class") << QStringLiteral("aevt");
}

void TestRemoteEvents::otherClassDeclinedSilently()
{
    QFETCH(QString, eventClass);
    // Enabled, so that an event taken for a key command would really send.
    m_main->controller()->Enabled = true;
    const qsizetype relayMark = m_relay ? m_relay->mark() : 0;
    const qsizetype graphicsMark = m_graphics ? m_graphics->mark() : 0;
    LogWatch log(m_main->Log, kNow);

    QCOMPARE(m_app->Event_HandleAppleEvent(eventClass, QStringLiteral("Rel0")), false);
    QCOMPARE(log.added(), QStringList());
    expectNothingSentSince(relayMark, graphicsMark);
}

void TestRemoteEvents::malformedIdLoggedAndDeclined_data()
{
    QTest::addColumn<QString>("eventID");
    QTest::newRow("lower case") << QStringLiteral("rel0");
    QTest::newRow("upper case") << QStringLiteral("REL3");
    QTest::newRow("next number") << QStringLiteral("Rel4");
    QTest::newRow("too short") << QStringLiteral("Rel");
    QTest::newRow("too long") << QStringLiteral("Rel00");
    QTest::newRow("leading space") << QStringLiteral(" Rel1");
    QTest::newRow("trailing space") << QStringLiteral("Rel2 ");
    QTest::newRow("empty") << QString();
}

void TestRemoteEvents::malformedIdLoggedAndDeclined()
{
    QFETCH(QString, eventID);
    m_main->controller()->Enabled = true;
    const qsizetype relayMark = m_relay ? m_relay->mark() : 0;
    const qsizetype graphicsMark = m_graphics ? m_graphics->mark() : 0;
    const QByteArray dailyBefore = readAll(dailyLogPath());
    LogWatch log(m_main->Log, kNow);

    QCOMPARE(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), eventID), false);
    QCOMPARE(log.added(), QStringList {QStringLiteral("Error Malformed Applescript!")});
    QCOMPARE(readAll(dailyLogPath()), dailyBefore);
    expectNothingSentSince(relayMark, graphicsMark);
}

void TestRemoteEvents::eventWithoutMainWindowOpensOne()
{
    // Gone without its Close event (which would quit the program): the next event makes a new one.
    delete m_main;
    m_main = nullptr;
    QVERIFY(!Window1::openInstance());

    QCOMPARE(m_app->Event_HandleAppleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel1")), true);
    Window1 *fresh = Window1::openInstance();
    QVERIFY(fresh);
    QVERIFY(fresh->isVisible());
    QVERIFY2(fresh->controller()->RelayUDP->IsConnected(), "the new window did not bind the relay port again");
    // A new window starts disabled; its log holds the event, after the window's own opening.
    QStringList all;
    for (int i = fresh->Log->count() - 1; i >= 0; --i)
        all.append(LogWatch::textOf(fresh->Log->item(i)->text(), kNow));
    QCOMPARE(all.mid(all.size() - 4),
        (QStringList {QStringLiteral("Rx AppleScript : Key 1 Off"), QStringLiteral("CHRW1 command not sent"),
            QStringLiteral("CHRW2 command not sent"), QStringLiteral("Trigger Disabled!")}));
    QCOMPARE(all.size(), 5);
    QCOMPARE(all.first(), QStringLiteral("Logged Trigger Control Opened to ") + dailyLogPath());
}

void TestRemoteEvents::expectNothingSentSince(qsizetype relayMark, qsizetype graphicsMark)
{
    if (!m_peerReady)
        return;
    const bool wasEnabled = m_main->controller()->Enabled;
    m_main->controller()->Enabled = true;
    m_main->controller()->SendMessage(RelayCommand::Key2Off);
    m_main->controller()->chrWorksCommand(QStringLiteral("stop"), QStringLiteral("Key 2"));
    m_main->controller()->Enabled = wasEnabled;

    // Datagrams from one socket over one link keep their order: the probe's command comes first.
    QTRY_VERIFY_WITH_TIMEOUT(!relayCommands(m_relay->linesSince(relayMark)).isEmpty(), 5000);
    QCOMPARE(relayCommands(m_relay->linesSince(relayMark)).first().data, QByteArray("cmdkey3\n"));
    QCOMPARE(relayCommands(m_relay->linesSince(relayMark)).size(), 1);

    // Requests may overtake one another, so give a stray one time to show up as well.
    QTRY_VERIFY_WITH_TIMEOUT(!graphicsRequests(m_graphics->linesSince(graphicsMark)).isEmpty(), 5000);
    QTest::qWait(300);
    const auto requests = graphicsRequests(m_graphics->linesSince(graphicsMark));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(QJsonDocument::fromJson(requests.first().body).object().value(QLatin1String("action")).toString(),
        QStringLiteral("finish_motions"));
}

QTEST_MAIN(TestRemoteEvents)
#include "TestRemoteEvents.moc"
