// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The platform's own I/O under pressure: what the system log escapes, its copy on a standard
// error nobody reads, a UDP socket with a long backlog (on loopback), and the host's address
// list while its addresses change (inside a network namespace of the test's own).
#include "core/platform/Clock.h"
#include "core/platform/DebugLog.h"
#include "core/platform/HostAddressCache.h"
#include "core/platform/HostNetwork.h"
#include "core/platform/OutsideText.h"
#include "core/platform/SystemLogSink.h"
#include "core/platform/UDPSocket.h"

#include <QEventLoop>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

class TestPlatformIO : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void escapes_data();
    void escapes();
    void stalledStandardErrorDropsAndCounts();
    void exitDrainWaitsForASlowReader();
    void backlogGoesInBoundedBatches();
    void throwingHandlerLeavesSocketDelivering_data();
    void throwingHandlerLeavesSocketDelivering();
    void hostAddressReads_data();
    void hostAddressReads();
    void addressNewsTakenByTheFreshCheck();
    void localTimeReads_data();
    void localTimeReads();
    void readsTellEachSender();
};

void TestPlatformIO::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("C0 and DEL") << QStringLiteral("a\r\n\tb\x01\x1f\x7f")
                                << QStringLiteral("a\\r\\n\\tb\\x01\\x1f\\x7f");
    QTest::newRow("C1, NEL and CSI") << QStringLiteral("\u0080\u0085\u009B2J\u009F")
                                     << QStringLiteral("\\x80\\x85\\x9b2J\\x9f");
    QTest::newRow("separators") << QStringLiteral("\u2028\u2029") << QStringLiteral("\\u2028\\u2029");
    // Format characters: a right-to-left override shows the rest of a line reversed.
    QTest::newRow("direction override") << QStringLiteral("1 Key 1 Off\u202ENO gnitset")
                                        << QStringLiteral("1 Key 1 Off\\u202eNO gnitset");
    QTest::newRow("other format characters")
        << QStringLiteral("\u2066\u2067\u2068\u2069\u200E\u200F\u061C\uFEFF\u00AD\u202A\u200B")
        << QStringLiteral("\\u2066\\u2067\\u2068\\u2069\\u200e\\u200f\\u061c\\ufeff\\u00ad\\u202a\\u200b");
    QTest::newRow("format character above U+FFFF") << QStringLiteral("a\U000E0001b") << QStringLiteral("a\\U000e0001b");
    // Printable neighbours and ordinary letters of any script, emoji included, stay as they are.
    QTest::newRow("printable") << QStringLiteral("~\u00A0\u00E9\u2027\u2030 \u0627\u05D0\u4E2D\u0915\U0001F600")
                               << QStringLiteral("~\u00A0\u00E9\u2027\u2030 \u0627\u05D0\u4E2D\u0915\U0001F600");
}

void TestPlatformIO::escapes()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(OutsideText::escaped(text), escaped);

    // The system log's standard-error copy writes the same.
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    const int savedStderr = ::dup(STDERR_FILENO);
    QCOMPARE(::dup2(ends[1], STDERR_FILENO), STDERR_FILENO);
    ::close(ends[1]);
    DebugLog(text);
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    char buffer[4096];
    const ssize_t n = ::read(ends[0], buffer, sizeof buffer);
    ::close(ends[0]);
    QCOMPARE(QByteArray(buffer, qMax<ssize_t>(n, 0)), escaped.toUtf8() + '\n');
}

void TestPlatformIO::stalledStandardErrorDropsAndCounts()
{
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    const int savedStderr = ::dup(STDERR_FILENO);
    QCOMPARE(::dup2(ends[1], STDERR_FILENO), STDERR_FILENO);
    ::close(ends[1]);
    QByteArray received;
    const auto turnLoopAndDrain = [&] {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
        char buffer[65536];
        for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
    };

    // Far more than the pipe and the log's own buffer hold; a blocking write would stop the
    // test here, and the alarm ends it instead.
    ::alarm(60);
    const int count = 3000;
    const QByteArray padding(90, 'x');
    for (int i = 0; i < count; ++i)
        DebugLog(QString::number(i) + QString::fromLatin1(padding));
    for (int i = 0; i < 50; ++i)
        turnLoopAndDrain();
    DebugLog(QStringLiteral("after"));
    turnLoopAndDrain();
    ::alarm(0);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(ends[0]);

    // Whole lines from the first on, then how many were dropped, then what came later.
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() > 3 && lines.size() < count, received.left(200).constData());
    const int written = int(lines.size()) - 3;
    for (int i = 0; i < written; ++i)
        QCOMPARE(lines.at(i), QByteArray::number(i) + padding);
    QCOMPARE(lines.at(written), QByteArray::number(count - written) + " system-log lines dropped");
    QCOMPARE(lines.at(written + 1), QByteArray("after"));
}

