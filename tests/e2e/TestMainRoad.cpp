// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The built program on its main road, driven as the studio drives it: a tally source, a relay
// box, two graphics servers and a peer-group watcher in other hosts of a private network
// (network namespaces on a bridge), the program in a host of its own.
#include "core/groupmsg/EasyUDPSocket.h"
#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/E2eProgram.h"
#include "support/HostNamespaces.h"

#include <QFileInfo>
#include <QTest>

#include <memory>
#include <vector>

namespace {
const int Subnet = 1;
const int WaitMs = 10000;
const QString programHost = QStringLiteral("A");
const QString simulatorHost = QStringLiteral("B");
const QString backupHost = QStringLiteral("C");
const QString tallyGroup = QStringLiteral("239.1.2.3");
const QString enabledMessage = QStringLiteral("command 21 length 15 data \"Enabled\"");
} // namespace

class TestMainRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void tallyLogsPlaysAndTellsThePeerGroup();
    void enablingOneInstanceDisablesTheOther();
    void cleanup();
    void cleanupTestCase();

private:
    ChildProcess *startProcess(const QString &name, const QString &host, const QString &program,
        const QStringList &arguments, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ChildProcess *startSimulator(
        const QString &name, const QString &host, const QString &tool, const QStringList &arguments);
    E2eProgram *prepareProgram(bool tallyStart, bool tallyEnable);
    ChildProcess *startProgram(const QString &name, const QString &host, const E2eProgram &program);
    void sendTally(const QString &to, const QStringList &arguments);
    QString address(const QString &host) const { return m_net->addressOf(host); }

    std::unique_ptr<HostNamespaces> m_net;
    // Ended by cleanup() after each test, before the namespaces go; the programs' folders
    // stay until their processes have ended, for the quit writes into them.
    std::vector<std::unique_ptr<E2eProgram>> m_programs;
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

void TestMainRoad::initTestCase()
{
    const QString reason = HostNamespaces::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(QFileInfo(E2eProgram::builtBundle() + QStringLiteral("/Contents/MacOS/Brenvale")).isExecutable(),
        qPrintable(QStringLiteral("no built program in ") + E2eProgram::builtBundle()));
    m_net = std::make_unique<HostNamespaces>(QStringLiteral("mr"), Subnet);
    QVERIFY2(m_net->create({programHost, simulatorHost, backupHost}), qPrintable(m_net->errorString()));
}

void TestMainRoad::cleanup()
{
    // Programs first: their close lines and leave announcements still have a network.
    while (!m_processes.empty())
        m_processes.pop_back();
    m_programs.clear();
}

void TestMainRoad::cleanupTestCase()
{
    cleanup();
    m_net.reset();
}

ChildProcess *TestMainRoad::startProcess(const QString &name, const QString &host, const QString &program,
    const QStringList &arguments, const QProcessEnvironment &env)
{
    auto process = std::make_unique<ChildProcess>(name);
    if (!process->start(m_net->namespaceOf(host), program, arguments, env))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

ChildProcess *TestMainRoad::startSimulator(
    const QString &name, const QString &host, const QString &tool, const QStringList &arguments)
{
    // The deadline is a backstop should this test itself die without cleaning up.
    ChildProcess *process = startProcess(name, host, E2eProgram::tool(tool),
        QStringList(arguments) << QStringLiteral("--quit-after") << QStringLiteral("120"));
    if (!process || !process->waitForError(QStringLiteral("listening on"), 1, WaitMs))
        return nullptr;
    return process;
}

E2eProgram *TestMainRoad::prepareProgram(bool tallyStart, bool tallyEnable)
{
    auto program = std::make_unique<E2eProgram>();
    const bool prepared = program->prepare({
        {QStringLiteral("chrWorksIP"), address(simulatorHost)},
        {QStringLiteral("chrWorksIPBup"), address(backupHost)},
        {QStringLiteral("IPAddr"), address(simulatorHost)},
        {QStringLiteral("VTid"), QStringLiteral("1")},
        {QStringLiteral("tslPlay"), tallyStart},
        {QStringLiteral("tslEnable"), tallyEnable},
    });
    if (!prepared) {
        qWarning("%s", qPrintable(program->errorString()));
        return nullptr;
    }
    m_programs.push_back(std::move(program));
    return m_programs.back().get();
}

ChildProcess *TestMainRoad::startProgram(const QString &name, const QString &host, const E2eProgram &program)
{
    ChildProcess *process = startProcess(name, host, program.executable(), {}, program.environment());
    if (!process)
        return nullptr;
    // The opening line is written once the sockets are bound and the group joined.
    const bool opened = QTest::qWaitFor(
        [&] {
            return program.dailyLogCount(QStringLiteral("Trigger Control Opened on VT 1")) == 1
                || !process->isRunning();
        },
        15000);
    if (!opened || !process->isRunning()) {
        qWarning("%s", qPrintable(process->tail()));
        return nullptr;
    }
    return process;
}

void TestMainRoad::sendTally(const QString &to, const QStringList &arguments)
{
    QString out;
    const bool sent = Command::run(QStringLiteral("ip"),
        QStringList {QStringLiteral("netns"), QStringLiteral("exec"), m_net->namespaceOf(simulatorHost),
            E2eProgram::tool(QStringLiteral("brenvale-tsl-source")), QStringLiteral("--to"), to}
            + arguments,
        &out);
    QVERIFY2(sent && out.contains(QStringLiteral("sent 1 to ")), qPrintable(out));
}

void TestMainRoad::tallyLogsPlaysAndTellsThePeerGroup()
{
    const QString group = EasyUDPSocket::HashGroupNameToIP(QStringLiteral("Brenvale"));
    ChildProcess *relayBox
        = startSimulator(QStringLiteral("relay box"), simulatorHost, QStringLiteral("brenvale-relay-box"), {});
    QVERIFY(relayBox);
    ChildProcess *mainServer = startSimulator(
        QStringLiteral("main graphics server"), simulatorHost, QStringLiteral("brenvale-graphics-server"), {});
    QVERIFY(mainServer);
    ChildProcess *backupServer = startSimulator(
        QStringLiteral("backup graphics server"), backupHost, QStringLiteral("brenvale-graphics-server"), {});
    QVERIFY(backupServer);
    ChildProcess *probe = startSimulator(QStringLiteral("peer probe"), simulatorHost,
        QStringLiteral("brenvale-peer-probe"), {QStringLiteral("--group"), group});
    QVERIFY(probe);

    E2eProgram *program = prepareProgram(true, true);
    QVERIFY(program);
    ChildProcess *brenvale = startProgram(QStringLiteral("Brenvale"), programHost, *program);
    QVERIFY(brenvale);
    const QString from = address(programHost) + QStringLiteral(":8083 ");

    // Joining, the program announced itself to its group at the hashed address.
    QVERIFY2(probe->waitFor(QStringLiteral("message from ") + from + QStringLiteral("command -101 "), 1, WaitMs),
        qPrintable(probe->tail()));

    // Red, sent to the program's own address: daily log line, one playout start, peer message.
    sendTally(address(programHost),
        {QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("red")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Tally Red On on VT 1")), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(program->playStarts().size(), 1, WaitMs);
    QVERIFY2(
        probe->waitFor(QStringLiteral("message from ") + from + enabledMessage, 1, WaitMs), qPrintable(probe->tail()));

    // Red again, through the tally multicast group: logged and announced again, no new start.
    sendTally(
        tallyGroup, {QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("red")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Tally Red On on VT 1")), 2, WaitMs);
    QVERIFY2(
        probe->waitFor(QStringLiteral("message from ") + from + enabledMessage, 2, WaitMs), qPrintable(probe->tail()));

    // Red for another display, then off for ours: the off line marks that the other one has
    // been handled, and it changed nothing.
    sendTally(address(programHost),
        {QStringLiteral("--vtid"), QStringLiteral("2"), QStringLiteral("--tally"), QStringLiteral("red")});
    sendTally(address(programHost),
        {QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("off")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Tally Off on VT 1")), 1, WaitMs);
    QCOMPARE(program->dailyLogCount(QStringLiteral("Tally Red On on VT 1")), 2);
    QTest::qWait(300);
    QCOMPARE(program->playStarts().size(), 1);
    QCOMPARE(probe->count(enabledMessage), 2);

    // After the off, green starts playout once more.
    sendTally(tallyGroup,
        {QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("green")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Tally Green On on VT 1")), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(program->playStarts().size(), 2, WaitMs);
    QCOMPARE(program->playStarts(), QStringList({QStringLiteral("play "), QStringLiteral("play ")}));

    // Tallies never switch keys: the relay box and the graphics servers heard nothing.
    QCOMPARE(relayBox->count(QStringLiteral("command from")), 0);
    QCOMPARE(mainServer->lines(), QStringList());
    QCOMPARE(backupServer->lines(), QStringList());

    // An orderly end on SIGTERM: closing line, leave announcement, check boxes saved.
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(program->dailyLogCount(QStringLiteral("Trigger Control Closed on VT 1")), 1);
    QVERIFY2(probe->waitFor(QStringLiteral("message from ") + from + QStringLiteral("command -102 "), 1, WaitMs),
        qPrintable(probe->tail()));
    const QVariantMap saved = program->savedPreferences();
    QCOMPARE(saved.value(QStringLiteral("tslPlay")), QVariant(true));
    QCOMPARE(saved.value(QStringLiteral("tslEnable")), QVariant(true));
    QCOMPARE(saved.value(QStringLiteral("chrWorksIP")).toString(), address(simulatorHost));

    QCOMPARE(program->malformedDailyLogLines(), QStringList());
    QCOMPARE(program->dailyLogMessages(),
        QStringList({QStringLiteral("Trigger Control Opened on VT 1"), QStringLiteral("Tally Red On on VT 1"),
            QStringLiteral("Tally Red On on VT 1"), QStringLiteral("Tally Off on VT 1"),
            QStringLiteral("Tally Green On on VT 1"), QStringLiteral("Trigger Control Closed on VT 1")}));
}

void TestMainRoad::enablingOneInstanceDisablesTheOther()
{
    const QString firstHost = programHost;
    const QString secondHost = backupHost;
    E2eProgram *first = prepareProgram(false, true);
    E2eProgram *second = prepareProgram(false, true);
    QVERIFY(first && second);
    ChildProcess *firstProcess = startProgram(QStringLiteral("Brenvale 1"), firstHost, *first);
    QVERIFY(firstProcess);
    ChildProcess *secondProcess = startProgram(QStringLiteral("Brenvale 2"), secondHost, *second);
    QVERIFY(secondProcess);

    const QString remoteDisable = QStringLiteral("Disabled by Remote Trigger on VT 1");
    const QString tallyRed = QStringLiteral("Tally Red On on VT 1");
    const QStringList red
        = {QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("red")};

    // The first enables by tally; the second, still disabled, lets its message pass.
    sendTally(address(firstHost), red);
    QTRY_COMPARE_WITH_TIMEOUT(first->dailyLogCount(tallyRed), 1, WaitMs);
    // Its own message came back over the group and was recognised as its own.
    QVERIFY2(firstProcess->waitForError(QStringLiteral("From me ignore"), 1, WaitMs), qPrintable(firstProcess->tail()));

    // The second enables: the first, enabled, disables itself and logs who did it.
    sendTally(address(secondHost), red);
    QTRY_COMPARE_WITH_TIMEOUT(second->dailyLogCount(tallyRed), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(first->dailyLogCount(remoteDisable), 1, WaitMs);
    const QStringList firstLog = first->dailyLogMessages();
    const qsizetype localDisable = firstLog.indexOf(QStringLiteral("Local Trigger Disable on VT 1"));
    QVERIFY2(localDisable >= 0 && localDisable + 1 == firstLog.indexOf(remoteDisable), qPrintable(firstLog.join(u'|')));
    QVERIFY2(
        secondProcess->waitForError(QStringLiteral("From me ignore"), 1, WaitMs), qPrintable(secondProcess->tail()));
    QCOMPARE(second->dailyLogCount(remoteDisable), 0);

    // And back: the first enables again, so the second gives way.
    sendTally(address(firstHost), red);
    QTRY_COMPARE_WITH_TIMEOUT(first->dailyLogCount(tallyRed), 2, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(second->dailyLogCount(remoteDisable), 1, WaitMs);
    // Giving way sends nothing, so the first stays enabled.
    QTest::qWait(200);
    QCOMPARE(first->dailyLogCount(remoteDisable), 1);
    QCOMPARE(first->malformedDailyLogLines(), QStringList());
    QCOMPARE(second->malformedDailyLogLines(), QStringList());

    QVERIFY2(firstProcess->stop(), qPrintable(firstProcess->tail()));
    QVERIFY2(secondProcess->stop(), qPrintable(secondProcess->tail()));
}

QTEST_GUILESS_MAIN(TestMainRoad)
#include "TestMainRoad.moc"
