// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/ChrWorksBody.h"
#include "core/trigger/DailyLogFile.h"
#include "core/trigger/DatagramLineLimit.h"
#include "core/trigger/NumberText.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TSLTallyPacket.h"
#include "core/trigger/TallyAction.h"
#include "core/trigger/TallyPlayLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray tslDatagram(quint8 header, quint8 tally, qsizetype size = 22)
{
    QByteArray d(size, '\0');
    d[0] = char(header);
    const QByteArray text = "Camera \xe9 1     !"; // 16 bytes, one Latin-1 letter
    for (qsizetype i = 0; i < 16 && 2 + i < size; ++i)
        d[2 + i] = text.at(i);
    if (size > 20)
        d[20] = char(tally);
    return d;
}

// Short form for the many literal texts of the tables below.
QString s(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A line limit on clocks of the test's own, with what it writes to either log kept in order and
// the day's file as large as the test says.
struct LimitRig
{
    qint64 nowMs = 5'000'000;
    QDateTime wall {QDate(2026, 4, 9), QTime(12, 0)};
    qint64 fileBytes = 0;
    QStringList dailyLog;
    QList<QDate> dailyLogDays; // the day of the file each daily-log line went to
    QList<std::pair<qint64, qint64>> reports; // when, how many lines
    QStringList order; // "daily", "system" and "line" as they came
    DatagramLineLimit limit {{[this] { return nowMs; }, [this] { return wall; },
        [this](const QString &line, const QDateTime &when) {
            dailyLog.append(line);
            dailyLogDays.append(when.date());
            order.append(s("daily"));
        },
        [this](const QString &line) {
            const QRegularExpressionMatch m
                = QRegularExpression(s("^(\\d+) [a-z -]+ not written: they come too fast$")).match(line);
            reports.append({nowMs, m.hasMatch() ? m.captured(1).toLongLong() : -1'000'000});
            order.append(s("system"));
        },
        [this](const QDateTime &) { return fileBytes; }}};

    // Lines at `rate` a second for `ms` from now, their kinds taken in turn from `kinds`; both
    // clocks stay at the last one.
    qint64 lines(DatagramLineLimit::Source source, QList<int> kinds, int rate, qint64 ms)
    {
        const qint64 start = nowMs;
        const QDateTime startWall = wall;
        qint64 written = 0;
        for (qint64 i = 0; i * 1000 < ms * rate; ++i) {
            nowMs = start + i * 1000 / rate;
            wall = startWall.addMSecs(nowMs - start);
            if (limit.admit(source, kinds.at(i % kinds.size()))) {
                ++written;
                order.append(s("line"));
            }
        }
        return written;
    }
    qint64 lines(DatagramLineLimit::Source source, int kind, int rate, qint64 ms)
    {
        return lines(source, QList<int> {kind}, rate, ms);
    }
    // The lines the daily-log gap lines say are missing.
    qint64 gapped() const
    {
        qint64 sum = 0;
        for (const QString &line : dailyLog)
            sum += QRegularExpression(s("Flood: (\\d+) Lines")).match(line).captured(1).toLongLong();
        return sum;
    }
    qint64 reported() const
    {
        qint64 sum = 0;
        for (const auto &report : reports)
            sum += report.second;
        return sum;
    }
};

} // namespace