void TestPlatformIO::exitDrainWaitsForASlowReader()
{
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
    const int savedStderr = ::dup(STDERR_FILENO);
    QCOMPARE(::dup2(ends[1], STDERR_FILENO), STDERR_FILENO);
    ::close(ends[1]);
    // More than the pipe takes, less than the log's own buffer holds: what the pipe did not take
    // goes only once the reader wakes.
    QByteArray expected;
    for (int i = 0; i < 600; ++i) {
        const QByteArray line = QByteArray::number(i) + QByteArray(95, 'x');
        SystemLogSink::writeStandardError(line);
        expected += line + '\n';
    }
    SystemLogSink::writeStandardError("last");
    expected += "last\n";
    QByteArray received;
    std::thread reader([&] {
        ::usleep(100'000);
        char buffer[65536];
        for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
    });
    SystemLogSink::drain(SystemLogSink::ExitDrainMs);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    reader.join();
    ::close(ends[0]);
    QCOMPARE(received, expected);
}

void TestPlatformIO::backlogGoesInBoundedBatches()
{
    UDPSocket socket;
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    socket.setPort(sender.localPort() + 1);
    socket.Connect();
    QVERIFY(socket.IsConnected());
    QList<QByteArray> received;
    qsizetype receivedWhenQueuedRan = -1;
    connect(&socket, &UDPSocket::DataAvailable, this, [&] {
        if (received.isEmpty())
            QTimer::singleShot(0, this, [&] { receivedWhenQueuedRan = received.size(); });
        received.append(socket.Read().Data);
    });

    // A backlog of several batches, all waiting before the loop first looks; no Poll().
    const int count = 4 * UDPSocket::BatchDatagrams;
    for (int i = 0; i < count; ++i)
        sender.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, quint16(socket.Port()));
    QVERIFY(QTest::qWaitFor([&] { return received.size() >= count; }, 5000));
    QTest::qWait(50);
    QCOMPARE(received.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(received.at(i), QByteArray::number(i));
    // The event queued during the first batch ran before the backlog was through.
    QVERIFY2(receivedWhenQueuedRan >= 1 && receivedWhenQueuedRan <= UDPSocket::BatchDatagrams,
        qPrintable(QString::number(receivedWhenQueuedRan)));

    // Qt's report of the last datagram can come after the queued call took it; the datagram
    // after the backlog is still reported.
    sender.writeDatagram("after", QHostAddress::LocalHost, quint16(socket.Port()));
    QTRY_COMPARE(received.size(), count + 1);
    QCOMPARE(received.last(), QByteArray("after"));
    QCOMPARE(socket.LastErrorCode(), int(UDPSocket::NoError));
}

void TestPlatformIO::throwingHandlerLeavesSocketDelivering_data()
{
    QTest::addColumn<bool>("readsFirst");
    QTest::newRow("throws after taking its datagram") << true;
    QTest::newRow("throws before taking it") << false;
}

void TestPlatformIO::throwingHandlerLeavesSocketDelivering()
{
    QFETCH(bool, readsFirst);
    UDPSocket socket;
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    socket.setPort(sender.localPort() + 1);
    socket.Connect();
    QVERIFY(socket.IsConnected());
    QList<QByteArray> received;
    bool thrown = false;
    connect(&socket, &UDPSocket::DataAvailable, this, [&] {
        const bool throwNow = !std::exchange(thrown, true);
        if (readsFirst || !throwNow)
            received.append(socket.Read().Data);
        if (throwNow)
            throw std::runtime_error("handler failed");
    });
    for (const char *data : {"first", "second"})
        sender.writeDatagram(data, QHostAddress::LocalHost, quint16(socket.Port()));
    // Waited for without the event loop, so the throw comes out of Poll() here.
    for (int i = 0; i < 500 && socket.PacketsAvailable() == 0; ++i)
        QThread::msleep(1);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, socket.Poll());

    QTRY_COMPARE(received, (QList<QByteArray> {"first", "second"}));
    sender.writeDatagram("third", QHostAddress::LocalHost, quint16(socket.Port()));
    QTRY_COMPARE(received.size(), 3);
    QCOMPARE(received.last(), QByteArray("third"));
}

