// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The built program under faults from outside: graphics servers that refuse, stall or answer
// 500, a relay box that is gone, garbage on its three ports, a log folder that is read-only or
// full, its preferences folder taken away while it runs, SIGTERM (or a kill) while it saves,
// a start-up box nobody answers, and a second instance on its host. Each time the program must
// keep running, keep every setting and every daily log line it wrote whole, and end in order.
#include "core/groupmsg/EasyUDPSocket.h"
#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/ControlBus.h"
#include "support/E2eProgram.h"
#include "support/HostNamespaces.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <QtEndian>

#include <csignal>
#include <memory>
#include <vector>

namespace {
const int Subnet = 3;
const int WaitMs = 10000;
const QString programHost = QStringLiteral("A");
const QString simulatorHost = QStringLiteral("B");
const QString otherHost = QStringLiteral("C");
const QString opened = QStringLiteral("Trigger Control Opened on VT 1");
const QString tallyRed = QStringLiteral("Tally Red On on VT 1");
const QString closed = QStringLiteral("Trigger Control Closed on VT 1");
const QString joinBox = QStringLiteral("Could not join multicast group!");
const QString enabledMessage = QStringLiteral("command 21 length 15 data \"Enabled\"");
const char sendArgument[] = "--send-datagrams";

struct Datagram
{
    quint16 port;
    QByteArray data;
};

// Run inside another host by the test itself: sends the datagrams listed in `file` (one per
// line, "<port> <hex>") to `address`, a millisecond apart so the receiver's buffer keeps up.
int sendDatagrams(const QString &address, const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        fprintf(stderr, "cannot read %s\n", qPrintable(fileName));
        return 1;
    }
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, 0)) {
        fprintf(stderr, "cannot bind: %s\n", qPrintable(socket.errorString()));
        return 1;
    }
    const QHostAddress to(address);
    int sent = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(' ');
        const quint16 port = (space < 0 ? line : line.left(space)).toUShort();
        const QByteArray data = space < 0 ? QByteArray() : QByteArray::fromHex(line.mid(space + 1));
        if (socket.writeDatagram(data, to, port) != data.size()) {
            fprintf(stderr, "send of %lld bytes to port %u failed: %s\n", static_cast<long long>(data.size()), port,
                qPrintable(socket.errorString()));
            return 1;
        }
        ++sent;
        QThread::msleep(1);
    }
    fprintf(stdout, "sent %d\n", sent);
    return 0;
}

// TAB date TAB time TAB weekday TAB ********** TAB message CR LF
const QRegularExpression &lineForm()
{
    static const QRegularExpression form(
        QStringLiteral("^\\t\\d{4}-\\d{2}-\\d{2}\\t[^\\t]+\\t(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)"
                       "\\t\\*{10}\\t([^\\t\\r\\n]*)\\r$"));
    return form;
}

// The daily log files of `folder` cut at LF, each piece with what ends it: a whole line ends
// in CR, a last piece without LF shows as it is.
QList<QByteArray> rawDailyLines(const QString &folder)
{
    QList<QByteArray> lines;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*OnTheAirVideo Log *")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QByteArray text = file.readAll();
        while (!text.isEmpty()) {
            const qsizetype end = text.indexOf('\n');
            lines.append(end < 0 ? text : text.left(end));
            text.remove(0, end < 0 ? text.size() : end + 1);
        }
    }
    return lines;
}

QStringList messagesIn(const QList<QByteArray> &lines)
{
    QStringList messages;
    for (const QByteArray &line : lines) {
        const QRegularExpressionMatch match = lineForm().match(QString::fromUtf8(line));
        if (match.hasMatch())
            messages.append(match.captured(2));
    }
    return messages;
}

QStringList malformedIn(const QList<QByteArray> &lines)
{
    QStringList bad;
    for (const QByteArray &line : lines) {
        if (!lineForm().match(QString::fromUtf8(line)).hasMatch())
            bad.append(QString::fromLatin1(line.toPercentEncoding("\t :*-")));
    }
    return bad;
}

QByteArray peerFrame(qint32 length, qint32 command, const QByteArray &data)
{
    QByteArray frame(8, '\0');
    qToBigEndian(length, frame.data());
    qToBigEndian(command, frame.data() + 4);
    return frame + data;
}

QByteArray tslHeaderOnly(int size)
{
    // The right header for VT 1 and red in byte 20 where there is one: only the length is wrong.
    QByteArray bytes(size, ' ');
    bytes[0] = char(0x80);
    if (size > 1)
        bytes[1] = 0;
    return bytes;
}
} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void graphicsServersFailing();
    void relayBoxGone();
    void garbageOnAllPorts();
    void logFolderReadOnly();
    void logFolderFull();
    void preferencesFolderRemoved();
    void signalsWhileSaving_data();
    void signalsWhileSaving();
    void startWithoutGroup_data();
    void startWithoutGroup();
    void signalBursts_data();
    void signalBursts();
    void secondInstance();
    void cleanup();
    void cleanupTestCase();

