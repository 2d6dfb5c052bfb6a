// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The main window's main road over real sockets: tally datagrams to port 8900, the trigger
// buttons and the peer message, remote disabling, relay-box commands and replies, and the
// graphics servers' HTTP requests. Runs inside the test namespace only.
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/ErrorReport.h"
#include "core/platform/HostNetwork.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/TriggerController.h"
#include "gui/framework/DisclosureTriangle.h"
#include "gui/framework/MsgBox.h"
#include "gui/framework/Rectangle.h"
#include "gui/widgets/largeButton.h"
#include "gui/widgets/medButton.h"
#include "gui/windows/PeerBoxes.h"
#include "gui/windows/Window1.h"
#include "support/FakeGraphicsServer.h"
#include "support/gui/GuiTestKit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace GuiTestKit;

namespace {
const QColor kGrey(0x64, 0x64, 0x64);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kGreen(0x00, 0xFF, 0x00);
const QColor kBlack(0x00, 0x00, 0x00);
const QColor kEnabledText(0xFF, 0x70, 0x08);
const QColor kDisabledText(0x18, 0x9F, 0x9D);
constexpr quint8 kVt1 = 0x80; // display address 0, "VT ID" 1

// The address pair of the link to the relay-box host; both ends live in namespaces of ours.
const QString kRelayLocal = QStringLiteral("10.213.77.1");
const QString kRelayBox = QStringLiteral("10.213.77.2");

bool runIp(const QStringList &args, QString *error = nullptr)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), args);
    const bool ok = ip.waitForFinished(10000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
    if (!ok && error)
        *error = QStringLiteral("ip %1: %2")
                     .arg(args.join(QLatin1Char(' ')), QString::fromUtf8(ip.readAllStandardError()));
    return ok;
}
} // namespace

class TestWindowMainRoad : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void lampLooks_data();
    void lampLooks();
    void playOncePerOffToOnStep_data();
    void playOncePerOffToOnStep();
    void repeatedTallyEnablesAndLogsEveryTime();
    void droppedDatagramsTouchNothing_data();
    void droppedDatagramsTouchNothing();
    void vtIdComparesAsNumber_data();
    void vtIdComparesAsNumber();
    void failingPlayInTallyLeavesFlags();

    void triggerButtons_data();
    void triggerButtons();
    void remoteMessages_data();
    void remoteMessages();
    void boxDuringClick_data();
    void boxDuringClick();
    void checkBoxKeepsFocusUnderTallies();

    void relayCommandBytes_data();
    void relayCommandBytes();
    void relayKeyWhileDisabledSendsNothing();
    void relayReplies_data();
    void relayReplies();

    void graphicsRequests_data();
    void graphicsRequests();
    void graphicsWhileDisabled();
    void graphicsFailures_data();
    void graphicsFailures();
    void stalledGraphicsServerTimesOut();
    void graphicsServerClosingWithoutAnswer();

private:
    bool sendTally(const QByteArray &datagram);
    bool sendTallyValue(quint8 tallyByte) { return sendTally(tallyDatagram(kVt1, tallyByte)); }
    // The CommandTriggerEnabled messages the window sent since mark, counted once a marker
    // message sent after them has come back.
    int peerEnableMessagesSince(qsizetype mark);
    void setEnabled(bool on);
    QString dailyPath() const;
    QStringList newScreenMessages(int countBefore) const;
    bool startRelayBox(QString *why);
    QStringList relayBoxCommands() const;
    void setPreference(const QString &key, const QVariant &value);

    QTemporaryDir m_home;
    QString m_logFolder;
    QString m_marker;
    QString m_script;
    Window1 *m_window = nullptr;
    UDPSocket *m_tslSocket = nullptr;
    QUdpSocket m_sender;
    std::unique_ptr<QSignalSpy> m_tallySpy;
    std::unique_ptr<QSignalSpy> m_peerSpy;
    std::unique_ptr<QSignalSpy> m_relaySpy;
    std::unique_ptr<QSignalSpy> m_httpSpy;
    HttpClient *m_http = nullptr;
    // The host's addresses as the window sees them; empty gives the real ones.
    QStringList m_hostAddresses;
    // How far the window's monotonic clock is ahead of the real one.
    qint64 m_clockAheadMs = 0;
    QList<QString> m_reports;
    QList<MsgBox::Request> m_boxes;
    // The trigger's state as each box opened.
    QList<bool> m_enabledAtBox;
    int m_sentinel = 0;

    FakeGraphicsServer m_mainServer;
    FakeGraphicsServer m_backupServer;

    QString m_relayNamespace;
    QProcess *m_relayBox = nullptr;
    QByteArray m_relayOutput;
};

