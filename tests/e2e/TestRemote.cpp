// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The built program's remote control, used as a script would use it: `gdbus call` on a session
// bus of the test's own, with the program in one host of a private network and the relay box
// and the two graphics servers in others.
#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/ControlBus.h"
#include "support/E2eProgram.h"
#include "support/HostNamespaces.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const int Subnet = 2;
const int WaitMs = 10000;
const QString programHost = QStringLiteral("A");
const QString simulatorHost = QStringLiteral("B");
const QString backupHost = QStringLiteral("C");

// One graphics-server request line, parsed.
QJsonObject request(const ChildProcess &server, qsizetype index)
{
    if (index >= server.lines().size())
        return {};
    return QJsonDocument::fromJson(server.lines().at(index).toUtf8()).object();
}
} // namespace

class TestRemote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void answersWhileDisabled_data();
    void answersWhileDisabled();
    void disabledTriggerSendsNothing();
    void keysReachRelayBoxAndGraphicsServers_data();
    void keysReachRelayBoxAndGraphicsServers();
    void missingMotionKeyIsStoredEmpty();
    void cleanupTestCase();

private:
    enum class Trigger { Disabled, EnabledByTally };
    // Starts the program for the wanted state unless it already runs in it.
    bool ensureProgram(Trigger trigger);
    void stopProgram();
    QString callHandleEvent(const QString &eventClass, const QString &eventID) const
    {
        return ControlBus::callHandleEvent(m_busAddress, eventClass, eventID);
    }
    std::unique_ptr<ChildProcess> startIn(const QString &name, const QString &host, const QString &program,
        const QStringList &arguments, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    std::unique_ptr<ChildProcess> startSimulator(const QString &name, const QString &host, const QString &tool);
    QString address(const QString &host) const { return m_net->addressOf(host); }

    QTemporaryDir m_busDir;
    QString m_busAddress;
    // Declared before the processes so that they end before the namespaces go.
    std::unique_ptr<HostNamespaces> m_net;
    std::unique_ptr<ChildProcess> m_bus;
    std::unique_ptr<ChildProcess> m_relayBox;
    std::unique_ptr<ChildProcess> m_mainServer;
    std::unique_ptr<ChildProcess> m_backupServer;
    std::unique_ptr<E2eProgram> m_program;
    std::unique_ptr<ChildProcess> m_brenvale;
    Trigger m_trigger = Trigger::Disabled;
};

std::unique_ptr<ChildProcess> TestRemote::startIn(const QString &name, const QString &host, const QString &program,
    const QStringList &arguments, const QProcessEnvironment &env)
{
    auto process = std::make_unique<ChildProcess>(name);
    if (!process->start(host.isEmpty() ? QString() : m_net->namespaceOf(host), program, arguments, env))
        return nullptr;
    return process;
}

std::unique_ptr<ChildProcess> TestRemote::startSimulator(const QString &name, const QString &host, const QString &tool)
{
    // The deadline is a backstop should this test itself die without cleaning up.
    auto process = startIn(name, host, E2eProgram::tool(tool), {QStringLiteral("--quit-after"), QStringLiteral("120")});
    if (!process || !process->waitForError(QStringLiteral("listening on"), 1, WaitMs))
        return nullptr;
    return process;
}