class TestLogic : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("tally");
        QTest::newRow("18 bytes, no XDATA") << tslDatagram(0x80, 1, 18) << false << 0 << 0;
        QTest::newRow("20 bytes") << tslDatagram(0x80, 1, 20) << false << 0 << 0;
        QTest::newRow("21 bytes") << tslDatagram(0x80, 1, 21) << true << 0 << 1;
        QTest::newRow("longer, extra ignored") << tslDatagram(0x81, 2, 40) << true << 1 << 2;
        QTest::newRow("0xFD is red") << tslDatagram(0x80, 0xFD) << true << 0 << 1;
        QTest::newRow("0xFC is off") << tslDatagram(0x80, 0xFC) << true << 0 << 0;
        QTest::newRow("both") << tslDatagram(0x80, 3) << true << 0 << 3;
        QTest::newRow("header 0x7F") << tslDatagram(0x7F, 0) << true << -1 << 0;
        QTest::newRow("header 0x00") << tslDatagram(0x00, 0) << true << -128 << 0;
        QTest::newRow("header 0xFF") << tslDatagram(0xFF, 0) << true << 127 << 0;
    }
    void decode()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, accepted);
        const auto packet = TSLTallyPacket::decode(datagram);
        QCOMPARE(packet.has_value(), accepted);
        if (!packet)
            return;
        QTEST(packet->address(), "address");
        QTEST(packet->tally(), "tally");
        QCOMPARE(packet->displayText(), QStringLiteral("Camera \u00e9 1     !"));
    }

    void addressMatch_data()
    {
        QTest::addColumn<int>("header");
        QTest::addColumn<QString>("vtId");
        QTest::addColumn<bool>("matches");
        QTest::newRow("0x80 / 1") << 0x80 << QStringLiteral("1") << true;
        QTest::newRow("0x80 / 1.0") << 0x80 << QStringLiteral("1.0") << true;
        QTest::newRow("0x80 / 2") << 0x80 << QStringLiteral("2") << false;
        QTest::newRow("0x81 / 1") << 0x81 << QStringLiteral("1") << false;
        QTest::newRow("0x7F / 0") << 0x7F << QStringLiteral("0") << true;
        QTest::newRow("0xFE / 127") << 0xFE << QStringLiteral("127") << true;
        QTest::newRow("0x80 / blank-led 1") << 0x80 << QStringLiteral(" 1") << true;
        QTest::newRow("0x80 / not a number") << 0x80 << QStringLiteral("VT") << false;
    }
    void addressMatch()
    {
        QFETCH(int, header);
        QFETCH(QString, vtId);
        QTEST(TSLTallyPacket::decode(tslDatagram(quint8(header), 1))->isFor(vtId), "matches");
    }

    void tallyTable_data()
    {
        QTest::addColumn<int>("byte20");
        QTest::addColumn<int>("redWidth");
        QTest::addColumn<uint>("redFill"); // 0: not set
        QTest::addColumn<int>("greenLeft"); // -1: not set
        QTest::addColumn<int>("greenWidth");
        QTest::addColumn<uint>("greenFill");
        QTest::addColumn<QStringList>("texts"); // enable, daily log, play
        const uint red = 0xFFFF0000, green = 0xFF00FF00, grey = 0xFF646464;
        QTest::newRow("red") << 0xFD << 428 << red << -1 << 0 << 0u
                             << QStringList {s("Enabled by Red Tally"), s("Tally Red On"), s("Play from Red Tally")};
        QTest::newRow("green") << 2 << 0 << 0u << 0 << 428 << green
                               << QStringList {
                                      s("Enabled by Green Tally"), s("Tally Green On"), s("Play from Green Tally")};
        QTest::newRow("both") << 3 << 214 << red << 214 << 214 << green
                              << QStringList {s("Enabled by Tally"), s("Tally Red and Green On"), s("Play from Tally")};
        QTest::newRow("off") << 0 << 214 << grey << 214 << 214 << grey
                             << QStringList {QString(), s("Tally Off"), QString()};
    }
    void tallyTable()
    {
        QFETCH(int, byte20);
        QFETCH(QStringList, texts);
        const TallyAction a = TallyAction::forTally(TSLTallyPacket::decode(tslDatagram(0x80, quint8(byte20)))->tally());
        QVERIFY(!a.redLamp.left.has_value());
        QTEST(a.redLamp.width.value_or(-1), "redWidth");
        QTEST(uint(a.redLamp.fill.value_or(0)), "redFill");
        QTEST(a.greenLamp.left.value_or(-1), "greenLeft");
        QTEST(a.greenLamp.width.value_or(-1), "greenWidth");
        QTEST(uint(a.greenLamp.fill.value_or(0)), "greenFill");
        QCOMPARE((QStringList {a.enableLogText, a.dailyLogText, a.playLogText}), texts);
        QCOMPARE(a.on, !texts.first().isEmpty());
    }

    // The window's play rule over a run of values: playout starts only on the step from
    // "nothing seen since off" to an on value.
    void playStartsOnlyFromOff_data()
    {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QList<bool>>("plays");
        QTest::newRow("red green off green") << QList<int> {1, 2, 0, 2} << QList<bool> {true, false, false, true};
        QTest::newRow("red repeated") << QList<int> {1, 1} << QList<bool> {true, false};
        QTest::newRow("green then both") << QList<int> {2, 3, 0, 3} << QList<bool> {true, false, false, true};
    }
    void playStartsOnlyFromOff()
    {
        QFETCH(QList<int>, values);
        bool redTally = false, greenTally = false;
        QList<bool> plays;
        for (int v : values) {
            const TallyAction a = TallyAction::forTally(v);
            plays << (a.on && TallyAction::playArmed(redTally, greenTally));
            redTally = a.redTally.value_or(redTally);
            greenTally = a.greenTally.value_or(greenTally);
        }
        QTEST(plays, "plays");
    }

    void textToNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const double inf = std::numeric_limits<double>::infinity();
        const struct
        {
            const char *text;
            double value;
        } rows[] = {{"1", 1}, {"1.0", 1}, {"  2.5xyz", 2.5}, {"\t7", 7}, {"-3", -3}, {"+4", 4}, {".5", 0.5}, {"5.", 5},
            {"1e3", 1000}, {"1E-2", 0.01}, {"2e", 2}, {"2e+", 2}, {"1,5", 1}, {"12 34", 12}, {"0x10", 0}, {"OK", 0},
            {"", 0}, {"-", 0}, {".", 0}, {"- 1", 0}, {"1e999", inf}, {"-1e999", -inf}, {"1e-999", 0},
            {"0.000000000000000000001e400", inf}};
        for (const auto &r : rows)
            QTest::newRow(r.text) << QString::fromLatin1(r.text) << r.value;
        QTest::newRow("arabic digit") << QStringLiteral("\u0661") << 0.0;
    }
    void textToNumber()
    {
        QFETCH(QString, text);
        QTEST(::textToNumber(text), "value");
    }

    void numberToText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1.0 << QStringLiteral("1");
        QTest::newRow("2.5") << 2.5 << QStringLiteral("2.5");
        QTest::newRow("0") << 0.0 << QStringLiteral("0");
        QTest::newRow("-0") << -0.0 << QStringLiteral("0");
        QTest::newRow("-2.5") << -2.5 << QStringLiteral("-2.5");
        QTest::newRow("million") << 1e6 << QStringLiteral("1000000");
        QTest::newRow("0.1+0.2") << 0.1 + 0.2 << QStringLiteral("0.30000000000000004");
        QTest::newRow("0.0001") << 0.0001 << QStringLiteral("0.0001");
        QTest::newRow("1e21") << 1e21 << QStringLiteral("1e+21");
    }
    void numberToText()
    {
        QFETCH(double, value);
        QTEST(::numberToText(value), "text");
        QCOMPARE(::textToNumber(::numberToText(value)), value);
    }

    void relayDatagram_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << 0 << QString() << QByteArray::fromHex("636d646b6579300a");
        QTest::newRow("1") << 1 << QString() << QByteArray("cmdkey1\n");
        QTest::newRow("2") << 2 << QStringLiteral("ignored") << QByteArray("cmdkey2\n");
        QTest::newRow("3") << 3 << QString() << QByteArray("cmdkey3\n");
        QTest::newRow("99") << 99 << QStringLiteral("10.1.13.60") << QByteArray("cmdkey99\n10.1.13.60\n");
        QTest::newRow("99 untrimmed") << 99 << QStringLiteral(" 10.1.13.60 ") << QByteArray("cmdkey99\n 10.1.13.60 \n");
        QTest::newRow("99 empty") << 99 << QString() << QByteArray("cmdkey99\n\n");
    }
    void relayDatagram()
    {
        QFETCH(int, code);
        QFETCH(QString, address);
        QTEST(RelayCommand::datagram(code, address), "bytes");
        if (address == QStringLiteral("10.1.13.60"))
            QCOMPARE(RelayCommand::datagram(code, address).size(), 20);
    }

    void relayTexts()
    {
        const QStringList screen {QStringLiteral("Sent Key 1 On"), QStringLiteral("Sent Key 1 Off"),
            QStringLiteral("Sent Key 2 On"), QStringLiteral("Sent Key 2 Off")};
        const QStringList daily {QStringLiteral("Key 1 On"), QStringLiteral("Key 1 Off"), QStringLiteral("Key 2 On"),
            QStringLiteral("Key 2 Off")};
        for (int code = 0; code < 4; ++code) {
            QCOMPARE(RelayCommand::screenText(code), screen.at(code));
            QCOMPARE(RelayCommand::dailyLogText(code), daily.at(code));
        }
        QCOMPARE(RelayCommand::screenText(99), QStringLiteral("New IP address sent to relay box"));
        QVERIFY(RelayCommand::dailyLogText(99).isEmpty());
        QVERIFY(RelayCommand::screenText(4).isEmpty() && RelayCommand::dailyLogText(4).isEmpty());
    }

    void relayReply_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("due");
        QTest::newRow("1") << QByteArray("1") << QStringLiteral("Rx message: 1 1") << true;
        QTest::newRow("2") << QByteArray("2") << QStringLiteral("Rx message: 2 2") << true;
        QTest::newRow("3") << QByteArray("3") << QStringLiteral("Rx message: 3 3") << true;
        QTest::newRow("2.5") << QByteArray("2.5") << QStringLiteral("Rx message: 2.5 2.5") << false;
        QTest::newRow("4") << QByteArray("4") << QStringLiteral("Rx message: 4 4") << false;
        QTest::newRow("OK") << QByteArray("OK") << QStringLiteral("Rx message: OK 0") << false;
        QTest::newRow("1.0 with LF") << QByteArray("1.0\n") << QStringLiteral("Rx message: 1.0\n 1") << true;
        QTest::newRow("UTF-8") << QByteArray("\xc3\xa9t\xc3\xa9") << s("Rx message: \u00e9t\u00e9 0") << false;
    }
    void relayReply()
    {
        QFETCH(QByteArray, data);
        const RelayCommand::Reply reply = RelayCommand::reply(data);
        QCOMPARE(reply.text, QString::fromUtf8(data));
        QTEST(reply.row, "row");
        QTEST(reply.dailyLogDue, "due");
    }

    void relayReplyIsCapped_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const QByteArray full = "1" + QByteArray(255, 'x');
        QTest::newRow("256 bytes kept whole") << full << QString::fromLatin1(full) << 1.0;
        QTest::newRow("257 bytes") << full + 'y' << QString::fromLatin1(full) + s(" [cut 1 bytes]") << 1.0;
        QTest::newRow("64 KB starting with 1")
            << "1" + QByteArray(65506, ' ') << s("1") + QString(255, QLatin1Char(' ')) + s(" [cut 65251 bytes]") << 1.0;
        // The value comes from the whole datagram, also where the kept text shows no number.
        QTest::newRow("number after the cut")
            << QByteArray(300, ' ') + "3" << QString(256, QLatin1Char(' ')) + s(" [cut 45 bytes]") << 3.0;
        QTest::newRow("digits past the cut")
            << QByteArray(400, '9') << QString(256, QLatin1Char('9')) + s(" [cut 144 bytes]")
            << std::numeric_limits<double>::infinity();
        // A two-byte letter across the limit is left out whole.
        QTest::newRow("letter across the limit")
            << QByteArray(255, 'a') + "\xc3\xa9" << QString(255, QLatin1Char('a')) + s(" [cut 2 bytes]") << 0.0;
        // The limit holds for the text as the logs write it: escaped first, then cut, never
        // within an escape.
        QTest::newRow("control bytes escape four to one")
            << "1 " + QByteArray(255, '\x01') << s("1 ") + QString(63, QChar(1)) + s(" [cut 192 bytes]") << 1.0;
        QTest::newRow("tabs escape two to one")
            << "1" + QByteArray(300, '\t') << s("1") + QString(127, QLatin1Char('\t')) + s(" [cut 173 bytes]") << 1.0;
        QTest::newRow("direction overrides escape to six")
            << "3" + QString(100, QChar(0x202E)).toUtf8() << s("3") + QString(42, QChar(0x202E)) + s(" [cut 174 bytes]")
            << 3.0;
        QTest::newRow("bytes read as U+FFFD")
            << "1" + QByteArray(100, '\xff') << s("1") + QString(85, QChar(0xFFFD)) + s(" [cut 15 bytes]") << 1.0;
        QTest::newRow("fits once escaped") << "3" + QByteArray(63, '\x01') << s("3") + QString(63, QChar(1)) << 3.0;
    }
    void relayReplyIsCapped()
    {
        QFETCH(QByteArray, data);
        const RelayCommand::Reply reply = RelayCommand::reply(data);
        QTEST(reply.text, "text");
        QTEST(reply.value, "value");
        QCOMPARE(reply.row, s("Rx message: ") + reply.text + QLatin1Char(' ') + ::numberToText(reply.value));
        QCOMPARE(reply.dailyLogDue, reply.value == 1.0 || reply.value == 3.0);
        // With its date, time, weekday and VT ID the reply's daily-log line stays short.
        const QByteArray line = DailyLogFile(QDateTime(QDate(2024, 3, 6), QTime(23, 59, 59))).line(reply.text, s("12"));
        QVERIFY2(line.size() <= 400, line.constData());
    }

    void tallyPlayLimit()
    {
        // Counts the starts let through in [from, to) with one request every stepMs, and adds
        // up the skips the reports tell.
        int reportedSkips = 0;
        int reports = 0;
        const QRegularExpression reason(s("(\\d+) time\\(s\\): (the tally switches too fast|4 runs have not ended)"));
        TallyPlayLimit limit {[] { return qint64(0); },
            [&](const QString &report) {
                ++reports;
                if (!report.startsWith(s("Play from tally skipped ")))
                    reportedSkips -= 1'000'000;
                for (auto m = reason.globalMatch(report); m.hasNext();)
                    reportedSkips += m.next().captured(1).toInt();
            }};
        int alive = 0;
        int aliveAsked = 0;
        const auto runsAlive = [&] {
            ++aliveAsked;
            return alive;
        };
        const auto run = [&](qint64 from, qint64 to, qint64 stepMs) {
            int starts = 0;
            for (qint64 t = from; t < to; t += stepMs)
                starts += limit.request(t, runsAlive);
            return starts;
        };

        // A tally that flaps for ten seconds: the burst, then one at each 250 ms after it.
        const qint64 t0 = 1'000'000;
        const int flapStarts = run(t0, t0 + 10'000, 1);
        QCOMPARE(flapStarts, TallyPlayLimit::Burst + 39);
        const int skipped = 10'000 - flapStarts;
        QVERIFY2(reports <= 10 + flapStarts, qPrintable(QString::number(reports)));
        // After a quiet spell the next step starts at once and tells the skips not yet told.
        QCOMPARE(run(t0 + 60'000, t0 + 60'001, 1), 1);
        QCOMPARE(reportedSkips, skipped);

        // Steps a real tally makes, even quick ones, are never held back.
        QCOMPARE(run(t0 + 120'000, t0 + 120'000 + TallyPlayLimit::Burst, 1), TallyPlayLimit::Burst);
        QCOMPARE(run(t0 + 130'000, t0 + 190'000, 300), 200);
        // A clock set back by minutes delays the next start by one refill, no more.
        QCOMPARE(run(t0 + 200'000, t0 + 200'100, 1), TallyPlayLimit::Burst);
        QCOMPARE(run(t0, t0 + TallyPlayLimit::RefillMs + 1, 1), 1);

        // Four runs alive hold every start back however slow the tally; the runs are counted
        // only when a token is there to spend, and the skips are told with their reason.
        reportedSkips = 0;
        alive = TallyPlayLimit::MaxAlive;
        aliveAsked = 0;
        QCOMPARE(run(t0 + 300'000, t0 + 310'000, 1), 0);
        QCOMPARE(aliveAsked, TallyPlayLimit::Burst + 39);
        QCOMPARE(run(t0 + 400'000, t0 + 460'000, 1000), 0);
        alive = TallyPlayLimit::MaxAlive - 1;
        QCOMPARE(run(t0 + 500'000, t0 + 500'001, 1), 1);
        QCOMPARE(reportedSkips, 10'000 + 60);
    }

    void datagramLineLimit_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("allWritten");
        using L = DatagramLineLimit;
        // Real senders: a tally repeated at frame or field rate for ten minutes, a relay box, a
        // switcher's datagrams; none of them may lose a line.
        QTest::newRow("tallies at 60/s") << int(L::TallyLines) << 60 << 600 << true;
        QTest::newRow("our tally texts at 60/s") << int(L::OwnTallyNotes) << 60 << 600 << true;
        QTest::newRow("relay replies at 20/s") << int(L::RelayBoxReplyLines) << 20 << 60 << true;
        QTest::newRow("tally notes at 1000/s") << int(L::TallyNotes) << 1000 << 120 << true;
        QTest::newRow("tally flood") << int(L::TallyLines) << 20'000 << 10 << false;
        QTest::newRow("relay reply flood") << int(L::RelayBoxReplyLines) << 20'000 << 10 << false;
        QTest::newRow("other sender's reply flood") << int(L::OtherReplyLines) << 20'000 << 10 << false;
        QTest::newRow("tally notes flood") << int(L::TallyNotes) << 20'000 << 10 << false;
        QTest::newRow("our tally texts flood") << int(L::OwnTallyNotes) << 20'000 << 10 << false;
        QTest::newRow("peer notes flood") << int(L::PeerNotes) << 5'000 << 3 << false;
    }
    void datagramLineLimit()
    {
        QFETCH(int, source);
        QFETCH(int, rate);
        QFETCH(int, seconds);
        QFETCH(bool, allWritten);
        const auto from = DatagramLineLimit::Source(source);
        const bool daily = from == DatagramLineLimit::TallyLines || from == DatagramLineLimit::RelayBoxReplyLines
            || from == DatagramLineLimit::OtherReplyLines;
        const DatagramLineLimit::Budget budget = DatagramLineLimit::KindBudget[source];
        // The last line comes in the last millisecond, which has not earned its share yet.
        const qint64 bound = budget.burst + qint64(seconds) * budget.perSecond;
        const qint64 least = budget.burst + (qint64(seconds) * 1000 - 1) * budget.perSecond / 1000;
        LimitRig rig;
        const qint64 total = qint64(rate) * seconds;
        const qint64 written = rig.lines(from, 1, rate, seconds * 1000);
        if (allWritten)
            QCOMPARE(written, total);
        else
            QVERIFY2(written >= least && written <= bound, qPrintable(QString::number(written)));
        // Counted and told at most once a second, but nothing in the daily log while it lasts.
        for (qsizetype i = 1; i < rig.reports.size(); ++i)
            QVERIFY(rig.reports.at(i).first - rig.reports.at(i - 1).first >= DatagramLineLimit::ReportPeriodMs);
        QCOMPARE(rig.dailyLog, QStringList());
        rig.nowMs += DatagramLineLimit::QuietMs - 1;
        rig.limit.settle();
        QCOMPARE(rig.dailyLog, QStringList());
        // A quiet second ends the flood: every refused line told, one gap line for the daily log.
        rig.nowMs += 1;
        rig.limit.settle();
        QCOMPARE(rig.reported(), total - written);
        const QStringList gap
            = allWritten || !daily ? QStringList() : QStringList({DatagramLineLimit::gapLine(from, total - written)});
        QCOMPARE(rig.dailyLog, gap);
        rig.nowMs += 60'000;
        rig.limit.settle(true);
        QCOMPARE(rig.dailyLog, gap);
        QCOMPARE(rig.reported(), total - written);
    }

    void datagramLineLimitKeepsOtherValuesAndOrder()
    {
        LimitRig rig;
        using L = DatagramLineLimit;
        // Red floods; a green every 200 ms among it is always written.
        qint64 green = 0;
        for (int step = 0; step < 10; ++step) {
            rig.lines(L::TallyLines, 1, 20'000, 200);
            green += rig.limit.admit(L::TallyLines, 2);
        }
        QCOMPARE(green, 10);
        QCOMPARE(L::gapLine(L::TallyLines, 12), s("Tally Flood: 12 Lines Not Logged"));
        QCOMPARE(L::gapLine(L::RelayBoxReplyLines, 3), s("Relay Reply Flood: 3 Lines Not Logged"));
        QCOMPARE(L::gapLine(L::OtherReplyLines, 3), s("Relay Reply Flood: 3 Lines Not Logged"));
        // The first line after a quiet second comes after the gap line, though no timer ran.
        rig.nowMs += L::QuietMs;
        rig.order.clear();
        QVERIFY(rig.limit.admit(L::TallyLines, 1));
        QCOMPARE(rig.order, QStringList({s("system"), s("daily")}));
        QCOMPARE(rig.dailyLog.size(), 1);
        QVERIFY(rig.dailyLog.constFirst().startsWith(s("Tally Flood: ")));
        // Another source floods; the close tells its gap at once.
        rig.lines(L::RelayBoxReplyLines, 2, 1'000, 1'000);
        rig.limit.settle(true);
        QCOMPARE(rig.dailyLog.size(), 2);
        QVERIFY(rig.dailyLog.constLast().startsWith(s("Relay Reply Flood: ")));
    }

    // Genuine lines with a budget of their own: 64 addresses at 50/s and far more besides, or
    // anyone's replies at 20000/s, never take a line of our address or of the relay box.
    void datagramLineLimitOwnBudgets_data()
    {
        QTest::addColumn<int>("flooded");
        QTest::addColumn<int>("guarded");
        QTest::addColumn<int>("everyMs");
        using L = DatagramLineLimit;
        QTest::newRow("other addresses, our tally text") << int(L::TallyNotes) << int(L::OwnTallyNotes) << 20;
        QTest::newRow("other senders, the relay box") << int(L::OtherReplyLines) << int(L::RelayBoxReplyLines) << 50;
    }
    void datagramLineLimitOwnBudgets()
    {
        QFETCH(int, flooded);
        QFETCH(int, guarded);
        QFETCH(int, everyMs);
        LimitRig rig;
        qint64 written = 0;
        for (int step = 0; step < 1000; ++step) {
            rig.lines(DatagramLineLimit::Source(flooded), 1, 20'000, everyMs - 1);
            rig.nowMs += 1;
            written += rig.limit.admit(DatagramLineLimit::Source(guarded), 1);
        }
        QCOMPARE(written, 1000);
        QVERIFY(rig.reported() > 0);
    }

    // A flood of every value for 70 s: bounded by the source's budget as a whole, its count so
    // far in the daily log at least once a minute while it lasts, every value written again
    // 3 s after it.
    void datagramLineLimitFloodOfEveryValue_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QList<int>>("kinds");
        QTest::newRow("tallies") << int(DatagramLineLimit::TallyLines) << QList<int> {0, 1, 2, 3};
        QTest::newRow("replies") << int(DatagramLineLimit::OtherReplyLines) << QList<int> {1, 2, 3};
    }
    void datagramLineLimitFloodOfEveryValue()
    {
        QFETCH(int, source);
        QFETCH(QList<int>, kinds);
        const auto from = DatagramLineLimit::Source(source);
        LimitRig rig;
        const qint64 seconds = 70;
        const qint64 written = rig.lines(from, kinds, 8000, seconds * 1000);
        const DatagramLineLimit::Budget whole = DatagramLineLimit::SourceBudget[source];
        QVERIFY2(written <= whole.burst + seconds * whole.perSecond, qPrintable(QString::number(written)));
        QCOMPARE(rig.dailyLog.size(), seconds * 1000 / DatagramLineLimit::FloodLinePeriodMs);
        rig.nowMs += 3000;
        rig.limit.settle();
        QCOMPARE(rig.gapped() + written, 8000 * seconds);
        for (const int kind : kinds)
            QVERIFY(rig.limit.admit(from, kind));
    }

    void datagramLineLimitGapLineGoesToItsDay()
    {
        // A flood at 1000/s from ten seconds before midnight to ten after: the lines refused
        // before midnight are told in that day's file, the rest in the next day's.
        LimitRig rig;
        const QDate day(2026, 4, 9);
        rig.wall = QDateTime(day, QTime(23, 59, 50));
        const qint64 before = rig.lines(DatagramLineLimit::TallyLines, 1, 1000, 10'000);
        // A short pause of the sender across midnight, shorter than the flood's end.
        rig.nowMs += 200;
        rig.wall = rig.wall.addMSecs(200);
        QCOMPARE(rig.wall.date(), day.addDays(1));
        const qint64 after = rig.lines(DatagramLineLimit::TallyLines, 1, 1000, 10'000);
        rig.nowMs += DatagramLineLimit::QuietMs;
        rig.limit.settle();
        QCOMPARE(rig.dailyLogDays, QList<QDate>({day, day.addDays(1)}));
        QCOMPARE(rig.dailyLog.constFirst(), DatagramLineLimit::gapLine(DatagramLineLimit::TallyLines, 10'000 - before));
        QCOMPARE(rig.dailyLog.constLast(), DatagramLineLimit::gapLine(DatagramLineLimit::TallyLines, 10'000 - after));
    }

    void datagramLineLimitDayCeiling()
    {
        using L = DatagramLineLimit;
        LimitRig rig;
        rig.fileBytes = L::DayCeilingBytes - 1;
        const qint64 written = rig.lines(L::TallyLines, 1, 1000, 1000);
        QCOMPARE(rig.dailyLog, QStringList());
        // The file reaches the ceiling: the count owed so far, then one line saying so; no line
        // that datagrams cause after it that day, counted or not.
        rig.fileBytes = L::DayCeilingBytes;
        rig.nowMs += 100;
        QVERIFY(!rig.limit.admit(L::TallyLines, 2));
        const QStringList full = {L::gapLine(L::TallyLines, 1000 - written), L::ceilingLine()};
        QCOMPARE(rig.dailyLog, full);
        rig.wall = rig.wall.addSecs(3600);
        rig.nowMs += 3'600'000;
        QCOMPARE(rig.lines(L::TallyLines, 3, 100, 1000) + rig.lines(L::RelayBoxReplyLines, 1, 100, 1000), 0);
        rig.limit.settle(true);
        QCOMPARE(rig.dailyLog, full);
        // System-log notes go on; so do the lines of the next day.
        QVERIFY(rig.limit.admit(L::TallyNotes));
        rig.wall = QDateTime(rig.wall.date().addDays(1), QTime(0, 0, 1));
        rig.nowMs += 12 * 3'600'000;
        rig.fileBytes = 0;
        QVERIFY(rig.limit.admit(L::TallyLines, 1));
    }

    void tallyPlayLimitTellsSkipsWithoutAFurtherStep()
    {
        // Two skips and then no step at all: both are told within the report period.
        QStringList told;
        TallyPlayLimit limit {[] { return qint64(2000); }, [&](const QString &line) { told.append(line); }};
        const auto noRuns = [] { return 0; };
        for (int step = 0; step < TallyPlayLimit::Burst; ++step)
            QVERIFY(limit.request(1000, noRuns));
        QVERIFY(!limit.request(1000, noRuns));
        QVERIFY(!limit.request(1001, noRuns));
        QCOMPARE(told, QStringList({s("Play from tally skipped 1 time(s): the tally switches too fast")}));
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(told.constLast(), told.constFirst());
    }

    void chrWorksWords()
    {
        for (const char *w : {"play", "PLAY", "Play"})
            QCOMPARE(ChrWorksBody::action(QLatin1String(w)), QStringLiteral("play_motions"));
        QCOMPARE(ChrWorksBody::action(QStringLiteral("sToP")), QStringLiteral("finish_motions"));
        for (const char *w : {"", "pause", " play", "plays"})
            QVERIFY2(!ChrWorksBody::action(QLatin1String(w)), w);
        QCOMPARE(ChrWorksBody::motionPreference(QStringLiteral("key 1")), QStringLiteral("motion1Name"));
        QCOMPARE(ChrWorksBody::motionPreference(QStringLiteral("KEY 2")), QStringLiteral("motion2Name"));
        for (const char *w : {"Key 3", "Key1", "Key 1 "})
            QVERIFY2(!ChrWorksBody::motionPreference(QLatin1String(w)), w);

        const QString key = QStringLiteral("Key 2");
        QCOMPARE(ChrWorksBody::motionName(QVariant(), key), key);
        QCOMPARE(ChrWorksBody::motionName(QJsonValue(QJsonValue::Null).toVariant(), key), key);
        QCOMPARE(ChrWorksBody::motionName(QVariant(QString()), key), QString());
        QCOMPARE(ChrWorksBody::motionName(QVariant(QStringLiteral("intro")), key), QStringLiteral("intro"));
        QCOMPARE(ChrWorksBody::url(QStringLiteral("192.168.0.1")), QStringLiteral("http://192.168.0.1:5201"));
    }

    void chrWorksBody_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("motion");
        QTest::addColumn<QByteArray>("body");
        const auto body = [](const QByteArray &action, const QByteArray &motion) {
            return "{\"action\":\"" + action + "\",\"motions\":[\"" + motion + "\"],\"channel\":\"live1\"}";
        };
        const QString play = QStringLiteral("play_motions");
        QTest::newRow("key 1 on") << play << QStringLiteral("motion1") << body("play_motions", "motion1");
        QTest::newRow("key 2 off") << s("finish_motions") << s("motion2") << body("finish_motions", "motion2");
        QTest::newRow("empty") << play << QString() << body("play_motions", "");
        QTest::newRow("slash, quote, backslash")
            << play << s("a/b \"c\" d\\e") << body("play_motions", "a\\/b \\\"c\\\" d\\\\e");
        QTest::newRow("short escapes") << play << s("\b\f\n\r\t") << body("play_motions", "\\b\\f\\n\\r\\t");
        QTest::newRow("other controls") << play << QString::fromLatin1("\x00\x01\x1f\x7f", 4)
                                        << body("play_motions", "\\u0000\\u0001\\u001f\\u007f");
        QTest::newRow("soft hyphen, arabic") << play << s("\u00ad\u0600\u0604\u0605\u070f")
                                             << body("play_motions", "\\u00ad\\u0600\\u0604\xd8\x85\\u070f");
        QTest::newRow("khmer, joiners") << play << QStringLiteral("\u17b4\u17b5\u200b\u200c\u200f\u2010")
                                        << body("play_motions", "\\u17b4\\u17b5\xe2\x80\x8b\\u200c\\u200f\xe2\x80\x90");
        QTest::newRow("separators") << play << QStringLiteral("\u2028\u202f\u2030\u2060\u206f\u2070")
                                    << body("play_motions", "\\u2028\\u202f\xe2\x80\xb0\\u2060\\u206f\xe2\x81\xb0");
        QTest::newRow("BOM and end of plane") << play << QStringLiteral("\ufeff\uffef\ufff0\uffff")
                                              << body("play_motions", "\\ufeff\xef\xbf\xaf\\ufff0\\uffff");
        QTest::newRow("raw non-ASCII") << play << QStringLiteral("caf\u00e9 \u20ac \U0001F600")
                                       << body("play_motions", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
        QTest::newRow("lone surrogate") << play << QString(QChar(0xD800)) + QLatin1Char('x')
                                        << body("play_motions", "\\ufffdx");
    }
    void chrWorksBody()
    {
        QFETCH(QString, action);
        QFETCH(QString, motion);
        const QByteArray bytes = ChrWorksBody::body(action, motion);
        QTEST(bytes, "body");
        if (motion == QStringLiteral("motion1"))
            QCOMPARE(bytes.size(), 65);
        if (motion == QStringLiteral("motion2"))
            QCOMPARE(bytes.size(), 67);
        // Whatever the escapes, a JSON reader gets the same motion name back.
        QJsonParseError error {};
        const QJsonObject o = QJsonDocument::fromJson(bytes, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        if (!motion.contains(QChar(0xD800)))
            QCOMPARE(o.value(QStringLiteral("motions")).toArray().at(0).toString(), motion);
        QCOMPARE(o.value(QStringLiteral("action")).toString(), action);
    }

    void dailyLogLine()
    {
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
        const DailyLogFile file(when);
        const QString longTime = QLocale::system().toString(when, QLocale::system().timeFormat(QLocale::LongFormat));
        QCOMPARE(file.fileName(), QStringLiteral("OnTheAirVideo Log 2024-03-05.txt"));
        QCOMPARE(file.path(s("/data/logs/")), s("/data/logs/OnTheAirVideo Log 2024-03-05.txt"));
        QCOMPARE(file.path(QStringLiteral("/data/logs")), QStringLiteral("/data/logsOnTheAirVideo Log 2024-03-05.txt"));
        QCOMPARE(file.line(QStringLiteral("Mark"), QStringLiteral("1")),
            "\t2024-03-05\t" + longTime.toUtf8() + "\tTuesday\t**********\tMark on VT 1\r\n");
        QCOMPARE(file.line(QString(), QString()),
            "\t2024-03-05\t" + longTime.toUtf8() + "\tTuesday\t**********\t on VT \r\n");
        QCOMPARE(DailyLogFile::screenRow(when, s("Manual Play Sent")), longTime + s(" : Manual Play Sent"));
        // One event stays one line: control characters are escaped, other text passes as UTF-8.
        const QByteArray line = file.line(QStringLiteral("a\r\nb\tc \u00e9"), QStringLiteral("1\n"));
        QVERIFY(line.endsWith("\ta\\r\\nb\\tc \xc3\xa9 on VT 1\\n\r\n"));
        QCOMPARE(line.count('\t'), 5);
        QCOMPARE(line.count('\n'), 1);
        // C1 controls (a TSL display byte 0x9B among them) and the Unicode line separators too.
        QVERIFY(file.line(QStringLiteral("a\u0085b\u009B2J\u2028c\u2029"), QStringLiteral("1"))
                    .endsWith("\ta\\x85b\\x9b2J\\u2028c\\u2029 on VT 1\r\n"));
    }

    void weekdays()
    {
        const QStringList names {QStringLiteral("Sunday"), QStringLiteral("Monday"), QStringLiteral("Tuesday"),
            QStringLiteral("Wednesday"), QStringLiteral("Thursday"), QStringLiteral("Friday"),
            QStringLiteral("Saturday")};
        for (int i = 0; i < 7; ++i) // 3 March 2024 was a Sunday
            QCOMPARE(DailyLogFile(QDateTime(QDate(2024, 3, 3 + i), QTime(12, 0))).weekdayName(), names.at(i));
    }

    void appendAcrossMidnight()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        const DailyLogFile before(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)));
        const DailyLogFile after(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
        QCOMPARE(before.weekdayName(), QStringLiteral("Tuesday"));
        QCOMPARE(after.weekdayName(), QStringLiteral("Wednesday"));
        QVERIFY(before.append(folder, QStringLiteral("Late"), QStringLiteral("1")).ok());
        QVERIFY(after.append(folder, QStringLiteral("Early"), QStringLiteral("1")).ok());
        QVERIFY(after.append(folder, QStringLiteral("Later"), QStringLiteral("1")).ok());
        QCOMPARE(readAll(folder + s("OnTheAirVideo Log 2024-12-31.txt")), before.line(s("Late"), s("1")));
        QCOMPARE(readAll(after.path(folder)), after.line(s("Early"), s("1")) + after.line(s("Later"), s("1")));

        // An existing file keeps what it had.
        QFile existing(before.path(folder));
        QVERIFY(existing.open(QIODevice::WriteOnly | QIODevice::Truncate));
        existing.write("earlier\r\n");
        existing.close();
        QVERIFY(before.append(folder, QString(), QStringLiteral("2")).ok());
        QCOMPARE(readAll(before.path(folder)), "earlier\r\n" + before.line(QString(), QStringLiteral("2")));
    }

    void appendOnlyToARegularFile_data()
    {
        QTest::addColumn<QString>("planted"); // what stands at the day's file name
        QTest::newRow("FIFO") << s("FIFO");
        QTest::newRow("link to a shell start-up file") << s("link");
        QTest::newRow("link to nothing yet") << s("dangling link");
        QTest::newRow("folder") << s("folder");
        QTest::newRow("none, the log folder a link") << QString();
    }
    void appendOnlyToARegularFile()
    {
        QFETCH(QString, planted);
        QTemporaryDir dir;
        const DailyLogFile file(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
        const QString real = dir.path() + s("/shared/");
        const QString profile = dir.path() + s("/profile");
        QVERIFY(QDir().mkpath(real));
        QFile shellStart(profile);
        QVERIFY(shellStart.open(QIODevice::WriteOnly) && shellStart.write("PATH=/bin\n") == 10);
        shellStart.close();
        QString folder = real;
        const QString path = file.path(real);
        if (planted == s("FIFO"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (planted == s("link"))
            QVERIFY(QFile::link(profile, path));
        else if (planted == s("dangling link"))
            QVERIFY(QFile::link(dir.path() + s("/made"), path));
        else if (planted == s("folder"))
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(QFile::link(real, dir.path() + s("/logs")));
        if (planted.isEmpty())
            folder = dir.path() + s("/logs/");

        // Opening a FIFO for writing would wait for a reader; the alarm ends the test instead.
        ::alarm(30);
        const Result<> written = file.append(folder, s("1 $(touch x)"), s("1"));
        ::alarm(0);
        QCOMPARE(written.ok(), planted.isEmpty());
        QVERIFY(written.ok() || !written.error().isEmpty());
        // What was planted stays as it was, and nothing is written through it.
        QCOMPARE(readAll(profile), QByteArray("PATH=/bin\n"));
        QVERIFY(!QFileInfo::exists(dir.path() + s("/made")));
        QCOMPARE(QFileInfo(path).isSymLink(), planted.contains(s("link")));
        QCOMPARE(QFileInfo(path).isDir(), planted == s("folder"));
        if (planted.isEmpty())
            QCOMPARE(readAll(path), file.line(s("1 $(touch x)"), s("1")));
    }

    void appendFailures_data()
    {
        QTest::addColumn<QString>("folder"); // relative to a fresh temporary folder when it starts with "@"
        QTest::newRow("missing folder") << QStringLiteral("@/missing/");
        QTest::newRow("folder is a file") << QStringLiteral("@/plain/");
        QTest::newRow("read-only folder") << QStringLiteral("@/locked/");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << QStringLiteral("logs/");
    }
    void appendFailures()
    {
        QFETCH(QString, folder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
        QFile plain(dir.path() + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString locked = dir.path() + QStringLiteral("/locked");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (folder == s("@/locked/") && QFile(locked + s("/probe")).open(QIODevice::WriteOnly))
            QSKIP("permissions are not enforced for this user");
        folder.replace(QLatin1Char('@'), dir.path());

        QCOMPARE(DailyLogFile::isUsableFolder(folder), folder.startsWith(QLatin1Char('/')));
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.path()); // a relative folder must not be written beside the program
        const Result<> written = DailyLogFile(QDateTime::currentDateTime()).append(folder, s("x"), s("1"));
        QDir::setCurrent(cwd);
        QVERIFY(!written.ok());
        QVERIFY(!written.error().isEmpty());
        QVERIFY(!QFileInfo::exists(dir.path() + QStringLiteral("/missing")));
        QVERIFY(!QFileInfo::exists(dir.path() + QStringLiteral("/logs")));
        QCOMPARE(QDir(locked).entryList(QDir::Files), QStringList());
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestLogic)
#include "TestLogic.moc"