void TestWindowMainRoad::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_logFolder = m_home.filePath(QStringLiteral("logs")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_logFolder));
    m_marker = m_home.filePath(QStringLiteral("play-marker.txt"));
    m_script = bundleResourcesFolder() + QStringLiteral("/Play.scpt");
    QVERIFY2(m_script.contains(QLatin1String("GuiRoadBundle.app/Contents/Resources")), qPrintable(m_script));
    writeMarkerScript(m_script, m_marker);

    setUpPreferences({{QStringLiteral("VTid"), QStringLiteral("1")}, {QStringLiteral("chrWorksIP"), QString()},
        {QStringLiteral("chrWorksIPBup"), QString()}, {QStringLiteral("motion1Name"), QStringLiteral("motion1")},
        {QStringLiteral("motion2Name"), QStringLiteral("motion2")}, {QStringLiteral("IPAddr"), QString()},
        {QStringLiteral("LogPath"), m_logFolder}});

    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append(where + QLatin1Char('|') + kind + QLatin1Char('|') + message);
    });

    m_http = new HttpClient(this);
    Services services = Services::system(m_http);
    services.network.ipv4Addresses
        = [this] { return m_hostAddresses.isEmpty() ? HostNetwork::ipv4Addresses() : m_hostAddresses; };
    services.monotonicMs = [this] { return Clock::monotonicMs() + m_clockAheadMs; };
    const MsgBox::Responder boxes = [this](const MsgBox::Request &request) {
        m_boxes.append(request);
        m_enabledAtBox.append(m_window && m_window->controller()->Enabled);
        return MsgBox::Answer::Ok;
    };
    m_window = Window1::instance(services, boxes);
    QVERIFY(m_window);
    QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.value(0).text));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));

    const auto sockets = m_window->findChildren<UDPSocket *>();
    for (UDPSocket *socket : sockets) {
        if (socket->Port() == 8900 && !qobject_cast<AutoDiscovery *>(socket))
            m_tslSocket = socket;
    }
    QVERIFY(m_tslSocket);
    QVERIFY2(m_tslSocket->IsConnected(), "port 8900 is taken");
    QVERIFY2(m_window->controller()->RelayUDP->IsConnected(), "port 5000 is taken");
    QVERIFY2(m_window->controller()->ChatSocket->IsConnected(), "port 8083 is taken");

    m_tallySpy = std::make_unique<QSignalSpy>(m_tslSocket, &UDPSocket::DataAvailable);
    m_peerSpy = std::make_unique<QSignalSpy>(m_window->controller()->ChatSocket, &EasyUDPSocket::ReceivedMessage);
    m_relaySpy = std::make_unique<QSignalSpy>(m_window->controller()->RelayUDP, &UDPSocket::DataAvailable);
    m_httpSpy = std::make_unique<QSignalSpy>(m_http, &HttpClient::finished);

    QVERIFY(m_mainServer.listen(QHostAddress(QStringLiteral("127.0.0.1")), 5201));
    QVERIFY(m_backupServer.listen(QHostAddress(QStringLiteral("127.0.0.3")), 5201));
}

void TestWindowMainRoad::cleanupTestCase()
{
    if (m_relayBox) {
        m_relayBox->kill();
        m_relayBox->waitForFinished(5000);
        delete m_relayBox;
        m_relayBox = nullptr;
    }
    if (!m_relayNamespace.isEmpty())
        runIp({QStringLiteral("netns"), QStringLiteral("del"), m_relayNamespace});
    if (m_window)
        m_window->close();
    ErrorReport::setObserver({});
}

void TestWindowMainRoad::init()
{
    m_hostAddresses.clear();
    setPreference(QStringLiteral("VTid"), QStringLiteral("1"));
    setPreference(QStringLiteral("IPAddr"), QString());
    setPreference(QStringLiteral("chrWorksIP"), QString());
    setPreference(QStringLiteral("chrWorksIPBup"), QString());
    m_window->tallyStart->setChecked(false);
    m_window->tallyEnable->setChecked(false);
    setEnabled(false);
    // Lamps grey and both flags false, logging nothing with both boxes unticked.
    QVERIFY(sendTallyValue(0));
    QVERIFY(!m_window->controller()->RedTally && !m_window->controller()->GreenTally);

    QDir(m_logFolder).removeRecursively();
    QVERIFY(QDir().mkpath(m_logFolder));
    QFile::remove(m_marker);
    writeMarkerScript(m_script, m_marker);
    m_window->Log->clear();
    m_mainServer.setAnswer(FakeGraphicsServer::Answer::Ok);
    m_backupServer.setAnswer(FakeGraphicsServer::Answer::Ok);
    m_mainServer.clear();
    m_backupServer.clear();
    // Whatever the window sent to the group before this test has come back by now.
    QVERIFY(peerEnableMessagesSince(m_peerSpy->size()) >= 0);
    m_reports.clear();
    m_boxes.clear();
    m_enabledAtBox.clear();
}

void TestWindowMainRoad::cleanup()
{
    m_hostAddresses.clear();
}

void TestWindowMainRoad::setPreference(const QString &key, const QVariant &value)
{
    ModernPreferences::Preferences->Set(key, value);
}

bool TestWindowMainRoad::sendTally(const QByteArray &datagram)
{
    const qsizetype before = m_tallySpy->size();
    if (m_sender.writeDatagram(datagram, QHostAddress(QStringLiteral("127.0.0.1")), 8900) != datagram.size())
        return false;
    return QTest::qWaitFor([&] { return m_tallySpy->size() > before; }, 5000);
}

int TestWindowMainRoad::peerEnableMessagesSince(qsizetype mark)
{
    const QByteArray sentinel = "sentinel " + QByteArray::number(++m_sentinel);
    m_window->controller()->ChatSocket->SendMessageToGroup(77, sentinel);
    const auto sentinelIndex = [&]() -> qsizetype {
        for (qsizetype i = mark; i < m_peerSpy->size(); ++i) {
            if (m_peerSpy->at(i).at(2).toByteArray() == sentinel)
                return i;
        }
        return -1;
    };
    if (!QTest::qWaitFor([&] { return sentinelIndex() >= 0; }, 5000))
        return -1;
    int count = 0;
    for (qsizetype i = mark; i < sentinelIndex(); ++i) {
        const QList<QVariant> &message = m_peerSpy->at(i);
        if (message.at(1).toInt() == 21 && message.at(2).toByteArray() == "Enabled")
            ++count;
    }
    return count;
}

void TestWindowMainRoad::setEnabled(bool on)
{
    if (m_window->controller()->Enabled == on)
        return;
    QTest::mouseClick(on ? m_window->Enable : m_window->Disable, Qt::LeftButton);
    QCOMPARE(m_window->controller()->Enabled, on);
}

QString TestWindowMainRoad::dailyPath() const
{
    return m_logFolder + QStringLiteral("OnTheAirVideo Log ")
        + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
}

QStringList TestWindowMainRoad::newScreenMessages(int countBefore) const
{
    return screenMessages(m_window->Log).mid(0, m_window->Log->count() - countBefore);
}

// ---- TSL tally input ----

