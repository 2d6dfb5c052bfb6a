// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The trigger on its own, with no widget anywhere: this executable links no QtWidgets.
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/Bundle.h"
#include "core/platform/HttpClient.h"
#include "core/platform/ScriptRunner.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/DatagramLineLimit.h"
#include "core/trigger/TallyPlayLimit.h"
#include "core/trigger/TriggerController.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
#include <csignal>

namespace {
const QDateTime kNow(QDate(2026, 4, 9), QTime(11, 22, 33));

QByteArray tallyDatagram(quint8 tallyByte)
{
    QByteArray datagram(21, '\0');
    datagram[0] = static_cast<char>(0x80); // display address 0: VT ID 1
    datagram.replace(2, 16, QByteArrayLiteral("VT CAM 1        "));
    datagram[19] = 0x02;
    datagram[20] = static_cast<char>(tallyByte);
    return datagram;
}

// Ended, collected or not: gone, or a zombie.
bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}
} // namespace

class TestTriggerController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tallyPathTellsTheViewOnlyWhatChanged();
    void peerRulesUseTheHandedInHostView();
    void peerMessageTextIsCut_data();
    void peerMessageTextIsCut();
    void relayReplyFloodLeavesAGapLine();
    void relayBoxRepliesHaveABudgetOfTheirOwn();
    void tallyPlayLimitIgnoresWallClockSteps();
    void tallyStartsWaitWhileFourRunsAreAlive();
    void closeKeepsASettingNeverShown();
    void cleanupTestCase();

private:
    QStringList rowsSince(qsizetype mark) const;
    // How many lines of the day's file carry msg.
    qsizetype dailyLogLines(const QByteArray &msg) const;
    // Sends `count` replies from the address `from` to the relay port; true once all arrived.
    bool sendReplies(const char *from, const QByteArray &reply, int count);
    // Writes the bundle's Play.scpt: it notes its process id in m_marker, then runs `rest`.
    void writePlayScript(const QByteArray &rest);
    QList<qint64> playedPids() const;
    // One off-to-on step of a red tally; returns whether it started the script.
    bool redStep();

    QDateTime m_wallClock = kNow;
    qint64 m_monotonicMs = 1'000'000;
    QString m_marker;

    QTemporaryDir m_logs;
    HttpClient m_http;
    std::unique_ptr<TriggerController> m_trigger;
    std::unique_ptr<QSignalSpy> m_rows;
};

void TestTriggerController::initTestCase()
{
    QVERIFY(m_logs.isValid());
    m_marker = m_logs.filePath(QStringLiteral("play-marker"));
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    auto &prefs = ModernPreferences::Preferences;
    prefs[QStringLiteral("VTid")] = QStringLiteral("1");
    prefs[QStringLiteral("LogPath")] = m_logs.path() + QLatin1Char('/');
    prefs[QStringLiteral("IPAddr")] = QStringLiteral("127.0.0.1");

    Services services = Services::system(&m_http);
    services.clock = [this] { return m_wallClock; };
    services.monotonicMs = [this] { return m_monotonicMs; };
    // Loopback carries our own group messages back; the other address is for the peer rules.
    services.network.ipv4Addresses = [] {
        return QStringList {QStringLiteral("10.0.0.12"), QStringLiteral("127.0.0.1")};
    };
    m_trigger = std::make_unique<TriggerController>(services);
    m_rows = std::make_unique<QSignalSpy>(m_trigger.get(), &TriggerController::logRowAdded);
    QCOMPARE(m_trigger->openSockets(), TriggerController::OpenOutcome::Opened);
}

QStringList TestTriggerController::rowsSince(qsizetype mark) const
{
    QStringList rows;
    for (qsizetype i = mark; i < m_rows->size(); ++i)
        rows.append(m_rows->at(i).at(0).toString());
    return rows;
}