private:
    ChildProcess *startIn(const QString &name, const QString &host, const QString &program,
        const QStringList &arguments, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ChildProcess *startSimulator(
        const QString &name, const QString &host, const QString &tool, const QStringList &arguments = {});
    // The peer probe in the simulator host, in the group the program joins.
    ChildProcess *startPeerProbe();
    E2eProgram *prepareProgram(const QVariantMap &preferences);
    QVariantMap basePreferences(bool tallyEnable) const;
    // Starts the program in the program host and waits for its opening line.
    ChildProcess *startProgram(const E2eProgram &program, const QString &busAddress = {});
    // Starts it in a mount namespace of its own whose log folder is a fresh tmpfs mounted with
    // `options`; the test reaches the folder through the program's /proc root.
    ChildProcess *startProgramOnTmpfs(const E2eProgram &program, const QString &options);
    // The program's process id, seen from its network namespace.
    qint64 programPid() const;
    QString procRoot(qint64 pid) const { return QStringLiteral("/proc/%1/root").arg(pid); }
    bool waitForBus(const ChildProcess &brenvale);
    QString press(const QString &eventID);
    void sendTally(const QStringList &arguments);
    void sendDatagrams(const QString &from, const QList<Datagram> &datagrams);
    void signal(qint64 pid, const QString &name);
    QString address(const QString &host) const { return m_net->addressOf(host); }

    QTemporaryDir m_scratch;
    QString m_busAddress;
    std::unique_ptr<HostNamespaces> m_net;
    std::unique_ptr<ChildProcess> m_bus;
    std::vector<std::unique_ptr<E2eProgram>> m_programs;
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

void TestFaults::initTestCase()
{
    const QString reason = HostNamespaces::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(QFileInfo(E2eProgram::builtBundle() + QStringLiteral("/Contents/MacOS/Brenvale")).isExecutable(),
        qPrintable(QStringLiteral("no built program in ") + E2eProgram::builtBundle()));
    QVERIFY(m_scratch.isValid());
    m_net = std::make_unique<HostNamespaces>(QStringLiteral("ft"), Subnet);
    QVERIFY2(m_net->create({programHost, simulatorHost, otherHost}), qPrintable(m_net->errorString()));

    if (!QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
        // A bus on a socket path: abstract sockets would stay in the namespace they were made in.
        const QString address = QStringLiteral("unix:path=") + m_scratch.path() + QStringLiteral("/bus");
        m_bus = std::make_unique<ChildProcess>(QStringLiteral("dbus-daemon"));
        if (m_bus->start(QString(), QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--print-address=1"), QStringLiteral("--address=") + address})
            && m_bus->waitFor(QStringLiteral("unix:path="), 1, WaitMs))
            m_busAddress = address;
    }
}

void TestFaults::cleanup()
{
    // Programs and simulators end before their folders and the namespaces go.
    while (!m_processes.empty())
        m_processes.pop_back();
    m_programs.clear();
}

void TestFaults::cleanupTestCase()
{
    cleanup();
    m_bus.reset();
    m_net.reset();
}

ChildProcess *TestFaults::startIn(const QString &name, const QString &host, const QString &program,
    const QStringList &arguments, const QProcessEnvironment &env)
{
    auto process = std::make_unique<ChildProcess>(name);
    if (!process->start(host.isEmpty() ? QString() : m_net->namespaceOf(host), program, arguments, env))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

ChildProcess *TestFaults::startSimulator(
    const QString &name, const QString &host, const QString &tool, const QStringList &arguments)
{
    // The deadline is a backstop should this test itself die without cleaning up.
    ChildProcess *process = startIn(name, host, E2eProgram::tool(tool),
        QStringList(arguments) << QStringLiteral("--quit-after") << QStringLiteral("120"));
    if (!process || !process->waitForError(QStringLiteral("listening on"), 1, WaitMs))
        return nullptr;
    return process;
}

ChildProcess *TestFaults::startPeerProbe()
{
    const QString group = EasyUDPSocket::HashGroupNameToIP(QStringLiteral("Brenvale"));
    return startSimulator(QStringLiteral("peer probe"), simulatorHost, QStringLiteral("brenvale-peer-probe"),
        {QStringLiteral("--group"), group});
}

QVariantMap TestFaults::basePreferences(bool tallyEnable) const
{
    return {
        {QStringLiteral("chrWorksIP"), address(simulatorHost)},
        {QStringLiteral("chrWorksIPBup"), address(otherHost)},
        {QStringLiteral("IPAddr"), address(simulatorHost)},
        {QStringLiteral("motion1Name"), QStringLiteral("motion1")},
        {QStringLiteral("motion2Name"), QStringLiteral("motion2")},
        {QStringLiteral("VTid"), QStringLiteral("1")},
        {QStringLiteral("tslPlay"), false},
        {QStringLiteral("tslEnable"), tallyEnable},
    };
}

E2eProgram *TestFaults::prepareProgram(const QVariantMap &preferences)
{
    auto program = std::make_unique<E2eProgram>();
    if (!program->prepare(preferences)) {
        qWarning("%s", qPrintable(program->errorString()));
        return nullptr;
    }
    m_programs.push_back(std::move(program));
    return m_programs.back().get();
}

ChildProcess *TestFaults::startProgram(const E2eProgram &program, const QString &busAddress)
{
    const qsizetype before = program.dailyLogCount(opened);
    ChildProcess *process
        = startIn(QStringLiteral("Brenvale"), programHost, program.executable(), {}, program.environment(busAddress));
    if (!process)
        return nullptr;
    const bool ready
        = QTest::qWaitFor([&] { return program.dailyLogCount(opened) > before || !process->isRunning(); }, 15000);
    if (!ready || !process->isRunning()) {
        qWarning("%s", qPrintable(process->tail()));
        return nullptr;
    }
    return process;
}

ChildProcess *TestFaults::startProgramOnTmpfs(const E2eProgram &program, const QString &options)
{
    // unshare, sh and `ip netns exec` all exec, so the process started is the program itself
    // and a SIGTERM reaches it. The mount goes with the namespace when the program ends.
    const QString script = QStringLiteral("mount -t tmpfs -o \"$1\" brvlog \"$2\" && exec ip netns exec \"$3\" \"$4\"");
    return startIn(QStringLiteral("Brenvale"), QString(), QStringLiteral("unshare"),
        {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("sh"),
            QStringLiteral("-c"), script, QStringLiteral("sh"), options, program.logFolder(),
            m_net->namespaceOf(programHost), program.executable()},
        program.environment());
}

qint64 TestFaults::programPid() const
{
    QString out;
    if (!Command::run(QStringLiteral("ip"),
            {QStringLiteral("netns"), QStringLiteral("pids"), m_net->namespaceOf(programHost)}, &out))
        return 0;
    const QStringList pids = out.split(u'\n', Qt::SkipEmptyParts);
    return pids.size() == 1 ? pids.constFirst().trimmed().toLongLong() : 0;
}

bool TestFaults::waitForBus(const ChildProcess &brenvale)
{
    const bool published = ControlBus::waitForService(m_busAddress, WaitMs);
    if (!published)
        qWarning("the remote control never appeared on the bus\n%s", qPrintable(brenvale.tail()));
    return published;
}

QString TestFaults::press(const QString &eventID)
{
    return ControlBus::callHandleEvent(m_busAddress, QStringLiteral("Bvrq"), eventID);
}

void TestFaults::sendTally(const QStringList &arguments)
{
    QString out;
    const bool sent = Command::run(QStringLiteral("ip"),
        QStringList {QStringLiteral("netns"), QStringLiteral("exec"), m_net->namespaceOf(simulatorHost),
            E2eProgram::tool(QStringLiteral("brenvale-tsl-source")), QStringLiteral("--to"), address(programHost)}
            + arguments,
        &out, 30000);
    QVERIFY2(sent && out.contains(QStringLiteral("sent 1 to ")), qPrintable(out.left(2000)));
}

void TestFaults::sendDatagrams(const QString &from, const QList<Datagram> &datagrams)
{
    QFile list(m_scratch.path() + QStringLiteral("/datagrams-") + from);
    QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const Datagram &datagram : datagrams)
        list.write(QByteArray::number(datagram.port) + ' ' + datagram.data.toHex() + '\n');
    list.close();
    QString out;
    const bool sent = Command::run(QStringLiteral("ip"),
        {QStringLiteral("netns"), QStringLiteral("exec"), m_net->namespaceOf(from),
            QCoreApplication::applicationFilePath(), QString::fromLatin1(sendArgument), address(programHost),
            list.fileName()},
        &out, 30000);
    QVERIFY2(sent && out.contains(QStringLiteral("sent %1").arg(datagrams.size())), qPrintable(out));
}

void TestFaults::signal(qint64 pid, const QString &name)
{
    Command::run(QStringLiteral("kill"), {QStringLiteral("-") + name, QString::number(pid)});
}

void TestFaults::graphicsServersFailing()
{
    if (m_busAddress.isEmpty())
        QSKIP("no dbus-daemon and gdbus to press keys from outside");
    // The main server's host listens on nothing (refused), the backup server never answers.
    ChildProcess *relayBox
        = startSimulator(QStringLiteral("relay box"), simulatorHost, QStringLiteral("brenvale-relay-box"));
    ChildProcess *stalling = startSimulator(QStringLiteral("stalling server"), otherHost,
        QStringLiteral("brenvale-graphics-server"), {QStringLiteral("--stall")});
    QVERIFY(relayBox && stalling);
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(program);
    ChildProcess *brenvale = startProgram(*program, m_busAddress);
    QVERIFY(brenvale);
    QVERIFY(waitForBus(*brenvale));
    sendTally({QStringLiteral("--tally"), QStringLiteral("red")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(tallyRed), 1, WaitMs);

    QElapsedTimer sinceKey;
    sinceKey.start();
    QCOMPARE(press(QStringLiteral("Rel0")), QStringLiteral("(true,)"));
    // The relay command goes out whatever the graphics servers do.
    QVERIFY2(relayBox->waitFor(QStringLiteral("\"cmdkey0\\n\""), 1, WaitMs), qPrintable(relayBox->tail()));
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Key 1 On on VT 1")), 1, WaitMs);
    QVERIFY2(stalling->waitFor(QStringLiteral("\"method\":\"POST\""), 1, WaitMs), qPrintable(stalling->tail()));

    // A server answering 500 on the main host now; the stalled request is still open.
    ChildProcess *failing = startSimulator(QStringLiteral("server answering 500"), simulatorHost,
        QStringLiteral("brenvale-graphics-server"), {QStringLiteral("--status"), QStringLiteral("500")});
    QVERIFY(failing);
    QCOMPARE(press(QStringLiteral("Rel1")), QStringLiteral("(true,)"));
    QVERIFY2(relayBox->waitFor(QStringLiteral("\"cmdkey1\\n\""), 1, WaitMs), qPrintable(relayBox->tail()));
    QVERIFY2(failing->waitFor(QStringLiteral("finish_motions"), 1, WaitMs), qPrintable(failing->tail()));
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Key 1 Off on VT 1")), 1, WaitMs);

    // The stalled requests are given up after their 5 seconds: the program closes them.
    QVERIFY2(stalling->waitForError(QStringLiteral(" closed"), 1, 9000), qPrintable(stalling->tail()));
    QVERIFY2(sinceKey.elapsed() >= 4500, qPrintable(QStringLiteral("closed after %1 ms").arg(sinceKey.elapsed())));
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));

    // Still answering keys after it all.
    QCOMPARE(press(QStringLiteral("Rel2")), QStringLiteral("(true,)"));
    QVERIFY2(relayBox->waitFor(QStringLiteral("\"cmdkey2\\n\""), 1, WaitMs), qPrintable(relayBox->tail()));
    QCOMPARE(relayBox->count(QStringLiteral("command from")), 3);
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Exception")), 0);
    QCOMPARE(program->malformedDailyLogLines(), QStringList());
}

void TestFaults::relayBoxGone()
{
    if (m_busAddress.isEmpty())
        QSKIP("no dbus-daemon and gdbus to press keys from outside");
    // Nothing listens on the relay box's host: its kernel answers port unreachable.
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(program);
    ChildProcess *brenvale = startProgram(*program, m_busAddress);
    QVERIFY(brenvale);
    QVERIFY(waitForBus(*brenvale));
    sendTally({QStringLiteral("--tally"), QStringLiteral("red")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(tallyRed), 1, WaitMs);

    const QStringList keys
        = {QStringLiteral("Rel0"), QStringLiteral("Rel1"), QStringLiteral("Rel2"), QStringLiteral("Rel3")};
    for (const QString &key : keys)
        QCOMPARE(press(key), QStringLiteral("(true,)"));
    for (const QString &line : {QStringLiteral("Key 1 On on VT 1"), QStringLiteral("Key 1 Off on VT 1"),
             QStringLiteral("Key 2 On on VT 1"), QStringLiteral("Key 2 Off on VT 1")})
        QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(line), 1, WaitMs);
    // No reply came, so no reply line.
    QCOMPARE(program->dailyLogCount(QStringLiteral("1 on VT 1")), 0);

    // A relay box that comes back is served by the next key.
    ChildProcess *relayBox
        = startSimulator(QStringLiteral("relay box"), simulatorHost, QStringLiteral("brenvale-relay-box"));
    QVERIFY(relayBox);
    QCOMPARE(press(QStringLiteral("Rel0")), QStringLiteral("(true,)"));
    QVERIFY2(relayBox->waitFor(QStringLiteral("\"cmdkey0\\n\""), 1, WaitMs), qPrintable(relayBox->tail()));
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("1 on VT 1")), 1, WaitMs);
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Exception")), 0);
}

