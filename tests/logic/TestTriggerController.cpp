// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The trigger on its own, with no widget anywhere: this executable links no QtWidgets.
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/DatagramLineLimit.h"
#include "core/trigger/TriggerController.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

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
} // namespace

class TestTriggerController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tallyPathTellsTheViewOnlyWhatChanged();
    void peerRulesUseTheHandedInHostView();
    void relayReplyFloodLeavesAGapLine();
    void closeKeepsASettingNeverShown();

private:
    QStringList rowsSince(qsizetype mark) const;

    QTemporaryDir m_logs;
    qint64 m_monotonicMs = 1'000'000;
    HttpClient m_http;
    std::unique_ptr<TriggerController> m_trigger;
    std::unique_ptr<QSignalSpy> m_rows;
};

void TestTriggerController::initTestCase()
{
    QVERIFY(m_logs.isValid());
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    auto &prefs = ModernPreferences::Preferences;
    prefs[QStringLiteral("VTid")] = QStringLiteral("1");
    prefs[QStringLiteral("LogPath")] = m_logs.path() + QLatin1Char('/');
    prefs[QStringLiteral("IPAddr")] = QStringLiteral("127.0.0.1");

    Services services = Services::system(&m_http);
    services.clock = [] { return kNow; };
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

void TestTriggerController::relayReplyFloodLeavesAGapLine()
{
    m_trigger->logPath = m_logs.path() + QLatin1Char('/');
    QFile file(DailyLogFile(kNow).path(m_trigger->logPath));
    const auto lines = [&file](const char *msg) {
        file.open(QIODevice::ReadOnly);
        const qsizetype count = file.readAll().count(QByteArray("\t") + msg + " on VT 1\r\n");
        file.close();
        return count;
    };
    QSignalSpy arrived(m_trigger->RelayUDP, &UDPSocket::DataAvailable);
    QUdpSocket sender;
    const auto send = [&](const QByteArray &reply, int count) {
        const qsizetype expected = arrived.size() + count;
        for (int i = 0; i < count; ++i)
            sender.writeDatagram(reply, QHostAddress::LocalHost, 5000);
        return QTest::qWaitFor([&] { return arrived.size() >= expected; }, 5000);
    };
    // The clock stands still: the burst is written, the rest only counted, and another value
    // is written all the same.
    QVERIFY(send("1", DatagramLineLimit::DailyLogBurst + 50));
    QVERIFY(send("2", 1));
    QCOMPARE(lines("1"), DatagramLineLimit::DailyLogBurst);
    QCOMPARE(lines("2"), 1);
    QCOMPARE(lines("Relay Reply Flood: 50 Lines Not Logged"), 0);
    // A quiet second later the timer tells the gap, once.
    m_monotonicMs += DatagramLineLimit::QuietMs;
    QTRY_COMPARE(lines("Relay Reply Flood: 50 Lines Not Logged"), 1);
    QTest::qWait(300);
    QCOMPARE(lines("Relay Reply Flood: 50 Lines Not Logged"), 1);
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
