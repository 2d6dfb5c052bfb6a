// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Exceptions.h"
#include "core/platform/ScriptRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A script that writes its argument count and arguments, one per line, to "marker" beside
// itself; the rename makes the marker appear complete or not at all.
const char recorderScript[]
    = "#!/bin/sh\n"
      "dir=$(dirname \"$0\")\n"
      "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$dir/marker.part\"\n"
      "mv \"$dir/marker.part\" \"$dir/marker\"\n";

bool writeFile(const QString &path, const QByteArray &content, QFile::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return file.setPermissions(permissions);
}

const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions plain = QFile::ReadOwner | QFile::WriteOwner;

QStringList readMarker(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void runsScriptWithArguments_data();
    void runsScriptWithArguments();
    void relativePathIsNotLookedUpOnPath();
    void doesNotWaitForTheScript();
    void unstartableScriptThrows_data();
    void unstartableScriptThrows();
    void handsFileToOsascriptWhereItExists();
    void endedScriptIsCollected();
    void scriptInheritsOnlyStandardFilesAndStartEnvironment();

private:
    QString m_originalPath;
};

void TestScriptRunner::init()
{
    if (m_originalPath.isEmpty())
        m_originalPath = qEnvironmentVariable("PATH");
    qputenv("PATH", m_originalPath.toLocal8Bit());
}

void TestScriptRunner::runsScriptWithArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList {QStringLiteral("start")};
    QTest::newRow("spaces and shell characters") << QStringList {
        QStringLiteral("a b"), QStringLiteral("$HOME"), QStringLiteral("\"quoted\";|&"), QStringLiteral("*")};
    QTest::newRow("empty and non-ASCII") << QStringList {QString(), QStringLiteral("Kl\u00e4ppe \u2192 on")};
}

void TestScriptRunner::runsScriptWithArguments()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("Play.scpt"));
    QVERIFY(writeFile(script, recorderScript, executable));

    ScriptRunner::runScript(script, args);

    const QString marker = dir.filePath(QStringLiteral("marker"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    QCOMPARE(readMarker(marker), QStringList {QString::number(args.size())} + args);
}

void TestScriptRunner::relativePathIsNotLookedUpOnPath()
{
    // "Play.scpt" as a bare name must mean the file in the current folder, even when a
    // program of that name sits on the PATH.
    QTemporaryDir scriptDir;
    QTemporaryDir decoyDir;
    QVERIFY(scriptDir.isValid() && decoyDir.isValid());
    QVERIFY(writeFile(scriptDir.filePath(QStringLiteral("Play.scpt")), recorderScript, executable));
    QVERIFY(writeFile(decoyDir.filePath(QStringLiteral("Play.scpt")),
        "#!/bin/sh\ntouch \"$(dirname \"$0\")/decoy-ran\"\n", executable));
    qputenv("PATH", (decoyDir.path() + QLatin1Char(':') + m_originalPath).toLocal8Bit());

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(scriptDir.path()));
    ScriptRunner::runScript(QStringLiteral("Play.scpt"), {QStringLiteral("x")});
    QVERIFY(QDir::setCurrent(previous));

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(scriptDir.filePath(QStringLiteral("marker"))), 10000);
    QVERIFY(!QFile::exists(decoyDir.filePath(QStringLiteral("decoy-ran"))));
}

void TestScriptRunner::doesNotWaitForTheScript()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("slow"));
    QVERIFY(writeFile(script, "#!/bin/sh\nsleep 3\ntouch \"$(dirname \"$0\")/marker\"\n", executable));

    QElapsedTimer timer;
    timer.start();
    ScriptRunner::runScript(script, {});
    QVERIFY2(timer.elapsed() < 2000, "runScript waited for the script to finish");
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("marker"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("marker"))), 15000);
}

void TestScriptRunner::unstartableScriptThrows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("isExecutable");
    QTest::addColumn<bool>("create");
    QTest::newRow("missing file") << QStringLiteral("Play.scpt") << QByteArray() << false << false;
    QTest::newRow("empty name") << QString() << QByteArray() << false << false;
    QTest::newRow("not executable") << QStringLiteral("Play.scpt") << QByteArray(recorderScript) << false << true;
    QTest::newRow("interpreter missing") << QStringLiteral("Play.scpt") << QByteArray("#!/nonexistent/interpreter\n")
                                         << true << true;
    QTest::newRow("folder") << QStringLiteral("folder.scpt") << QByteArray() << true << false;
}