void TestTriggerController::tallyPathTellsTheViewOnlyWhatChanged()
{
    QSignalSpy red(m_trigger.get(), &TriggerController::redLampChanged);
    QSignalSpy green(m_trigger.get(), &TriggerController::greenLampChanged);
    QSignalSpy shown(m_trigger.get(), &TriggerController::triggerShown);
    QSignalSpy arrived(m_trigger->TSLrx, &UDPSocket::DataAvailable);
    m_trigger->setTallyEnable(true);
    QUdpSocket sender;
    const auto send = [&](quint8 tally) {
        const qsizetype before = arrived.size();
        sender.writeDatagram(tallyDatagram(tally), QHostAddress::LocalHost, 8900);
        return QTest::qWaitFor([&] { return arrived.size() > before; }, 5000);
    };

    const qsizetype mark = m_rows->size();
    QVERIFY(send(1));
    QVERIFY(m_trigger->Enabled && m_trigger->RedTally);
    QCOMPARE(red.size(), 1);
    QCOMPARE(red.at(0).at(0).value<TallyAction::LampLook>().fill, std::optional<TallyAction::Rgb>(TallyAction::Red));
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.at(0).at(0).toBool());
    const QString prefix = DailyLogFile::screenRow(kNow, QString());
    QCOMPARE(rowsSince(mark).first(), prefix + QStringLiteral("TSL Trigger Enable"));

    // The same value again: the lamps stay as shown, the switch is shown pushed again.
    QVERIFY(send(1));
    QCOMPARE(red.size(), 1);
    QCOMPARE(green.size(), 1);
    QCOMPARE(shown.size(), 2);
    // Off, then green: both lamps change.
    QVERIFY(send(0));
    QCOMPARE(red.size(), 2);
    QVERIFY(!m_trigger->RedTally);
    QVERIFY(send(2));
    QCOMPARE(red.size(), 3);
    QCOMPARE(green.size(), 3);
    m_trigger->setTallyEnable(false);
}

void TestTriggerController::peerRulesUseTheHandedInHostView()
{
    QSignalSpy boxes(m_trigger.get(), &TriggerController::peerMessage);
    m_trigger->Enabled = true;
    const qsizetype mark = m_rows->size();
    // From an address of this host, as the handed-in view has it: our own echo.
    Q_EMIT m_trigger->ChatSocket->ReceivedMessage(QStringLiteral("10.0.0.12"), 21, "Enabled");
    Q_EMIT m_trigger->ChatSocket->ReceivedMessage(QStringLiteral("10.0.0.12"), 5, "hello");
    QVERIFY(m_trigger->Enabled);
    QCOMPARE(boxes.size(), 0);
    QCOMPARE(rowsSince(mark), QStringList());

    Q_EMIT m_trigger->ChatSocket->ReceivedMessage(QStringLiteral("10.0.0.1"), 5, "hello");
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0), (QVariantList {QStringLiteral("10.0.0.1"), QStringLiteral("hello")}));
    Q_EMIT m_trigger->ChatSocket->ReceivedMessage(QStringLiteral("10.0.0.1"), 21, "enabled");
    QVERIFY(!m_trigger->Enabled);
    QVERIFY(
        rowsSince(mark).contains(DailyLogFile::screenRow(kNow, QStringLiteral("Disabled by Remote Trigger 10.0.0.1"))));
}

void TestTriggerController::peerMessageTextIsCut_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    const QString thousand(TriggerController::PeerBoxTextLimit, QLatin1Char('x'));
    QTest::newRow("short") << QByteArray("hello") << QStringLiteral("hello");
    QTest::newRow("at the limit") << thousand.toLatin1() << thousand;
    QTest::newRow("60,000 bytes") << QByteArray(60000, 'x') << thousand + QStringLiteral(" [cut 59000 bytes]");
    // Characters are counted, and the note counts bytes.
    const QString letters(TriggerController::PeerBoxTextLimit, QChar(0xE9));
    QTest::newRow("two-byte letters") << (letters + QChar(0xE9)).toUtf8() << letters + QStringLiteral(" [cut 2 bytes]");
}