void TestFaults::garbageOnAllPorts()
{
    ChildProcess *probe = startPeerProbe();
    QVERIFY(probe);
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(program);
    ChildProcess *brenvale = startProgram(*program);
    QVERIFY(brenvale);

    QRandomGenerator random(20260314);
    // Random bytes after a first byte that makes no tally for us, no relay number and no
    // peer length: a chance message from another host would open a box nobody dismisses.
    const auto randomBytes = [&random](qsizetype size) {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        bytes[0] = char(0xff);
        return bytes;
    };
    QList<Datagram> garbage;
    for (const quint16 port : {quint16(8900), quint16(5000), quint16(8083)}) {
        garbage.append({port, QByteArray()});
        for (int i = 0; i < 8; ++i)
            garbage.append({port, randomBytes(1 + random.bounded(300))});
        garbage.append({port, QByteArray(65507, '\0')});
        garbage.append({port, randomBytes(65507)});
    }
    // Tally datagrams for our VT ID that are too short to hold the tally.
    for (int size = 1; size <= 20; ++size)
        garbage.append({8900, tslHeaderOnly(size)});
    // Relay replies that are not numbers.
    garbage.append({5000, QByteArray("\xff\xfe\x00OK", 5)});
    // Peer frames: lengths below the header, a negative one, a huge one, and truncated ones.
    garbage.append({8083, peerFrame(0, 5, "zero")});
    garbage.append({8083, peerFrame(4, 5, "four")});
    garbage.append({8083, peerFrame(-1, 5, "negative")});
    garbage.append({8083, peerFrame(0x7fffffff, 5, "huge")});
    garbage.append({8083, peerFrame(15, 21, "Enabled").left(11)});
    garbage.append({8083, QByteArray("\x00\x00", 2)});
    sendDatagrams(simulatorHost, garbage);
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));
    // The bad lengths from another host are thrown away, so its next message stands alone.
    sendDatagrams(otherHost,
        {{8083, peerFrame(0, 5, "zero")}, {8083, peerFrame(-8, 5, "negative")},
            {8083, peerFrame(0x7fffffff, 21, "Enabled")}, {8083, peerFrame(1 << 20, 21, "Enabled")}});
    QTest::qWait(300);
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));
    // No short tally was taken for one; no reply line came of the garbage.
    QCOMPARE(program->dailyLogMessages(), QStringList({opened}));

    // A valid red tally still enables and is logged and announced.
    sendTally({QStringLiteral("--tally"), QStringLiteral("red")});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(tallyRed), 1, WaitMs);
    QVERIFY2(probe->waitFor(enabledMessage, 1, WaitMs), qPrintable(probe->tail()));
    // A valid relay reply is still logged.
    sendDatagrams(simulatorHost, {{5000, QByteArray("2")}});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("2 on VT 1")), 1, WaitMs);
    // And a peer's CommandTriggerEnabled from the other host disables it.
    sendDatagrams(otherHost, {{8083, peerFrame(15, 21, "Enabled")}});
    QTRY_COMPARE_WITH_TIMEOUT(program->dailyLogCount(QStringLiteral("Disabled by Remote Trigger on VT 1")), 1, WaitMs);
    QCOMPARE(program->dailyLogMessages(),
        QStringList({opened, tallyRed, QStringLiteral("2 on VT 1"), QStringLiteral("Local Trigger Disable on VT 1"),
            QStringLiteral("Disabled by Remote Trigger on VT 1")}));
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Exception")), 0);
    QCOMPARE(program->malformedDailyLogLines(), QStringList());
}