void TestScriptRunner::unstartableScriptThrows()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, isExecutable);
    QFETCH(bool, create);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString script = name.isEmpty() ? QString() : dir.filePath(name);
    if (create)
        QVERIFY(writeFile(script, content, isExecutable ? executable : plain));
    else if (isExecutable)
        QVERIFY(QDir(dir.path()).mkdir(name));

    QElapsedTimer timer;
    timer.start();
    bool thrown = false;
    try {
        ScriptRunner::runScript(script, {QStringLiteral("arg")});
    } catch (const RuntimeException &error) {
        thrown = true;
        QVERIFY(!error.message().isEmpty());
        if (!name.isEmpty())
            QVERIFY2(error.message().contains(name), qPrintable(error.message()));
    }
    QVERIFY(thrown);
    QVERIFY(timer.elapsed() < 2000);
    QTest::qWait(200);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("marker"))));
}

void TestScriptRunner::handsFileToOsascriptWhereItExists()
{
    // A stand-in osascript on the PATH records what it was given; the script file itself
    // needs no executable bit then.
    QTemporaryDir binDir;
    QTemporaryDir scriptDir;
    QVERIFY(binDir.isValid() && scriptDir.isValid());
    QVERIFY(writeFile(binDir.filePath(QStringLiteral("osascript")), recorderScript, executable));
    const QString script = scriptDir.filePath(QStringLiteral("Play.scpt"));
    QVERIFY(writeFile(script, "compiled script", plain));
    qputenv("PATH", (binDir.path() + QLatin1Char(':') + m_originalPath).toLocal8Bit());

    ScriptRunner::runScript(script, {QStringLiteral("one"), QStringLiteral("two words")});

    const QString marker = binDir.filePath(QStringLiteral("marker"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    QCOMPARE(readMarker(marker),
        (QStringList {QStringLiteral("3"), script, QStringLiteral("one"), QStringLiteral("two words")}));

    // A missing file is refused before osascript is asked.
    QVERIFY(QFile::remove(marker));
    QVERIFY_THROWS_EXCEPTION(
        RuntimeException, ScriptRunner::runScript(scriptDir.filePath(QStringLiteral("gone.scpt")), {}));
    QTest::qWait(200);
    QVERIFY(!QFile::exists(marker));
}

void TestScriptRunner::endedScriptIsCollected()
{
    // The script notes its process id and session; once it has ended, nothing of it may stay
    // behind as a zombie, and it ran in a session of its own.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("Play.scpt"));
    QVERIFY(writeFile(script,
        "#!/bin/sh\n"
        "d=$(dirname \"$0\")\n"
        "echo \"$$ $(cut -d' ' -f6 /proc/$$/stat)\" > \"$d/m.part\"\n"
        "mv \"$d/m.part\" \"$d/marker\"\n",
        executable));

    ScriptRunner::runScript(script, {});
    const QString marker = dir.filePath(QStringLiteral("marker"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    const QStringList noted = readMarker(marker).value(0).split(QLatin1Char(' '));
    QCOMPARE(noted.size(), 2);
    QFile self(QStringLiteral("/proc/self/stat"));
    QVERIFY(self.open(QIODevice::ReadOnly));
    QVERIFY(noted.at(1) != QString::fromLatin1(self.readAll().split(' ').value(5)));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/") + noted.at(0)), 5000);
}

void TestScriptRunner::scriptInheritsOnlyStandardFilesAndStartEnvironment()
{
    // Descriptors left open across exec, as a library might make them, and a variable set after
    // the start, as main sets QT_NO_GLIB: the script sees neither. It is looked at from outside
    // once it has become `sleep`, which opens nothing of its own.
    int leaked[3] = {::open("/dev/null", O_RDONLY), -1, -1};
    QVERIFY(leaked[0] >= 0 && ::pipe(leaked + 1) == 0);
    qputenv("BRENVALE_SET_AFTER_START", "1");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("Play.scpt"));
    QVERIFY(writeFile(script, "#!/bin/sh\nexec sleep 30\n", executable));
    const qint64 pid = ScriptRunner::runScript(script, {});
    qunsetenv("BRENVALE_SET_AFTER_START");
    for (const int fd : leaked)
        ::close(fd);

    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    const auto contents = [&](const QString &name) {
        QFile file(proc + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_COMPARE(contents(QStringLiteral("comm")), QByteArray("sleep\n"));
    QCOMPARE(QDir(proc + QStringLiteral("fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        (QStringList {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    const QList<QByteArray> environment = contents(QStringLiteral("environ")).split('\0');
    QVERIFY(environment.contains("PATH=" + qgetenv("PATH")));
    QVERIFY(std::none_of(environment.cbegin(), environment.cend(),
        [](const QByteArray &entry) { return entry.startsWith("BRENVALE_SET_AFTER_START="); }));

    // Alive until it has ended and been collected, and not a moment longer.
    QVERIFY(ScriptRunner::isAlive(pid));
    QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    QTRY_VERIFY(!ScriptRunner::isAlive(pid));
    QVERIFY(!QFile::exists(proc));
}

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "TestScriptRunner.moc"