void TestTriggerController::peerMessageTextIsCut()
{
    QFETCH(QByteArray, data);
    QSignalSpy boxes(m_trigger.get(), &TriggerController::peerMessage);
    Q_EMIT m_trigger->ChatSocket->ReceivedMessage(QStringLiteral("10.0.0.1"), 5, data);
    QCOMPARE(boxes.size(), 1);
    QTEST(boxes.at(0).at(1).toString(), "text");
}

qsizetype TestTriggerController::dailyLogLines(const QByteArray &msg) const
{
    QFile file(DailyLogFile(kNow).path(m_trigger->logPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll().count("\t" + msg + " on VT 1\r\n") : 0;
}

bool TestTriggerController::sendReplies(const char *from, const QByteArray &reply, int count)
{
    QSignalSpy arrived(m_trigger->RelayUDP, &UDPSocket::DataAvailable);
    QUdpSocket sender;
    if (!sender.bind(QHostAddress(QString::fromLatin1(from)), 0))
        return false;
    for (int i = 0; i < count; ++i)
        sender.writeDatagram(reply, QHostAddress::LocalHost, 5000);
    return QTest::qWaitFor([&] { return arrived.size() >= count; }, 5000);
}

void TestTriggerController::relayReplyFloodLeavesAGapLine()
{
    m_trigger->logPath = m_logs.path() + QLatin1Char('/');
    // The clock stands still: the burst is written, the rest only counted, and another value
    // is written all the same.
    const int burst = DatagramLineLimit::KindBudget[DatagramLineLimit::RelayBoxReplyLines].burst;
    QVERIFY(sendReplies("127.0.0.1", "1", burst + 50));
    QVERIFY(sendReplies("127.0.0.1", "2", 1));
    QCOMPARE(dailyLogLines("1"), burst);
    QCOMPARE(dailyLogLines("2"), 1);
    QCOMPARE(dailyLogLines("Relay Reply Flood: 50 Lines Not Logged"), 0);
    // A quiet second later the timer tells the gap, once.
    m_monotonicMs += DatagramLineLimit::QuietMs;
    QTRY_COMPARE(dailyLogLines("Relay Reply Flood: 50 Lines Not Logged"), 1);
    QTest::qWait(300);
    QCOMPARE(dailyLogLines("Relay Reply Flood: 50 Lines Not Logged"), 1);
}

void TestTriggerController::relayBoxRepliesHaveABudgetOfTheirOwn()
{
    // The relay box is at 127.0.0.1; other hosts flood from 127.0.0.2 and 127.0.0.3 while the
    // clock stands still, so that no budget earns anything back.
    m_monotonicMs += 60'000;
    const int burst = DatagramLineLimit::KindBudget[DatagramLineLimit::OtherReplyLines].burst;
    QVERIFY(sendReplies("127.0.0.2", "1 flood", burst + 20));
    QVERIFY(sendReplies("127.0.0.3", "1 other", 1));
    QCOMPARE(dailyLogLines("1 flood"), burst);
    QCOMPARE(dailyLogLines("1 other"), 0);
    QVERIFY(sendReplies("127.0.0.1", "1 ok", 3));
    QCOMPARE(dailyLogLines("1 ok"), 3);
}

void TestTriggerController::writePlayScript(const QByteArray &rest)
{
    const QString resources = Bundle::contentsFolder() + QStringLiteral("/Resources");
    QVERIFY(QDir().mkpath(resources));
    QFile script(resources + QStringLiteral("/Play.scpt"));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\necho $$ >> '" + m_marker.toUtf8() + "'\n" + rest + '\n');
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile::remove(m_marker);
}

QList<qint64> TestTriggerController::playedPids() const
{
    QFile file(m_marker);
    QList<qint64> pids;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                pids.append(line.toLongLong());
        }
    }
    return pids;
}