void TestFaults::logFolderReadOnly()
{
    ChildProcess *probe = startPeerProbe();
    QVERIFY(probe);
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(program);
    ChildProcess *brenvale = startProgramOnTmpfs(*program, QStringLiteral("ro,size=1m"));
    QVERIFY(brenvale);
    // Without a daily log, its join announcement tells that it is up.
    QVERIFY2(probe->waitFor(QStringLiteral(":8083 command -101 "), 1, 15000), qPrintable(brenvale->tail()));
    qint64 pid = 0;
    QVERIFY(QTest::qWaitFor([&] { return (pid = programPid()) != 0; }, WaitMs));
    const QString folder = procRoot(pid) + program->logFolder();
    QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));

    // Each tally is handled all the same: enabled and announced, only the line is missing.
    sendTally({QStringLiteral("--tally"), QStringLiteral("red"), QStringLiteral("--count"), QStringLiteral("3"),
        QStringLiteral("--rate"), QStringLiteral("50")});
    QVERIFY2(probe->waitFor(enabledMessage, 3, WaitMs), qPrintable(probe->tail()));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Exception")), 0);
    // No line is lost unsaid: the opening line, three tallies and the closing line, each told
    // with the reason, at most once a second.
    const QRegularExpression report(QStringLiteral("^Could not write (\\d+) daily-log line\\(s\\) to (.*): (.*)$"));
    int told = 0;
    for (const QString &line : brenvale->errorLines()) {
        const QRegularExpressionMatch m = report.match(line);
        if (!m.hasMatch())
            continue;
        told += m.captured(1).toInt();
        QVERIFY2(m.captured(2).startsWith(program->logFolder()), qPrintable(line));
        QCOMPARE(m.captured(3), QStringLiteral("Read-only file system"));
    }
    QCOMPARE(told, 5);
    // The check boxes were saved although no line could be.
    QCOMPARE(program->savedPreferences().value(QStringLiteral("tslEnable")), QVariant(true));
}