void TestWindowMainRoad::lampLooks_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("tallyByte");
    QTest::addColumn<int>("redWidth");
    QTest::addColumn<QColor>("redFill");
    QTest::addColumn<int>("greenLeft");
    QTest::addColumn<int>("greenWidth");
    QTest::addColumn<QColor>("greenFill");
    QTest::addColumn<bool>("redFlag");
    QTest::addColumn<bool>("greenFlag");

    QTest::newRow("off after red and green") << 3 << 0 << 214 << kGrey << 214 << 214 << kGrey << false << false;
    QTest::newRow("red") << 0 << 1 << 428 << kRed << 214 << 0 << kGrey << true << false;
    QTest::newRow("green") << 0 << 2 << 0 << kGrey << 0 << 428 << kGreen << false << true;
    QTest::newRow("red and green") << 0 << 3 << 214 << kRed << 214 << 214 << kGreen << true << true;
    // A lamp shrunk to nothing keeps its last colour and place.
    QTest::newRow("green after red") << 1 << 2 << 0 << kRed << 0 << 428 << kGreen << true << true;
    QTest::newRow("red after green") << 2 << 1 << 428 << kRed << 0 << 0 << kGreen << true << true;
    QTest::newRow("both after green") << 2 << 3 << 214 << kRed << 214 << 214 << kGreen << true << true;
    QTest::newRow("0xFD counts as red") << 0 << 0xFD << 428 << kRed << 214 << 0 << kGrey << true << false;
    QTest::newRow("0x04 counts as off") << 3 << 0x04 << 214 << kGrey << 214 << 214 << kGrey << false << false;
}

void TestWindowMainRoad::lampLooks()
{
    QFETCH(int, before);
    QFETCH(int, tallyByte);
    QFETCH(int, redWidth);
    QFETCH(QColor, redFill);
    QFETCH(int, greenLeft);
    QFETCH(int, greenWidth);
    QFETCH(QColor, greenFill);
    QFETCH(bool, redFlag);
    QFETCH(bool, greenFlag);

    // With both boxes unticked the lamps and flags still follow the tally; nothing is logged.
    QVERIFY(sendTallyValue(static_cast<quint8>(before)));
    QVERIFY(sendTallyValue(static_cast<quint8>(tallyByte)));

    QCOMPARE(m_window->RedTallyLED->geometry(), QRect(0, 0, redWidth, 30));
    QCOMPARE(m_window->RedTallyLED->FillColor(), redFill);
    QCOMPARE(m_window->GreenTallyLED->geometry(), QRect(greenLeft, 0, greenWidth, 30));
    QCOMPARE(m_window->GreenTallyLED->FillColor(), greenFill);
    QCOMPARE(m_window->controller()->RedTally, redFlag);
    QCOMPARE(m_window->controller()->GreenTally, greenFlag);
    QCOMPARE(m_window->Log->count(), 0);
    QVERIFY(dailyLogLines(m_logFolder).isEmpty());
    QVERIFY(!m_window->controller()->Enabled);
}

void TestWindowMainRoad::playOncePerOffToOnStep_data()
{
    QTest::addColumn<QString>("values");
    QTest::addColumn<QStringList>("plays");
    QTest::addColumn<QStringList>("daily");

    const auto list = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char('|')); };
    QTest::newRow("red, green, off, green") << "1 2 0 2" << list("Play from Red Tally|Play from Green Tally")
                                            << list("Tally Red On|Tally Green On|Tally Off|Tally Green On");
    QTest::newRow("red twice") << "1 1" << list("Play from Red Tally") << list("Tally Red On|Tally Red On");
    QTest::newRow("both, red, off, both")
        << "3 1 0 3" << list("Play from Tally|Play from Tally")
        << list("Tally Red and Green On|Tally Red On|Tally Off|Tally Red and Green On");
    QTest::newRow("green, both, red") << "2 3 1" << list("Play from Green Tally")
                                      << list("Tally Green On|Tally Red and Green On|Tally Red On");
    QTest::newRow("off only") << "0 0" << QStringList() << list("Tally Off|Tally Off");
}

void TestWindowMainRoad::playOncePerOffToOnStep()
{
    QFETCH(QString, values);
    QFETCH(QStringList, plays);
    QFETCH(QStringList, daily);

    m_window->tallyStart->setChecked(true);
    const QStringList steps = values.split(QLatin1Char(' '));
    for (const QString &value : steps)
        QVERIFY(sendTallyValue(static_cast<quint8>(value.toInt())));

    QStringList playRows;
    const QStringList rows = screenMessages(m_window->Log);
    for (const QString &row : rows) {
        if (row.startsWith(QLatin1String("Play from")))
            playRows.prepend(row);
    }
    QCOMPARE(playRows, plays);
    QCOMPARE(dailyLogMessages(m_logFolder), daily);
    QTRY_COMPARE(markerCount(m_marker), plays.size());
    // "Tally Start" alone does not touch the trigger.
    QVERIFY(!m_window->controller()->Enabled);
    QVERIFY(!rows.contains(QStringLiteral("TSL Trigger Enable")));
    QCOMPARE(markerCount(m_marker), plays.size());
}

void TestWindowMainRoad::repeatedTallyEnablesAndLogsEveryTime()
{
    m_window->tallyStart->setChecked(true);
    m_window->tallyEnable->setChecked(true);
    const qsizetype mark = m_peerSpy->size();

    QVERIFY(sendTallyValue(1));
    QCOMPARE(screenMessages(m_window->Log),
        (QStringList {QStringLiteral("Play from Red Tally"), QStringLiteral("Logged Tally Red On to ") + dailyPath(),
            QStringLiteral("Enabled by Red Tally"), QStringLiteral("TSL Trigger Enable")}));
    QVERIFY(m_window->controller()->Enabled);
    QCOMPARE(m_window->Enable->state(), QStringLiteral("pushed"));
    QCOMPARE(m_window->Enable->textColor(), kEnabledText);
    QCOMPARE(m_window->Disable->state(), QStringLiteral("normal"));
    QCOMPARE(m_window->Disable->textColor(), kBlack);

    QVERIFY(sendTallyValue(1));
    QVERIFY(sendTallyValue(1));
    const QStringList rows = screenMessages(m_window->Log);
    QCOMPARE(rows.count(QStringLiteral("TSL Trigger Enable")), 3);
    QCOMPARE(rows.count(QStringLiteral("Enabled by Red Tally")), 3);
    QCOMPARE(rows.count(QStringLiteral("Play from Red Tally")), 1);
    QCOMPARE(dailyLogMessages(m_logFolder),
        (QStringList {QStringLiteral("Tally Red On"), QStringLiteral("Tally Red On"), QStringLiteral("Tally Red On")}));
    QCOMPARE(peerEnableMessagesSince(mark), 3);
    QTRY_COMPARE(markerCount(m_marker), 1);
}