void TestRemote::initTestCase()
{
    const QString reason = HostNamespaces::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    for (const QString &needed : {QStringLiteral("dbus-daemon"), QStringLiteral("gdbus")}) {
        if (QStandardPaths::findExecutable(needed).isEmpty())
            QSKIP(qPrintable(needed + QStringLiteral(" is not installed (dbus-daemon, libglib2.0-bin)")));
    }
    QVERIFY2(QFileInfo(E2eProgram::builtBundle() + QStringLiteral("/Contents/MacOS/Brenvale")).isExecutable(),
        qPrintable(QStringLiteral("no built program in ") + E2eProgram::builtBundle()));
    QVERIFY(m_busDir.isValid());

    m_net = std::make_unique<HostNamespaces>(QStringLiteral("rc"), Subnet);
    QVERIFY2(m_net->create({programHost, simulatorHost, backupHost}), qPrintable(m_net->errorString()));

    // A bus on a socket path: abstract sockets would stay in the namespace they were made in.
    m_busAddress = QStringLiteral("unix:path=") + m_busDir.path() + QStringLiteral("/bus");
    m_bus = startIn(QStringLiteral("dbus-daemon"), QString(), QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
            QStringLiteral("--print-address=1"), QStringLiteral("--address=") + m_busAddress});
    QVERIFY(m_bus);
    QVERIFY2(m_bus->waitFor(QStringLiteral("unix:path="), 1, WaitMs), qPrintable(m_bus->tail()));

    m_relayBox = startSimulator(QStringLiteral("relay box"), simulatorHost, QStringLiteral("brenvale-relay-box"));
    QVERIFY(m_relayBox);
    m_mainServer = startSimulator(
        QStringLiteral("main graphics server"), simulatorHost, QStringLiteral("brenvale-graphics-server"));
    QVERIFY(m_mainServer);
    m_backupServer = startSimulator(
        QStringLiteral("backup graphics server"), backupHost, QStringLiteral("brenvale-graphics-server"));
    QVERIFY(m_backupServer);
}

void TestRemote::cleanupTestCase()
{
    stopProgram();
    m_relayBox.reset();
    m_mainServer.reset();
    m_backupServer.reset();
    m_bus.reset();
    m_net.reset();
}

void TestRemote::stopProgram()
{
    if (m_brenvale && m_brenvale->isRunning()) {
        const bool orderly = m_brenvale->stop();
        if (!orderly)
            qWarning("%s", qPrintable(m_brenvale->tail()));
    }
    m_brenvale.reset();
    m_program.reset();
}

bool TestRemote::ensureProgram(Trigger trigger)
{
    if (m_brenvale && m_brenvale->isRunning() && m_trigger == trigger)
        return true;
    stopProgram();
    m_trigger = trigger;

    const bool enabling = trigger == Trigger::EnabledByTally;
    m_program = std::make_unique<E2eProgram>();
    // "motion2Name" is left out on purpose: a missing motion key is sent as an empty name.
    if (!m_program->prepare({
            {QStringLiteral("motion1Name"), QStringLiteral("motion1")},
            {QStringLiteral("chrWorksIP"), address(simulatorHost)},
            {QStringLiteral("chrWorksIPBup"), address(backupHost)},
            {QStringLiteral("IPAddr"), address(simulatorHost)},
            {QStringLiteral("VTid"), QStringLiteral("1")},
            {QStringLiteral("tslPlay"), false},
            {QStringLiteral("tslEnable"), enabling},
        })) {
        qWarning("%s", qPrintable(m_program->errorString()));
        return false;
    }
    m_brenvale = startIn(
        QStringLiteral("Brenvale"), programHost, m_program->executable(), {}, m_program->environment(m_busAddress));
    if (!m_brenvale)
        return false;
    // The opening line comes after the sockets; the bus service is published right after the
    // main window opens, so wait for the service as well.
    const bool opened = QTest::qWaitFor(
        [&] {
            return m_program->dailyLogCount(QStringLiteral("Trigger Control Opened on VT 1")) == 1
                || !m_brenvale->isRunning();
        },
        15000);
    if (!opened || !m_brenvale->isRunning()) {
        qWarning("%s", qPrintable(m_brenvale->tail()));
        return false;
    }
    const bool published = ControlBus::waitForService(m_busAddress, WaitMs);
    if (!published) {
        qWarning("the remote control never appeared on the bus\n%s", qPrintable(m_brenvale->tail()));
        return false;
    }

    if (enabling) {
        QString out;
        const bool sent = Command::run(QStringLiteral("ip"),
            {QStringLiteral("netns"), QStringLiteral("exec"), m_net->namespaceOf(simulatorHost),
                E2eProgram::tool(QStringLiteral("brenvale-tsl-source")), QStringLiteral("--to"), address(programHost),
                QStringLiteral("--vtid"), QStringLiteral("1"), QStringLiteral("--tally"), QStringLiteral("red")},
            &out);
        // The daily line is written after the enable step of the same datagram.
        if (!sent
            || !QTest::qWaitFor(
                [&] { return m_program->dailyLogCount(QStringLiteral("Tally Red On on VT 1")) == 1; }, WaitMs)) {
            qWarning("the tally did not reach the program: %s\n%s", qPrintable(out), qPrintable(m_brenvale->tail()));
            return false;
        }
    }
    return true;
}