void TestFaults::logFolderFull()
{
    ChildProcess *probe = startPeerProbe();
    QVERIFY(probe);
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(program);
    ChildProcess *brenvale = startProgramOnTmpfs(*program, QStringLiteral("size=64k"));
    QVERIFY(brenvale);
    QVERIFY2(probe->waitFor(QStringLiteral(":8083 command -101 "), 1, 15000), qPrintable(brenvale->tail()));
    qint64 pid = 0;
    QVERIFY(QTest::qWaitFor([&] { return (pid = programPid()) != 0; }, WaitMs));
    const QString folder = procRoot(pid) + program->logFolder();
    QTRY_COMPARE_WITH_TIMEOUT(messagesIn(rawDailyLines(folder)), QStringList({opened}), WaitMs);

    // Everything else of the small disk goes to a filler file.
    QFile filler(folder + QStringLiteral("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(512, 'x');
    int blocks = 0;
    while (filler.write(block) == block.size() && blocks < 1000)
        ++blocks;
    filler.close();
    QVERIFY2(blocks < 1000 && blocks > 0, qPrintable(QStringLiteral("%1 blocks").arg(blocks)));

    // More tallies than the daily log file's last block holds: the disk runs full under them.
    // They and the five below stay within the burst of lines a tally may write at once.
    const int first = 90;
    sendTally({QStringLiteral("--tally"), QStringLiteral("red"), QStringLiteral("--count"), QString::number(first),
        QStringLiteral("--rate"), QStringLiteral("400")});
    QVERIFY2(probe->waitFor(enabledMessage, first, 15000), qPrintable(probe->tail()));
    const qsizetype written = messagesIn(rawDailyLines(folder)).count(tallyRed);
    QVERIFY2(written < first, qPrintable(QStringLiteral("%1 lines written to a full disk").arg(written)));
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));

    // Space again: the next lines are written, and whole.
    QVERIFY(QFile::remove(filler.fileName()));
    sendTally({QStringLiteral("--tally"), QStringLiteral("red"), QStringLiteral("--count"), QStringLiteral("5"),
        QStringLiteral("--rate"), QStringLiteral("100")});
    QVERIFY2(probe->waitFor(enabledMessage, first + 5, WaitMs), qPrintable(probe->tail()));
    // Every line in the file is whole: a line cut off by the full disk must not stay behind
    // to swallow the first line written after it.
    QTest::qWait(200);
    const QList<QByteArray> lines = rawDailyLines(folder);
    const QStringList malformed = malformedIn(lines);
    QVERIFY2(malformed.isEmpty(), qPrintable(QStringLiteral("broken lines: ") + malformed.join(QStringLiteral(" | "))));
    QCOMPARE(messagesIn(lines).count(tallyRed), written + 5);
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Exception")), 0);
}