void TestWindowMainRoad::droppedDatagramsTouchNothing_data()
{
    QTest::addColumn<QByteArray>("datagram");
    // Each would turn the tally off if it were taken.
    QTest::newRow("20 bytes") << tallyDatagram(kVt1, 0, 20);
    QTest::newRow("18 bytes, no XDATA") << tallyDatagram(kVt1, 0, 18);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("another address") << tallyDatagram(0x81, 0);
    QTest::newRow("header below 0x80") << tallyDatagram(0x7F, 0);
}

void TestWindowMainRoad::droppedDatagramsTouchNothing()
{
    QFETCH(QByteArray, datagram);
    m_window->tallyStart->setChecked(true);
    m_window->tallyEnable->setChecked(true);
    QVERIFY(sendTallyValue(1));
    QTRY_COMPARE(markerCount(m_marker), 1);
    QVERIFY(peerEnableMessagesSince(m_peerSpy->size()) >= 0); // the red's own message has come back
    const qsizetype mark = m_peerSpy->size();
    const int rows = m_window->Log->count();
    const int lines = static_cast<int>(dailyLogLines(m_logFolder).size());

    QVERIFY(sendTally(datagram));
    QCOMPARE(m_window->RedTallyLED->geometry(), QRect(0, 0, 428, 30));
    QCOMPARE(m_window->RedTallyLED->FillColor(), kRed);
    QCOMPARE(m_window->GreenTallyLED->geometry(), QRect(214, 0, 0, 30));
    QVERIFY(m_window->controller()->RedTally);
    QVERIFY(!m_window->controller()->GreenTally);
    QCOMPARE(m_window->Log->count(), rows);
    QCOMPARE(dailyLogLines(m_logFolder).size(), lines);
    QCOMPARE(peerEnableMessagesSince(mark), 0);

    // Still armed as before: the next matching red does not play again.
    QVERIFY(sendTallyValue(1));
    QCOMPARE(markerCount(m_marker), 1);
}

void TestWindowMainRoad::vtIdComparesAsNumber_data()
{
    QTest::addColumn<QString>("vtId");
    QTest::addColumn<int>("header");
    QTest::addColumn<bool>("handled");

    QTest::newRow("1 takes 0x80") << "1" << 0x80 << true;
    QTest::newRow("1 skips 0x81") << "1" << 0x81 << false;
    QTest::newRow("1.0 takes 0x80") << "1.0" << 0x80 << true;
    QTest::newRow("2 takes 0x81") << "2" << 0x81 << true;
    QTest::newRow("0 takes 0x7F") << "0" << 0x7F << true;
    QTest::newRow("empty skips 0x80") << "" << 0x80 << false;
}

void TestWindowMainRoad::vtIdComparesAsNumber()
{
    QFETCH(QString, vtId);
    QFETCH(int, header);
    QFETCH(bool, handled);

    setPreference(QStringLiteral("VTid"), vtId);
    QVERIFY(sendTally(tallyDatagram(static_cast<quint8>(header), 2)));
    QCOMPARE(m_window->controller()->GreenTally, handled);
    QCOMPARE(m_window->GreenTallyLED->FillColor(), handled ? kGreen : kGrey);
}

void TestWindowMainRoad::failingPlayInTallyLeavesFlags()
{
    m_window->tallyStart->setChecked(true);
    m_window->tallyEnable->setChecked(true);
    QVERIFY(QFile::remove(m_script));

    QVERIFY(sendTallyValue(1));
    // The steps before the play step ran; the play step ended the handler.
    QCOMPARE(m_reports.size(), 1);
    QVERIFY2(m_reports.constFirst().startsWith(QLatin1String("Window1.TSLrx_DataAvailable|RuntimeException|")),
        qPrintable(m_reports.constFirst()));
    QCOMPARE(m_window->RedTallyLED->FillColor(), kRed);
    QVERIFY(m_window->controller()->Enabled);
    QCOMPARE(dailyLogMessages(m_logFolder), QStringList {QStringLiteral("Tally Red On")});
    QVERIFY(!screenMessages(m_window->Log).contains(QStringLiteral("Play from Red Tally")));
    QVERIFY(!m_window->controller()->RedTally);
    QVERIFY(!m_window->controller()->GreenTally);

    // Reception goes on, and since the flags stayed as they were, the next red still plays.
    writeMarkerScript(m_script, m_marker);
    QVERIFY(sendTallyValue(1));
    QCOMPARE(screenMessage(m_window->Log, 0), QStringLiteral("Play from Red Tally"));
    QVERIFY(m_window->controller()->RedTally);
    QTRY_COMPARE(markerCount(m_marker), 1);
    QCOMPARE(m_reports.size(), 1);
}

// ---- Trigger state ----

void TestWindowMainRoad::triggerButtons_data()
{
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<QString>("click");
    QTest::addColumn<bool>("endEnabled");
    QTest::addColumn<QString>("logged"); // the message written to both logs, or empty
    QTest::addColumn<int>("peerMessages");

    QTest::newRow("Enable while disabled") << false << "Enable" << true << "Local Trigger Enable" << 1;
    QTest::newRow("Enable while enabled") << true << "Enable" << true << "" << 0;
    QTest::newRow("Disable while enabled") << true << "Disable" << false << "Local Trigger Disable" << 0;
    QTest::newRow("Disable while disabled") << false << "Disable" << false << "" << 0;
}

