// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The system log's escaping of line-breaking and control characters, and its copy on standard
// error when nobody reads that.
#include "DebugLog.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

class TestSystemLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void escapes_data();
    void escapes();
    void stalledStandardErrorDropsAndCounts();
};

void TestSystemLog::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");

    const auto u = [](char16_t c) { return QString(QChar(c)); };
    QTest::newRow("plain") << QStringLiteral("RX Pcket ~") << QStringLiteral("RX Pcket ~");
    QTest::newRow("CR LF TAB") << QStringLiteral("a\r\n\tb") << QStringLiteral("a\\r\\n\\tb");
    QTest::newRow("other C0") << (u(0x00) + u(0x1B) + u(0x1F)) << QStringLiteral("\\x00\\x1b\\x1f");
    QTest::newRow("DEL") << u(0x7F) << QStringLiteral("\\x7f");
    QTest::newRow("C1 first and last") << (u(0x80) + u(0x9F)) << QStringLiteral("\\x80\\x9f");
    QTest::newRow("NEL") << (QStringLiteral("a") + u(0x85) + QStringLiteral("b")) << QStringLiteral("a\\x85b");
    QTest::newRow("CSI") << (u(0x9B) + QStringLiteral("2J")) << QStringLiteral("\\x9b2J");
    QTest::newRow("line separator") << u(0x2028) << QStringLiteral("\\u2028");
    QTest::newRow("paragraph separator") << u(0x2029) << QStringLiteral("\\u2029");
    // Printable neighbours stay as they are.
    QTest::newRow("no-break space and accents")
        << QStringLiteral("\u00A0\u00E9\u00FF") << QStringLiteral("\u00A0\u00E9\u00FF");
    QTest::newRow("around the separators")
        << QStringLiteral("\u2027\u202A\u202F") << QStringLiteral("\u2027\u202A\u202F");
}

void TestSystemLog::escapes()
{
    QFETCH(QString, text);
    QTEST(escapeControlCharacters(text), "escaped");
}

void TestSystemLog::stalledStandardErrorDropsAndCounts()
{
    // Standard error on a pipe nobody reads (yet): logging must go on without waiting.
    int pipeEnds[2];
    QCOMPARE(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
    const int savedStderr = ::dup(STDERR_FILENO);
    QVERIFY(savedStderr >= 0);
    QCOMPARE(::dup2(pipeEnds[1], STDERR_FILENO), STDERR_FILENO);
    ::close(pipeEnds[1]);

    const auto runLoop = [] {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    };
    QByteArray received;
    const auto drain = [&] {
        char buffer[8192];
        ssize_t n = 0;
        while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, n);
    };

    // A blocking write would stop the test here; the alarm ends it instead.
    ::alarm(60);
    const int count = 2000;
    const QByteArray padding(90, 'x');
    for (int i = 0; i < count; ++i)
        DebugLog(QStringLiteral("line %1 ").arg(i, 4, 10, QLatin1Char('0')) + QString::fromLatin1(padding));
    runLoop();
    for (int i = 0; i < 50; ++i) {
        drain();
        runLoop();
    }
    DebugLog(QStringLiteral("after"));
    runLoop();
    drain();
    ::alarm(0);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(pipeEnds[0]);

    // Whole lines from the first on, then how many were dropped, then what came later.
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() > 3, received.left(200).constData());
    QCOMPARE(lines.last(), QByteArray());
    QCOMPARE(lines.at(lines.size() - 2), QByteArray("after"));
    const QByteArray note = lines.at(lines.size() - 3);
    QVERIFY2(note.endsWith(" system-log lines dropped"), note.constData());
    const int written = int(lines.size()) - 3;
    for (int i = 0; i < written; ++i)
        QCOMPARE(lines.at(i), "line " + QByteArray::number(i).rightJustified(4, '0') + ' ' + padding);
    QVERIFY(written > 0);
    QCOMPARE(note.left(note.indexOf(' ')).toInt(), count - written);
}

QTEST_GUILESS_MAIN(TestSystemLog)
#include "TestSystemLog.moc"