void TestFaults::preferencesFolderRemoved()
{
    const QVariantMap original = basePreferences(true);
    E2eProgram *program = prepareProgram(original);
    QVERIFY(program);
    const QString storeFolder = QFileInfo(program->preferencesFile()).absolutePath();

    // Gone for good: the quit by signal says so on the system log and ends in order.
    ChildProcess *brenvale = startProgram(*program);
    QVERIFY(brenvale);
    QVERIFY(QDir(storeFolder).removeRecursively());
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QVERIFY2(brenvale->errorCount(QStringLiteral("Could not save preferences.")) == 1, qPrintable(brenvale->tail()));
    QVERIFY2(!QFileInfo::exists(storeFolder), "the store folder was made again");

    // Back while the program runs: the settings are saved there.
    QVERIFY(QDir().mkpath(storeFolder));
    QFile file(program->preferencesFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVariantMap expected = original;
    expected.insert(QStringLiteral("LogPath"), program->logFolder());
    QVERIFY(file.write(QJsonDocument(QJsonObject::fromVariantMap(expected)).toJson()) > 0);
    file.close();
    brenvale = startProgram(*program);
    QVERIFY(brenvale);
    QVERIFY(QDir(storeFolder).removeRecursively());
    QTest::qWait(100);
    QVERIFY(QDir().mkpath(storeFolder));
    QVERIFY2(brenvale->stop(), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(QStringLiteral("Could not save preferences.")), 0);
    QCOMPARE(program->savedPreferences(), expected);
}

void TestFaults::signalsWhileSaving_data()
{
    QTest::addColumn<int>("termAfterMs");
    QTest::addColumn<int>("killAfterMs");

    // -1: no kill, the program ends on its own after the SIGTERM.
    QTest::newRow("TERM at once") << 0 << -1;
    QTest::newRow("TERM during start-up") << 60 << -1;
    QTest::newRow("TERM early") << 250 << -1;
    QTest::newRow("TERM when up") << 800 << -1;
    QTest::newRow("TERM twice") << 800 << -2;
    QTest::newRow("KILL 0 ms into the quit") << 800 << 0;
    QTest::newRow("KILL 5 ms into the quit") << 800 << 5;
    QTest::newRow("KILL 20 ms into the quit") << 800 << 20;
    QTest::newRow("KILL 60 ms into the quit") << 800 << 60;
}

void TestFaults::signalsWhileSaving()
{
    QFETCH(int, termAfterMs);
    QFETCH(int, killAfterMs);

    QVariantMap original = basePreferences(false);
    original.insert(QStringLiteral("LogPath"), QStringLiteral("/nonexistent/logs/"));
    // About 2 MB of members the program does not know; they must come back whole.
    for (int i = 0; i < 2000; ++i)
        original.insert(
            QStringLiteral("foreign%1").arg(i, 4, 10, QLatin1Char('0')), QString(1000, QChar(u'a' + i % 26)));
    E2eProgram *program = prepareProgram(original);
    QVERIFY(program);
    ChildProcess *brenvale
        = startIn(QStringLiteral("Brenvale"), programHost, program->executable(), {}, program->environment());
    QVERIFY(brenvale);
    qint64 pid = 0;
    QVERIFY(QTest::qWaitFor([&] { return (pid = programPid()) != 0 || !brenvale->isRunning(); }, WaitMs));
    QVERIFY(pid != 0);
    QTest::qWait(termAfterMs);
    signal(pid, QStringLiteral("TERM"));
    if (killAfterMs == -2) {
        signal(pid, QStringLiteral("TERM"));
    } else if (killAfterMs >= 0) {
        QThread::msleep(killAfterMs);
        signal(pid, QStringLiteral("KILL"));
    }
    QVERIFY2(QTest::qWaitFor([&] { return !brenvale->isRunning(); }, 15000), qPrintable(brenvale->tail()));

    QFile file(program->preferencesFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument saved = QJsonDocument::fromJson(file.readAll(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError && saved.isObject(),
        qPrintable(QStringLiteral("%1 at %2").arg(error.errorString()).arg(error.offset)));
    const QVariantMap values = saved.object().toVariantMap();
    for (auto it = original.cbegin(); it != original.cend(); ++it)
        QVERIFY2(values.value(it.key()) == it.value(), qPrintable(it.key()));
    // No leftover of an unfinished save beside the file, unless the kill came in its middle.
    if (killAfterMs < 0) {
        const QStringList names = QFileInfo(file).dir().entryList(QDir::Files);
        QCOMPARE(names, QStringList({QStringLiteral("Brenvale.prefs")}));
    }
}

void TestFaults::startWithoutGroup_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QStringList>("log");
    // Loopback up without a multicast route: the join fails and its box waits for nobody.
    QTest::newRow("join fails") << QStringLiteral("ip link set lo up") << QStringList({closed});
    // Loopback down and nothing else: a quiet start without sockets.
    QTest::newRow("no interface up") << QStringLiteral(":") << QStringList({opened, closed});
}

void TestFaults::startWithoutGroup()
{
    QFETCH(QString, setUp);
    QFETCH(QStringList, log);
    const bool joinFails = log.size() == 1;
    QVariantMap preferences = basePreferences(true);
    preferences.insert(QStringLiteral("tslPlay"), true);
    E2eProgram *program = prepareProgram(preferences);
    QVERIFY(program);
    // A network namespace of its own; unshare and sh exec, so the process is the program.
    ChildProcess *brenvale = startIn(QStringLiteral("Brenvale"), QString(), QStringLiteral("unshare"),
        {QStringLiteral("--net"), QStringLiteral("sh"), QStringLiteral("-c"), setUp + QStringLiteral("; exec \"$0\""),
            program->executable()},
        program->environment());
    QVERIFY(brenvale);
    // The box comes right after the program reports the failed join.
    const QString joinFailed = QStringLiteral("join \"239.1.2.3\" failed");
    QVERIFY2(
        QTest::qWaitFor(
            [&] { return joinFails ? brenvale->errorCount(joinFailed) == 1 : program->dailyLogCount(opened) == 1; },
            WaitMs),
        qPrintable(brenvale->tail()));
    QVERIFY2(brenvale->stop(2000), qPrintable(brenvale->tail()));
    QCOMPARE(brenvale->errorCount(joinBox), joinFails ? 1 : 0);
    QCOMPARE(program->dailyLogMessages(), log);
    preferences.insert(QStringLiteral("LogPath"), program->logFolder());
    QCOMPARE(program->savedPreferences(), preferences);
}

void TestFaults::signalBursts_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("startUpBox");
    QTest::addColumn<bool>("hangUpIgnored"); // started as nohup starts it
    QTest::newRow("50000 SIGINT") << int(SIGINT) << 50000 << false << false;
    QTest::newRow("20000 SIGTERM, start-up box open") << int(SIGTERM) << 20000 << true << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 1 << false << false;
    QTest::newRow("10 SIGHUP under nohup, then SIGTERM") << int(SIGHUP) << 10 << false << true;
}

void TestFaults::signalBursts()
{
    // However many signals come and whenever: one orderly quit, exit code 0, the closing line
    // last and the check boxes saved. A SIGPIPE first changes nothing.
    QFETCH(int, signalNumber);
    QFETCH(int, count);
    QFETCH(bool, startUpBox);
    QFETCH(bool, hangUpIgnored);
    QVariantMap preferences = basePreferences(true);
    preferences.insert(QStringLiteral("tslPlay"), true);
    E2eProgram *program = prepareProgram(preferences);
    QVERIFY(program);
    ChildProcess *brenvale = nullptr;
    if (startUpBox) {
        // Loopback without a multicast route: the join fails and its box waits for nobody.
        brenvale = startIn(QStringLiteral("Brenvale"), QString(), QStringLiteral("unshare"),
            {QStringLiteral("--net"), QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("ip link set lo up; exec \"$0\""), program->executable()},
            program->environment());
        QVERIFY(brenvale);
        QVERIFY2(brenvale->waitForError(QStringLiteral("join \"239.1.2.3\" failed"), 1, WaitMs),
            qPrintable(brenvale->tail()));
    } else if (hangUpIgnored) {
        // The ignored SIGHUP survives the exec, as under nohup.
        const qsizetype before = program->dailyLogCount(opened);
        brenvale = startIn(QStringLiteral("Brenvale"), programHost, QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("trap '' HUP; exec \"$0\""), program->executable()},
            program->environment());
        QVERIFY(brenvale);
        QVERIFY2(QTest::qWaitFor([&] { return program->dailyLogCount(opened) > before; }, 15000),
            qPrintable(brenvale->tail()));
    } else {
        brenvale = startProgram(*program);
        QVERIFY(brenvale);
    }
    const auto pid = static_cast<pid_t>(brenvale->pid());
    QCOMPARE(::kill(pid, SIGPIPE), 0);
    QTest::qWait(200);
    QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));

    for (int i = 0; i < count && ::kill(pid, signalNumber) == 0; ++i) { }
    if (hangUpIgnored) {
        QTest::qWait(1000);
        QVERIFY2(brenvale->isRunning(), qPrintable(brenvale->tail()));
        QCOMPARE(::kill(pid, SIGTERM), 0);
    }
    QVERIFY2(QTest::qWaitFor([&] { return !brenvale->isRunning(); }, 15000), qPrintable(brenvale->tail()));
    QVERIFY2(brenvale->exitedWithZero(), qPrintable(brenvale->tail()));
    const QStringList log = program->dailyLogMessages();
    QVERIFY2(!log.isEmpty() && log.constLast() == closed, qPrintable(log.join(QLatin1Char('|'))));
    QCOMPARE(log.count(closed), 1);
    QCOMPARE(brenvale->errorCount(joinBox), startUpBox ? 1 : 0);
    preferences.insert(QStringLiteral("LogPath"), program->logFolder());
    QCOMPARE(program->savedPreferences(), preferences);
}