void TestWindowMainRoad::triggerButtons()
{
    QFETCH(bool, startEnabled);
    QFETCH(QString, click);
    QFETCH(bool, endEnabled);
    QFETCH(QString, logged);
    QFETCH(int, peerMessages);

    setEnabled(startEnabled);
    QVERIFY(peerEnableMessagesSince(m_peerSpy->size()) >= 0); // let the set-up's message pass
    const qsizetype mark = m_peerSpy->size();
    const int rows = m_window->Log->count();
    const int lines = static_cast<int>(dailyLogMessages(m_logFolder).size());

    QTest::mouseClick(click == QLatin1String("Enable") ? m_window->Enable : m_window->Disable, Qt::LeftButton);

    QCOMPARE(m_window->controller()->Enabled, endEnabled);
    const QStringList screen = newScreenMessages(rows);
    const QStringList daily = dailyLogMessages(m_logFolder).mid(lines);
    if (logged.isEmpty()) {
        QCOMPARE(screen, QStringList());
        QCOMPARE(daily, QStringList());
    } else {
        QCOMPARE(
            screen, (QStringList {QStringLiteral("Logged ") + logged + QStringLiteral(" to ") + dailyPath(), logged}));
        QCOMPARE(daily, QStringList {logged});
    }
    QCOMPARE(peerEnableMessagesSince(mark), peerMessages);

    largeButton *on = endEnabled ? m_window->Enable : m_window->Disable;
    largeButton *off = endEnabled ? m_window->Disable : m_window->Enable;
    // The canvas buttons take no keyboard focus, not even when the trigger asks for it.
    QVERIFY(m_window->focusWidget() != on && m_window->focusWidget() != off);
    QCOMPARE(on->state(), QStringLiteral("pushed"));
    QCOMPARE(off->state(), QStringLiteral("normal"));
    QCOMPARE(off->textColor(), kBlack);
    if (endEnabled)
        QCOMPARE(on->textColor(), kEnabledText);
    else if (startEnabled)
        QCOMPARE(on->textColor(), kDisabledText);
}

void TestWindowMainRoad::remoteMessages_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<bool>("disables");
    QTest::addColumn<QString>("box");

    // This host has 10.0.0.12 and 127.0.0.1. Whole addresses are compared, so 10.0.0.1 is
    // another host although its text is part of 10.0.0.12.
    QTest::newRow("10.0.0.1 is another host") << "10.0.0.1" << 21 << QByteArray("Enabled") << true << true << "";
    QTest::newRow("own 10.0.0.12 ignored") << "10.0.0.12" << 21 << QByteArray("Enabled") << true << false << "";
    QTest::newRow("own 127.0.0.1 ignored") << "127.0.0.1" << 21 << QByteArray("Enabled") << true << false << "";
    QTest::newRow("lower case enabled") << "10.0.0.7" << 21 << QByteArray("enabled") << true << true << "";
    QTest::newRow("other data") << "10.0.0.7" << 21 << QByteArray("Enable") << true << false << "";
    QTest::newRow("while disabled") << "10.0.0.7" << 21 << QByteArray("Enabled") << false << false << "";
    QTest::newRow("command 5 shows its data")
        << "10.0.0.7" << 5 << QByteArray("Relay box offline") << true << false << "Relay box offline";
    QTest::newRow("command 5 from ourselves")
        << "10.0.0.12" << 5 << QByteArray("Relay box offline") << true << false << "";
}

void TestWindowMainRoad::remoteMessages()
{
    QFETCH(QString, from);
    QFETCH(int, command);
    QFETCH(QByteArray, data);
    QFETCH(bool, startEnabled);
    QFETCH(bool, disables);
    QFETCH(QString, box);

    setEnabled(startEnabled);
    m_hostAddresses = {QStringLiteral("10.0.0.12"), QStringLiteral("127.0.0.1")};
    const int rows = m_window->Log->count();
    const int lines = static_cast<int>(dailyLogMessages(m_logFolder).size());

    Q_EMIT m_window->controller()->ChatSocket->ReceivedMessage(from, command, data);

    QCOMPARE(m_window->controller()->Enabled, startEnabled && !disables);
    if (disables) {
        QCOMPARE(newScreenMessages(rows),
            (QStringList {QStringLiteral("Logged Disabled by Remote Trigger to ") + dailyPath(),
                QStringLiteral("Disabled by Remote Trigger ") + from,
                QStringLiteral("Logged Local Trigger Disable to ") + dailyPath(),
                QStringLiteral("Local Trigger Disable")}));
        QCOMPARE(dailyLogMessages(m_logFolder).mid(lines),
            (QStringList {QStringLiteral("Local Trigger Disable"), QStringLiteral("Disabled by Remote Trigger")}));
        QCOMPARE(m_window->Disable->state(), QStringLiteral("pushed"));
        QCOMPARE(m_window->Disable->textColor(), kDisabledText);
    } else {
        QCOMPARE(m_window->Log->count(), rows);
        QCOMPARE(dailyLogMessages(m_logFolder).size(), lines);
    }
    if (box.isEmpty()) {
        QVERIFY(m_boxes.isEmpty());
    } else {
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.constFirst().text, box);
        QVERIFY(!m_boxes.constFirst().question);
    }
}

void TestWindowMainRoad::boxDuringClick_data()
{
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<bool>("releaseLost");
    QTest::newRow("Enable") << false << "Enable"
                            << "Local Trigger Enable" << false;
    QTest::newRow("Disable") << true << "Disable"
                             << "Local Trigger Disable" << false;
    // Qt shows the button held until it sees a mouse event again.
    QTest::newRow("release never seen") << false << "Enable"
                                        << "Local Trigger Enable" << true;
}

void TestWindowMainRoad::boxDuringClick()
{
    QFETCH(bool, startEnabled);
    QFETCH(QString, click);
    QFETCH(QString, logged);
    QFETCH(bool, releaseLost);
    setEnabled(startEnabled);
    m_hostAddresses = {QStringLiteral("10.0.0.12"), QStringLiteral("127.0.0.1")};
    const int lines = static_cast<int>(dailyLogMessages(m_logFolder).size());
    largeButton *clicked = click == QLatin1String("Enable") ? m_window->Enable : m_window->Disable;
    largeButton *other = clicked == m_window->Enable ? m_window->Disable : m_window->Enable;
    const QPoint at = clicked->mapTo(m_window, clicked->rect().center());

    // A peer's message comes between the press and the release of a click.
    QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, at);
    Q_EMIT m_window->controller()->ChatSocket->ReceivedMessage(
        QStringLiteral("10.0.0.7"), 5, QByteArray("Relay box offline"));
    QTest::qWait(100);
    QVERIFY(m_boxes.isEmpty());
    if (releaseLost) {
        // The box waits for the button for its longest wait, not longer.
        m_clockAheadMs += PeerBoxes::MaxPressWaitMs - 2000;
        QTest::qWait(100);
        QVERIFY(m_boxes.isEmpty());
        m_clockAheadMs += 2000;
        QTRY_COMPARE(m_boxes.size(), 1);
        QCOMPARE(m_enabledAtBox, QList<bool> {startEnabled});
    }
    QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, at);

    // The click is carried out once, and the box opens after it unless it stopped waiting.
    QTRY_COMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.constFirst().text, QStringLiteral("Relay box offline"));
    if (!releaseLost)
        QCOMPARE(m_enabledAtBox, QList<bool> {!startEnabled});
    QCOMPARE(m_window->controller()->Enabled, !startEnabled);
    QCOMPARE(dailyLogMessages(m_logFolder).mid(lines), QStringList {logged});
    QCOMPARE(clicked->state(), QStringLiteral("pushed"));
    QCOMPARE(other->state(), QStringLiteral("normal"));
}

