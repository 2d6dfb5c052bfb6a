// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/TestProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

// One daily-log line whose message field is exactly msg: TAB date TAB time TAB weekday TAB
// ten asterisks TAB msg " on VT " vtId CR LF.
QRegularExpression dailyLogLine(const QString &msg, const QString &vtId)
{
    return QRegularExpression(QStringLiteral("(?:^|\\n)\\t\\d{4}-\\d{2}-\\d{2}\\t[^\\t\\r\\n]+\\t"
                                             "(?:Sunday|Monday|Tuesday|Wednesday|Thursday|Friday|Saturday)\\t"
                                             "\\*{10}\\t")
        + QRegularExpression::escape(msg + QStringLiteral(" on VT ") + vtId) + QStringLiteral("\\r\\n"));
}

QJsonObject parseObject(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    return document.object();
}

} // namespace

// The whole program from start to orderly shut-down, run as its own process.
class TestSpine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void firstStartStoresDefaultsAndShutsDownInOrder();
    void laterStartUsesTheFile();

private:
    // Starts, waits for the opening line, sends SIGTERM and waits for the exit.
    void runOnce(TestProcess &program, const QString &logFolder, const QString &vtId);
};

void TestSpine::initTestCase()
{
    if (!QFileInfo(TestProcess::defaultExecutable()).isExecutable())
        QFAIL(qPrintable(QStringLiteral("program not built at %1").arg(TestProcess::defaultExecutable())));
}

void TestSpine::runOnce(TestProcess &program, const QString &logFolder, const QString &vtId)
{
    QVERIFY(program.start());
    const bool opened = program.waitForDailyLog("Trigger Control Opened", 15000, logFolder);
    QVERIFY2(opened, program.standardError().constData());
    QVERIFY2(program.process().state() == QProcess::Running, program.standardError().constData());
    QVERIFY(program.terminate(15000));
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process().exitCode(), 0);

    const QString log = QString::fromUtf8(program.dailyLog(logFolder));
    const QRegularExpressionMatch opening = dailyLogLine(QStringLiteral("Trigger Control Opened"), vtId).match(log);
    const QRegularExpressionMatch closing = dailyLogLine(QStringLiteral("Trigger Control Closed"), vtId).match(log);
    QVERIFY2(opening.hasMatch(), qPrintable(log));
    QVERIFY2(closing.hasMatch(), qPrintable(log));
    QVERIFY(opening.capturedStart() < closing.capturedStart());
    // Nothing escaped a handler on the way.
    QVERIFY2(!program.standardError().contains("Unhandled"), program.standardError().constData());
}

void TestSpine::firstStartStoresDefaultsAndShutsDownInOrder()
{
    TestProcess program;
    QVERIFY(program.isValid());
    QVERIFY(program.createLogFolder());

    // "on VT 1" in the opening line shows the defaults were stored before the main window
    // opened: without them "VTid" reads as empty text.
    runOnce(program, program.defaultLogFolder(), QStringLiteral("1"));
    if (QTest::currentTestFailed())
        return;

    const QByteArray bytes = program.readPreferences();
    QVERIFY2(!bytes.endsWith('\n'), bytes.constData());
    const QJsonObject expected {
        {QStringLiteral("chrWorksIP"), QStringLiteral("192.168.0.1")},
        {QStringLiteral("chrWorksIPBup"), QStringLiteral("192.168.0.2")},
        {QStringLiteral("motion1Name"), QStringLiteral("motion1")},
        {QStringLiteral("motion2Name"), QStringLiteral("motion2")},
        {QStringLiteral("IPAddr"), QStringLiteral("10.1.13.50")},
        {QStringLiteral("LogPath"), program.defaultLogFolder()},
        {QStringLiteral("VTid"), QStringLiteral("1")},
        {QStringLiteral("tslPlay"), false},
        {QStringLiteral("tslEnable"), false},
    };
    QCOMPARE(parseObject(bytes), expected);
}

void TestSpine::laterStartUsesTheFile()
{
    TestProcess program;
    QVERIFY(program.isValid());
    const QString logFolder = program.home() + QStringLiteral("/logs/");
    QVERIFY(QDir().mkpath(logFolder));
    // No "IPAddr" and no "chrWorksIP": a loaded file gets no defaults, only the fallbacks of
    // what is read. A member the program does not know stays.
    const QJsonObject original {
        {QStringLiteral("VTid"), QStringLiteral("3")},
        {QStringLiteral("LogPath"), logFolder},
        {QStringLiteral("tslPlay"), true},
        {QStringLiteral("tslEnable"), false},
        {QStringLiteral("siteNote"), QStringLiteral("studio B")},
    };
    QVERIFY(program.writePreferences(QJsonDocument(original).toJson()));

    runOnce(program, logFolder, QStringLiteral("3"));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!QFileInfo::exists(program.defaultLogFolder()));

    QJsonObject expected = original;
    // Read for the "Connected to:" label, so its fallback was stored and saved.
    expected.insert(QStringLiteral("chrWorksIP"), QStringLiteral("192.168.0.1"));
    QCOMPARE(parseObject(program.readPreferences()), expected);
}

QTEST_GUILESS_MAIN(TestSpine)
#include "TestSpine.moc"