void TestPlatformIO::hostAddressReads_data()
{
    // Calls at milliseconds: a<ms> the list, f<ms> a fresh one for a sender it missed, c<ms>
    // the host reports a change. Every peer message looks, a flood of strangers included.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("reads");
    QTest::newRow("kept for a second") << "a0 a500 a999" << 1;
    QTest::newRow("read again after it") << "a0 a1000" << 2;
    QTest::newRow("misses within a quarter second share a read") << "a0 f1 f120 f249" << 1;
    QTest::newRow("a miss after that reads") << "a0 f250" << 2;
    QString flood;
    for (int ms = 0; ms < 1000; ms += 5)
        flood += QStringLiteral("f%1 ").arg(ms);
    QTest::newRow("a flood of misses: four reads a second") << flood.trimmed() << 4;
    QTest::newRow("a change: the next look reads") << "a0 c10 a11 a12" << 2;
    QTest::newRow("a change: the next miss reads") << "f0 c1 f2 f3 f4" << 2;
}

void TestPlatformIO::hostAddressReads()
{
    QFETCH(QString, calls);
    QFETCH(int, reads);
    int readCount = 0;
    qint64 now = 0;
    // Each read finds the host changed, so a list shows which read it came from.
    HostAddressCache cache([&] { return QStringList {QString::number(++readCount)}; }, [&] { return now; });
    QStringList last;
    const QStringList steps = calls.split(u' ');
    for (const QString &step : steps) {
        now = step.mid(1).toLongLong();
        if (step.startsWith(u'a'))
            last = cache.addresses();
        else if (step.startsWith(u'f'))
            last = cache.fresh();
        else
            cache.changed();
    }
    QCOMPARE(readCount, reads);
    QCOMPARE(last, QStringList {QString::number(reads)});
}

void TestPlatformIO::addressNewsTakenByTheFreshCheck()
{
    // The program's watch, and no turn of the loop between the change and the looks, as in one
    // receive pass whose first message comes from the new address.
    QObject context;
    int bursts = 0;
    QVERIFY(HostNetwork::watchChanges(&context, [&bursts] { ++bursts; }));
    const QString added = QStringLiteral("10.77.0.1");
    const auto ip = [&added](const char *verb) {
        return QProcess::execute(QStringLiteral("ip"),
            {QStringLiteral("addr"), QLatin1String(verb), added + QStringLiteral("/32"), QStringLiteral("dev"),
                QStringLiteral("lo")});
    };
    QVERIFY(!HostNetwork::freshIPv4Addresses().contains(added));
    QCOMPARE(ip("add"), 0);
    const auto removeAddress = qScopeGuard([&ip] { ip("del"); });
    QVERIFY(HostNetwork::freshIPv4Addresses().contains(added));
    // That look took the news: the strangers after it find none that would read the list again.
    QVERIFY(!HostNetwork::readWaitingNews());
    QVERIFY(HostNetwork::freshIPv4Addresses().contains(added));
    // The watcher's owner still hears of the change, once.
    QTRY_COMPARE(bursts, 1);
    QTest::qWait(HostNetwork::SettleMs + 100);
    QCOMPARE(bursts, 1);
}

void TestPlatformIO::localTimeReads_data()
{
    // Calls as <second>@<monotonic ms>.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("reads");
    QTest::newRow("one second, within the reuse time") << "7@0 7@99" << 1;
    QTest::newRow("past the reuse time, each new second, also back") << "7@0 7@100 8@110 7@120" << 4;
}

void TestPlatformIO::localTimeReads()
{
    QFETCH(QString, calls);
    Clock::LocalSeconds local;
    for (const QString &call : calls.split(u' ')) {
        const qint64 second = 1'774'745'390 + call.section(u'@', 0, 0).toLongLong();
        QCOMPARE(
            local.at(second, call.section(u'@', 1).toLongLong()), QDateTime::fromSecsSinceEpoch(second, Qt::LocalTime));
    }
    QTEST(local.reads(), "reads");
}

void TestPlatformIO::readsTellEachSender()
{
    UDPSocket socket;
    QUdpSocket senders[2];
    QVERIFY(senders[0].bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QVERIFY(senders[1].bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    socket.setPort(senders[0].localPort() + 1);
    socket.Connect();
    QStringList got;
    connect(&socket, &UDPSocket::DataAvailable, this, [&] {
        const UDPSocket::Datagram datagram = socket.Read();
        got.append(datagram.Address + QStringLiteral(" %1").arg(datagram.Data.count('x')));
    });
    for (int i = 0; i < 4; ++i)
        senders[i % 2].writeDatagram(QByteArray(i * 21000, 'x'), QHostAddress::LocalHost, quint16(socket.Port()));
    QTRY_COMPARE(got.join(u','), QStringLiteral("127.0.0.1 0,127.0.0.2 21000,127.0.0.1 42000,127.0.0.2 63000"));
}

QTEST_GUILESS_MAIN(TestPlatformIO)
#include "TestPlatformIO.moc"