void TestWindowMainRoad::checkBoxKeepsFocusUnderTallies()
{
    m_window->expandTriangle->click();
    QVERIFY(m_window->tallyStart->isVisible());
    m_window->tallyEnable->setChecked(true);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_window->tallyStart->setFocus(Qt::TabFocusReason);

    // Each red tally enables the trigger again; Space between them goes to the focused box.
    for (int i = 0; i < 5; ++i) {
        QVERIFY(sendTallyValue(1));
        QVERIFY(sendTallyValue(0));
        QCOMPARE(m_window->focusWidget(), m_window->tallyStart);
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Space);
    }
    QVERIFY(m_window->controller()->Enabled);
    QVERIFY(m_window->tallyStart->isChecked());
    m_window->expandTriangle->click();
    QVERIFY(!m_window->tallyStart->isVisible());
}

// ---- Relay box ----

bool TestWindowMainRoad::startRelayBox(QString *why)
{
    if (m_relayBox && m_relayBox->state() == QProcess::Running)
        return true;
    const QString tool = qEnvironmentVariable("BRENVALE_BUILD_DIR") + QStringLiteral("/tools/brenvale-relay-box");
    if (!QFile::exists(tool)) {
        *why = QStringLiteral("no relay box tool at ") + tool;
        return false;
    }
    // The window holds port 5000 on every address of this namespace, so the relay box lives in
    // a namespace of its own, joined to ours by a veth pair.
    m_relayNamespace = QStringLiteral("brvgui-%1-%2")
                           .arg(QCoreApplication::applicationPid())
                           .arg(QRandomGenerator::global()->bounded(1000000));
    const QString ns = m_relayNamespace;
    if (!runIp({QStringLiteral("netns"), QStringLiteral("add"), ns}, why)) {
        m_relayNamespace.clear();
        return false;
    }
    const bool linked = runIp({QStringLiteral("link"), QStringLiteral("add"), QStringLiteral("brvgui0"),
                                  QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
                                  QStringLiteral("name"), QStringLiteral("brvgui1"), QStringLiteral("netns"), ns},
                            why)
        && runIp({QStringLiteral("addr"), QStringLiteral("add"), kRelayLocal + QStringLiteral("/30"),
                     QStringLiteral("dev"), QStringLiteral("brvgui0")},
            why)
        && runIp({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("brvgui0"), QStringLiteral("up")}, why)
        && runIp({QStringLiteral("-n"), ns, QStringLiteral("addr"), QStringLiteral("add"),
                     kRelayBox + QStringLiteral("/30"), QStringLiteral("dev"), QStringLiteral("brvgui1")},
            why)
        && runIp({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("brvgui1"),
                     QStringLiteral("up")},
            why)
        && runIp({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                     QStringLiteral("up")},
            why);
    if (!linked)
        return false;

    m_relayBox = new QProcess(this);
    connect(m_relayBox, &QProcess::readyReadStandardOutput, this,
        [this] { m_relayOutput += m_relayBox->readAllStandardOutput(); });
    QByteArray status;
    connect(m_relayBox, &QProcess::readyReadStandardError, this,
        [this, &status] { status += m_relayBox->readAllStandardError(); });
    m_relayBox->start(QStringLiteral("ip"),
        {QStringLiteral("netns"), QStringLiteral("exec"), ns, tool, QStringLiteral("--bind"), kRelayBox,
            QStringLiteral("--no-reply")});
    const bool listening = QTest::qWaitFor([&] { return status.contains("listening on"); }, 10000);
    disconnect(m_relayBox, &QProcess::readyReadStandardError, this, nullptr);
    if (!listening) {
        *why = QStringLiteral("relay box did not start: ") + QString::fromUtf8(status);
        return false;
    }
    return true;
}

QStringList TestWindowMainRoad::relayBoxCommands() const
{
    QStringList commands;
    const auto lines = m_relayOutput.split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("command from "))
            commands.append(QString::fromUtf8(line.left(line.lastIndexOf(" at "))));
    }
    return commands;
}

void TestWindowMainRoad::relayCommandBytes_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("daily");

    QTest::newRow("Key 1 On") << "Key 1 On"
                              << "cmdkey0\\n"
                              << "Sent Key 1 On"
                              << "Key 1 On";
    QTest::newRow("Key 1 Off") << "Key 1 Off"
                               << "cmdkey1\\n"
                               << "Sent Key 1 Off"
                               << "Key 1 Off";
    QTest::newRow("Key 2 On") << "Key 2 On"
                              << "cmdkey2\\n"
                              << "Sent Key 2 On"
                              << "Key 2 On";
    QTest::newRow("Key 2 Off") << "Key 2 Off"
                               << "cmdkey3\\n"
                               << "Sent Key 2 Off"
                               << "Key 2 Off";
}