void TestRemote::answersWhileDisabled_data()
{
    QTest::addColumn<QString>("eventClass");
    QTest::addColumn<QString>("eventID");
    QTest::addColumn<QString>("answer");

    QTest::newRow("Key 1 on") << QStringLiteral("Bvrq") << QStringLiteral("Rel0") << QStringLiteral("(true,)");
    QTest::newRow("Key 2 off") << QStringLiteral("Bvrq") << QStringLiteral("Rel3") << QStringLiteral("(true,)");
    QTest::newRow("unknown ID") << QStringLiteral("Bvrq") << QStringLiteral("Rel9") << QStringLiteral("(false,)");
    QTest::newRow("ID in other case") << QStringLiteral("Bvrq") << QStringLiteral("rel0") << QStringLiteral("(false,)");
    QTest::newRow("class in other case") << QStringLiteral("bvrq") << QStringLiteral("Rel0")
                                         << QStringLiteral("(false,)");
    QTest::newRow("empty") << QString() << QString() << QStringLiteral("(false,)");
}

void TestRemote::answersWhileDisabled()
{
    QFETCH(QString, eventClass);
    QFETCH(QString, eventID);
    QFETCH(QString, answer);
    QVERIFY(ensureProgram(Trigger::Disabled));
    QCOMPARE(callHandleEvent(eventClass, eventID), answer);
}