bool TestTriggerController::redStep()
{
    QSignalSpy arrived(m_trigger->TSLrx, &UDPSocket::DataAvailable);
    const qsizetype mark = m_rows->size();
    QUdpSocket sender;
    for (const quint8 tally : {0, 1}) {
        const qsizetype before = arrived.size();
        sender.writeDatagram(tallyDatagram(tally), QHostAddress::LocalHost, 8900);
        if (!QTest::qWaitFor([&] { return arrived.size() > before; }, 5000))
            return false;
    }
    const QStringList rows = rowsSince(mark);
    return std::any_of(rows.cbegin(), rows.cend(),
        [](const QString &row) { return row.endsWith(QLatin1String("Play from Red Tally")); });
}

void TestTriggerController::tallyPlayLimitIgnoresWallClockSteps()
{
    // The wall clock jumps an hour before every step while the monotonic clock stands still:
    // the burst is spent once and not refilled. Each run ends before the next step, so only the
    // rate holds starts back.
    writePlayScript({});
    m_trigger->setTallyEnable(false);
    m_trigger->setTallyStart(true);
    int starts = 0;
    for (int step = 0; step < 2 * TallyPlayLimit::Burst; ++step) {
        m_wallClock = m_wallClock.addSecs(3600);
        starts += redStep();
        QTRY_COMPARE(playedPids().size(), starts);
        if (starts > 0)
            QTRY_VERIFY(!ScriptRunner::isAlive(playedPids().constLast()));
    }
    QCOMPARE(starts, TallyPlayLimit::Burst);
    m_wallClock = kNow;
    m_monotonicMs += 60'000;
    QVERIFY(redStep());
    QTRY_COMPARE(playedPids().size(), starts + 1);
    QTRY_VERIFY(!ScriptRunner::isAlive(playedPids().constLast()));
}

void TestTriggerController::tallyStartsWaitWhileFourRunsAreAlive()
{
    // Runs that never end on their own; a second between steps, so the rate never binds.
    writePlayScript("exec sleep 600");
    m_trigger->setTallyStart(true);
    m_monotonicMs += 60'000;
    int starts = 0;
    for (int step = 0; step < 10; ++step) {
        m_monotonicMs += 1000;
        starts += redStep();
    }
    QCOMPARE(starts, TallyPlayLimit::MaxAlive);
    QTRY_COMPARE(playedPids().size(), TallyPlayLimit::MaxAlive);
    const QList<qint64> pids = playedPids();

    // One ends: the next step starts one run, and only one.
    QCOMPARE(::kill(static_cast<pid_t>(pids.constFirst()), SIGKILL), 0);
    QTRY_VERIFY(hasEnded(pids.constFirst()));
    m_monotonicMs += 1000;
    QVERIFY(redStep());
    QTRY_COMPARE(playedPids().size(), TallyPlayLimit::MaxAlive + 1);
    m_monotonicMs += 1000;
    QVERIFY(!redStep());

    // The operator's Play button is never held back.
    const qsizetype before = playedPids().size();
    m_trigger->playClicked();
    QTRY_COMPARE(playedPids().size(), before + 1);
    m_trigger->setTallyStart(false);
}

void TestTriggerController::cleanupTestCase()
{
    for (const qint64 pid : playedPids()) {
        if (ScriptRunner::isAlive(pid))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
}

void TestTriggerController::closeKeepsASettingNeverShown()
{
    // The stored settings were never taken: a box only changed in code keeps its setting, one
    // the operator set is stored.
    auto &prefs = ModernPreferences::Preferences;
    prefs[QStringLiteral("tslPlay")] = true;
    prefs[QStringLiteral("tslEnable")] = true;
    m_trigger->setTallyStart(false);
    m_trigger->setTallyEnable(false);
    m_trigger->tallyEnableClicked();
    m_trigger->close();
    QCOMPARE(prefs[QStringLiteral("tslPlay")].toBool(), true);
    QCOMPARE(prefs[QStringLiteral("tslEnable")].toBool(), false);
    QVERIFY(!m_trigger->RelayUDP->IsConnected());
    QVERIFY(!m_trigger->ChatSocket->IsConnected());
}

QTEST_GUILESS_MAIN(TestTriggerController)
#include "TestTriggerController.moc"