void TestWindowMainRoad::relayCommandBytes()
{
    QFETCH(QString, caption);
    QFETCH(QString, bytes);
    QFETCH(QString, sent);
    QFETCH(QString, daily);

    QString why;
    if (!startRelayBox(&why))
        QSKIP(qPrintable(QStringLiteral("no second network namespace for the relay box: ") + why));

    setPreference(QStringLiteral("IPAddr"), kRelayBox);
    setEnabled(true);
    const int rows = m_window->Log->count();
    const qsizetype commandsBefore = relayBoxCommands().size();
    medButton *key = buttonWithCaption(m_window, caption);
    QVERIFY(key);
    QTest::mouseClick(key, Qt::LeftButton);

    QCOMPARE(newScreenMessages(rows),
        (QStringList {QStringLiteral("CHRW2 command not sent"), QStringLiteral("CHRW1 command not sent"),
            QStringLiteral("Logged ") + daily + QStringLiteral(" to ") + dailyPath(), sent,
            QStringLiteral("Manual ") + caption}));
    QCOMPARE(dailyLogMessages(m_logFolder).constLast(), daily);
    QTRY_COMPARE(relayBoxCommands().size(), commandsBefore + 1);
    QCOMPARE(relayBoxCommands().constLast(), QStringLiteral("command from %1:5000 \"%2\"").arg(kRelayLocal, bytes));
}

void TestWindowMainRoad::relayKeyWhileDisabledSendsNothing()
{
    QString why;
    if (!startRelayBox(&why))
        QSKIP(qPrintable(QStringLiteral("no second network namespace for the relay box: ") + why));

    setPreference(QStringLiteral("IPAddr"), kRelayBox);
    const qsizetype commandsBefore = relayBoxCommands().size();
    QTest::mouseClick(buttonWithCaption(m_window, QStringLiteral("Key 2 Off")), Qt::LeftButton);
    QCOMPARE(screenMessages(m_window->Log),
        (QStringList {QStringLiteral("CHRW2 command not sent"), QStringLiteral("CHRW1 command not sent"),
            QStringLiteral("Trigger Disabled!"), QStringLiteral("Manual Key 2 Off")}));
    QVERIFY(dailyLogLines(m_logFolder).isEmpty());

    // The first command the box hears after that is the one sent once enabled.
    setEnabled(true);
    m_window->controller()->SendMessage(0);
    QTRY_VERIFY(relayBoxCommands().size() > commandsBefore);
    QCOMPARE(relayBoxCommands().mid(commandsBefore),
        QStringList {QStringLiteral("command from %1:5000 \"cmdkey0\\n\"").arg(kRelayLocal)});
}

void TestWindowMainRoad::relayReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("daily");

    QTest::newRow("1") << QByteArray("1") << "Rx message: 1 1" << true;
    QTest::newRow("2") << QByteArray("2") << "Rx message: 2 2" << true;
    QTest::newRow("3") << QByteArray("3") << "Rx message: 3 3" << true;
    QTest::newRow("2.5") << QByteArray("2.5") << "Rx message: 2.5 2.5" << false;
    QTest::newRow("4") << QByteArray("4") << "Rx message: 4 4" << false;
    QTest::newRow("0") << QByteArray("0") << "Rx message: 0 0" << false;
    QTest::newRow("OK") << QByteArray("OK") << "Rx message: OK 0" << false;
}

void TestWindowMainRoad::relayReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, row);
    QFETCH(bool, daily);

    // Any datagram reaching port 5000 is a reply, whatever the trigger's state.
    const qsizetype before = m_relaySpy->size();
    QCOMPARE(m_sender.writeDatagram(reply, QHostAddress(QStringLiteral("127.0.0.1")), 5000), reply.size());
    QTRY_COMPARE(m_relaySpy->size(), before + 1);

    if (daily) {
        QCOMPARE(screenMessages(m_window->Log),
            (QStringList {
                QStringLiteral("Logged ") + QString::fromUtf8(reply) + QStringLiteral(" to ") + dailyPath(), row}));
        QCOMPARE(dailyLogMessages(m_logFolder), QStringList {QString::fromUtf8(reply)});
        QVERIFY(
            dailyLogLines(m_logFolder).constFirst().endsWith(QString::fromUtf8(reply) + QStringLiteral(" on VT 1")));
    } else {
        QCOMPARE(screenMessages(m_window->Log), QStringList {row});
        QVERIFY(dailyLogLines(m_logFolder).isEmpty());
    }
}

// ---- Graphics servers ----

void TestWindowMainRoad::graphicsRequests_data()
{
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("Key 1 On") << "play"
                              << "Key 1"
                              << QByteArray(R"({"action":"play_motions","motions":["motion1"],"channel":"live1"})");
    QTest::newRow("Key 1 Off") << "stop"
                               << "Key 1"
                               << QByteArray(R"({"action":"finish_motions","motions":["motion1"],"channel":"live1"})");
    QTest::newRow("Key 2 On") << "play"
                              << "Key 2"
                              << QByteArray(R"({"action":"play_motions","motions":["motion2"],"channel":"live1"})");
    QTest::newRow("Key 2 Off") << "stop"
                               << "Key 2"
                               << QByteArray(R"({"action":"finish_motions","motions":["motion2"],"channel":"live1"})");
    QTest::newRow("capital PLAY, lower-case key")
        << "PLAY"
        << "key 1" << QByteArray(R"({"action":"play_motions","motions":["motion1"],"channel":"live1"})");
}