void TestFaults::secondInstance()
{
    ChildProcess *probe = startPeerProbe();
    E2eProgram *program = prepareProgram(basePreferences(true));
    QVERIFY(probe && program);
    QVERIFY(startProgram(*program));
    const QByteArray preferences = readAll(program->preferencesFile());
    ChildProcess *second
        = startIn(QStringLiteral("second Brenvale"), programHost, program->executable(), {}, program->environment());
    QVERIFY(second);
    QVERIFY2(second->waitForError(QStringLiteral("bind 8083 failed"), 1, WaitMs), qPrintable(second->tail()));
    // While its box waits, a tally goes to the first alone, and only the first announces it.
    sendTally({QStringLiteral("--tally"), QStringLiteral("red")});
    QVERIFY2(probe->waitFor(enabledMessage, 1, WaitMs), qPrintable(probe->tail()));
    QVERIFY2(second->stop(2000), qPrintable(second->tail()));
    QCOMPARE(second->errorCount(QStringLiteral("Error binding port.")), 1);
    QCOMPARE(second->errorCount(QStringLiteral("Standing down: peer port 8083 is taken")), 1);
    QCOMPARE(readAll(program->preferencesFile()), preferences);
    // The daily log the two share holds the first one's lines alone: no close that never was.
    QCOMPARE(program->dailyLogMessages(), QStringList({opened, tallyRed}));
    QTest::qWait(200);
    QCOMPARE(probe->count(QStringLiteral(" command ")), 3);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], sendArgument) == 0)
        return sendDatagrams(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestFaults.moc"