void TestRemote::disabledTriggerSendsNothing()
{
    QVERIFY(ensureProgram(Trigger::Disabled));
    // One more key after all of the above, then time for anything on its way to arrive.
    QCOMPARE(callHandleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel2")), QStringLiteral("(true,)"));
    QTest::qWait(1000);
    QCOMPARE(m_relayBox->count(QStringLiteral("command from")), 0);
    QCOMPARE(m_mainServer->lines(), QStringList());
    QCOMPARE(m_backupServer->lines(), QStringList());
    QCOMPARE(m_mainServer->errorCount(QStringLiteral("connection from")), 0);
    QCOMPARE(m_backupServer->errorCount(QStringLiteral("connection from")), 0);
    QCOMPARE(m_program->dailyLogMessages(), QStringList({QStringLiteral("Trigger Control Opened on VT 1")}));
    QVERIFY2(m_brenvale->isRunning(), qPrintable(m_brenvale->tail()));
    stopProgram();
}

void TestRemote::keysReachRelayBoxAndGraphicsServers_data()
{
    QTest::addColumn<QString>("eventID");
    QTest::addColumn<QString>("relayCommand");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("dailyLine");

    QTest::newRow("Rel0") << QStringLiteral("Rel0") << QStringLiteral("\"cmdkey0\\n\"")
                          << QStringLiteral(R"({"action":"play_motions","motions":["motion1"],"channel":"live1"})")
                          << QStringLiteral("Key 1 On on VT 1");
    QTest::newRow("Rel1") << QStringLiteral("Rel1") << QStringLiteral("\"cmdkey1\\n\"")
                          << QStringLiteral(R"({"action":"finish_motions","motions":["motion1"],"channel":"live1"})")
                          << QStringLiteral("Key 1 Off on VT 1");
    QTest::newRow("Rel2, no motion2Name")
        << QStringLiteral("Rel2") << QStringLiteral("\"cmdkey2\\n\"")
        << QStringLiteral(R"({"action":"play_motions","motions":[""],"channel":"live1"})")
        << QStringLiteral("Key 2 On on VT 1");
    QTest::newRow("Rel3, no motion2Name")
        << QStringLiteral("Rel3") << QStringLiteral("\"cmdkey3\\n\"")
        << QStringLiteral(R"({"action":"finish_motions","motions":[""],"channel":"live1"})")
        << QStringLiteral("Key 2 Off on VT 1");
}

void TestRemote::keysReachRelayBoxAndGraphicsServers()
{
    QFETCH(QString, eventID);
    QFETCH(QString, relayCommand);
    QFETCH(QString, body);
    QFETCH(QString, dailyLine);
    QVERIFY(ensureProgram(Trigger::EnabledByTally));

    const qsizetype relayBefore = m_relayBox->count(QStringLiteral("command from"));
    const qsizetype mainBefore = m_mainServer->lines().size();
    const qsizetype backupBefore = m_backupServer->lines().size();
    // The relay box answers "1", which the program writes to its daily log.
    const qsizetype repliesBefore = m_program->dailyLogCount(QStringLiteral("1 on VT 1"));

    QCOMPARE(callHandleEvent(QStringLiteral("Bvrq"), eventID), QStringLiteral("(true,)"));

    // The relay command, from the program's relay port.
    const QString expected = QStringLiteral("command from ") + address(programHost) + QStringLiteral(":5000 ")
        + relayCommand + QStringLiteral(" at ");
    QVERIFY2(m_relayBox->waitFor(expected, 1, WaitMs), qPrintable(m_relayBox->tail()));
    QCOMPARE(m_relayBox->count(QStringLiteral("command from")), relayBefore + 1);

    // One POST to each graphics server with the same JSON body.
    for (ChildProcess *server : {m_mainServer.get(), m_backupServer.get()}) {
        const qsizetype before = server == m_mainServer.get() ? mainBefore : backupBefore;
        QVERIFY2(
            QTest::qWaitFor([&] { return server->lines().size() >= before + 1; }, WaitMs), qPrintable(server->tail()));
        const QJsonObject post = request(*server, before);
        QVERIFY2(!post.isEmpty(), qPrintable(server->tail()));
        QCOMPARE(post.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
        QCOMPARE(post.value(QStringLiteral("path")).toString(), QStringLiteral("/"));
        QCOMPARE(post.value(QStringLiteral("body")).toString(), body);
        QCOMPARE(post.value(QStringLiteral("length")).toInt(), int(body.toUtf8().size()));
        const QJsonObject headers = post.value(QStringLiteral("headers")).toObject();
        QCOMPARE(headers.value(QStringLiteral("content-type")).toString(), QStringLiteral("application/json"));
        QVERIFY2(post.value(QStringLiteral("peer")).toString().startsWith(address(programHost) + u':'),
            qPrintable(server->lines().at(before)));
    }

    QTRY_COMPARE_WITH_TIMEOUT(m_program->dailyLogCount(dailyLine), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_program->dailyLogCount(QStringLiteral("1 on VT 1")), repliesBefore + 1, WaitMs);
    // Nothing more on its way: one request per server and key.
    QTest::qWait(200);
    QCOMPARE(m_mainServer->lines().size(), mainBefore + 1);
    QCOMPARE(m_backupServer->lines().size(), backupBefore + 1);
    QCOMPARE(m_program->malformedDailyLogLines(), QStringList());
}

void TestRemote::missingMotionKeyIsStoredEmpty()
{
    QVERIFY(ensureProgram(Trigger::EnabledByTally));
    QCOMPARE(callHandleEvent(QStringLiteral("Bvrq"), QStringLiteral("Rel2")), QStringLiteral("(true,)"));
    // Reading the missing key stored it; the orderly quit writes the store to its file.
    E2eProgram &program = *m_program;
    QVERIFY2(m_brenvale->stop(), qPrintable(m_brenvale->tail()));
    const QVariantMap saved = program.savedPreferences();
    QVERIFY2(saved.contains(QStringLiteral("motion2Name")), qPrintable(QStringList(saved.keys()).join(u',')));
    QCOMPARE(saved.value(QStringLiteral("motion2Name")), QVariant(QString()));
    QCOMPARE(saved.value(QStringLiteral("motion1Name")), QVariant(QStringLiteral("motion1")));
    QCOMPARE(program.dailyLogCount(QStringLiteral("Trigger Control Closed on VT 1")), 1);
    stopProgram();
}

QTEST_GUILESS_MAIN(TestRemote)
#include "TestRemote.moc"