void TestWindowMainRoad::graphicsRequests()
{
    QFETCH(QString, cmd);
    QFETCH(QString, key);
    QFETCH(QByteArray, body);

    setPreference(QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.1"));
    setPreference(QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.3"));
    setEnabled(true);
    const int rows = m_window->Log->count();
    const qsizetype finished = m_httpSpy->size();

    m_window->controller()->chrWorksCommand(cmd, key);
    QCOMPARE(m_window->Log->count(), rows); // starting the requests logs nothing
    QTRY_COMPARE(m_httpSpy->size(), finished + 2);

    for (FakeGraphicsServer *server : {&m_mainServer, &m_backupServer}) {
        QCOMPARE(server->requests().size(), 1);
        const FakeGraphicsServer::Request &request = server->requests().constFirst();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.body, body);
        QCOMPARE(request.headers.value("content-length"), QByteArray::number(body.size()));
    }
    QCOMPARE(m_mainServer.requests().constFirst().headers.value("host"), QByteArray("127.0.0.1:5201"));
    QCOMPARE(m_backupServer.requests().constFirst().headers.value("host"), QByteArray("127.0.0.3:5201"));
    QVERIFY(body.size() == 65 || body.size() == 67);
    QCOMPARE(m_window->Log->count(), rows); // an answer shows nothing
}

void TestWindowMainRoad::graphicsWhileDisabled()
{
    setPreference(QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.1"));
    setPreference(QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.3"));
    m_window->controller()->chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 1"));
    QCOMPARE(screenMessages(m_window->Log),
        (QStringList {QStringLiteral("CHRW2 command not sent"), QStringLiteral("CHRW1 command not sent")}));

    // A word outside the tables does nothing at all, not even the "not sent" rows.
    m_window->controller()->chrWorksCommand(QStringLiteral("pause"), QStringLiteral("Key 1"));
    m_window->controller()->chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 3"));
    QCOMPARE(m_window->Log->count(), 2);

    // The servers hear only the request made after enabling.
    setEnabled(true);
    const qsizetype finished = m_httpSpy->size();
    m_window->controller()->chrWorksCommand(QStringLiteral("stop"), QStringLiteral("Key 2"));
    QTRY_COMPARE(m_httpSpy->size(), finished + 2);
    QCOMPARE(m_mainServer.requests().size(), 1);
    QCOMPARE(m_backupServer.requests().size(), 1);
    QCOMPARE(m_mainServer.requests().constFirst().body.size(), 67);
}

void TestWindowMainRoad::graphicsFailures_data()
{
    QTest::addColumn<QString>("mainAddress");
    QTest::addColumn<QString>("backupAddress");
    QTest::addColumn<bool>("mainAnswers404");
    QTest::addColumn<int>("requestsStarted");
    QTest::addColumn<QString>("row"); // the one row expected, "Error *" for an error row
    QTest::addColumn<int>("mainRequests");
    QTest::addColumn<int>("backupRequests");

    QTest::newRow("main unreachable") << "127.0.0.4"
                                      << "127.0.0.3" << false << 2 << "Error *" << 0 << 1;
    QTest::newRow("backup unreachable") << "127.0.0.1"
                                        << "127.0.0.5" << false << 2 << "Error *" << 1 << 0;
    QTest::newRow("404 is an answer") << "127.0.0.1"
                                      << "127.0.0.3" << true << 2 << "" << 1 << 1;
    QTest::newRow("empty main address") << ""
                                        << "127.0.0.3" << false << 1 << "CHRW1 command not sent" << 0 << 1;
    QTest::newRow("empty backup address") << "127.0.0.1"
                                          << "" << false << 1 << "CHRW2 command not sent" << 1 << 0;
    // An address that makes no valid URL cannot be started; the other server is still served.
    QTest::newRow("main URL rejected") << "no such host"
                                       << "127.0.0.3" << false << 1 << "chrWorks Main error" << 0 << 1;
    QTest::newRow("backup URL rejected") << "127.0.0.1"
                                         << "bad/host name" << false << 1 << "chrWorks Backup error" << 1 << 0;
}

void TestWindowMainRoad::graphicsFailures()
{
    QFETCH(QString, mainAddress);
    QFETCH(QString, backupAddress);
    QFETCH(bool, mainAnswers404);
    QFETCH(int, requestsStarted);
    QFETCH(QString, row);
    QFETCH(int, mainRequests);
    QFETCH(int, backupRequests);

    setPreference(QStringLiteral("chrWorksIP"), mainAddress);
    setPreference(QStringLiteral("chrWorksIPBup"), backupAddress);
    if (mainAnswers404)
        m_mainServer.setAnswer(FakeGraphicsServer::Answer::NotFound);
    setEnabled(true);
    m_window->Log->clear();
    const qsizetype finished = m_httpSpy->size();

    m_window->controller()->chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 1"));
    QTRY_COMPARE(m_httpSpy->size(), finished + requestsStarted);

    const QStringList rows = screenMessages(m_window->Log);
    if (row.isEmpty()) {
        QCOMPARE(rows, QStringList());
    } else if (row == QLatin1String("Error *")) {
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows.constFirst().startsWith(QLatin1String("Error ")) && rows.constFirst().size() > 6,
            qPrintable(rows.constFirst()));
    } else {
        QCOMPARE(rows, QStringList {row});
    }
    QCOMPARE(m_mainServer.requests().size(), mainRequests);
    QCOMPARE(m_backupServer.requests().size(), backupRequests);
}

void TestWindowMainRoad::stalledGraphicsServerTimesOut()
{
    setPreference(QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.1"));
    setPreference(QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.3"));
    m_mainServer.setAnswer(FakeGraphicsServer::Answer::Stall);
    setEnabled(true);
    m_window->Log->clear();

    QElapsedTimer clock;
    clock.start();
    m_window->controller()->chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 2"));
    QTRY_COMPARE(m_backupServer.answered(), 1);
    QTRY_COMPARE(m_mainServer.requests().size(), 1);
    QVERIFY(m_window->Log->count() == 0);

    QTRY_COMPARE_WITH_TIMEOUT(m_window->Log->count(), 1, 12000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 4500 && elapsed < 9000, qPrintable(QString::number(elapsed)));
    QVERIFY2(screenMessage(m_window->Log, 0).startsWith(QLatin1String("Error ")),
        qPrintable(screenMessage(m_window->Log, 0)));
}

void TestWindowMainRoad::graphicsServerClosingWithoutAnswer()
{
    setPreference(QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.1"));
    setPreference(QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.3"));
    m_mainServer.setAnswer(FakeGraphicsServer::Answer::Close);
    setEnabled(true);
    m_window->Log->clear();
    const qsizetype finished = m_httpSpy->size();

    m_window->controller()->chrWorksCommand(QStringLiteral("play"), QStringLiteral("Key 1"));
    QTRY_COMPARE(m_httpSpy->size(), finished + 2);
    // The main server heard the command once and the window shows one error row for it.
    QCOMPARE(screenMessages(m_window->Log), QStringList {QStringLiteral("Error Connection closed")});
    QCOMPARE(m_mainServer.requests().size(), 1);
    QCOMPARE(m_backupServer.requests().size(), 1);
}

QTEST_MAIN(TestWindowMainRoad)
#include "TestWindowMainRoad.moc"
