// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Exceptions.h"
#include "core/prefs/ModernPreferences.h"
#include "core/prefs/Prefs.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const char saveUnderSizeLimitArgument[] = "--save-under-size-limit";

QJsonObject readObject(const QString &path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

// Run in a child process whose file-size limit is too small for the new content: the store
// loads the existing file, grows one value past the limit and saves. Prints the result.
int saveUnderSizeLimit()
{
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    if (!ModernPreferences::Preferences->Load()) {
        fputs("load=false\n", stdout);
        return 1;
    }
    ModernPreferences::Preferences[QStringLiteral("motion1Name")] = QString(4096, QLatin1Char('x'));
    fputs(ModernPreferences::Preferences->Save() ? "save=true\n" : "save=false\n", stdout);
    return 0;
}

} // namespace

class TestPrefs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstStartCreatesFolderButNoFile();
    void saveBeforeLoadWritesNothing();
    void missingKeyFallbacks_data();
    void missingKeyFallbacks();
    void setReplacesAndKeepsType();
    void loadResult_data();
    void loadResult();
    void unusableContentIsReplacedByNextSave_data();
    void unusableContentIsReplacedByNextSave();
    void rejectedFileIsKeptBeforeItIsReplaced();
    void unreadableLocationThrows_data();
    void unreadableLocationThrows();
    void fifoAtThePathIsRefusedAtOnce();
    void unreadOrNonRegularFileIsNeverSavedOver_data();
    void unreadOrNonRegularFileIsNeverSavedOver();
    void foreignMembersAndTypesSurviveSave();
    void savedFileFormat();
    void failedSaveReportsFalse_data();
    void failedSaveReportsFalse();
    void failedWriteLeavesOldFileWhole();
    void symlinkedFileIsFollowed();
    void symlinkedFolderIsFollowed();
    void initialiseReplacesStoreWithoutLoading();

private:
    QString storeFolder() const { return m_home->path() + QStringLiteral("/.config/Brenvale"); }
    QString prefsFile() const { return storeFolder() + QStringLiteral("/Brenvale.prefs"); }
    QString rejectedFile() const { return prefsFile() + QStringLiteral(".rejected"); }
    Prefs &store() { return *ModernPreferences::Preferences.get(); }
    // Puts `kind` at the preferences file's place; empty, or why it cannot be done here.
    QString plant(const QString &kind);

    std::unique_ptr<QTemporaryDir> m_home;
};

void TestPrefs::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path() + QStringLiteral("/.config")));
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
}

void TestPrefs::cleanup()
{
    // Back to the user the test runs as, should a test have failed while reading as another.
    [[maybe_unused]] const int asBefore = ::seteuid(::getuid());
    ModernPreferences::Preferences.reset(nullptr);
    m_home.reset();
}

void TestPrefs::firstStartCreatesFolderButNoFile()
{
    QVERIFY(!QFileInfo::exists(m_home->path() + QStringLiteral("/.config")));
    QCOMPARE(store().Load(), false);
    QVERIFY(QFileInfo(storeFolder()).isDir());
    QVERIFY(!QFileInfo::exists(prefsFile()));
    QVERIFY(store().mPreferences.isEmpty());

    // The location is known from now on, so the first save creates the file.
    store()[QStringLiteral("VTid")] = QStringLiteral("1");
    QVERIFY(store().Save());
    QCOMPARE(readObject(prefsFile()), QJsonObject({{QStringLiteral("VTid"), QStringLiteral("1")}}));
}

void TestPrefs::saveBeforeLoadWritesNothing()
{
    store()[QStringLiteral("VTid")] = QStringLiteral("1");
    QCOMPARE(store().Save(), false);
    QVERIFY(!QFileInfo::exists(storeFolder()));
}

void TestPrefs::missingKeyFallbacks_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("stored");

    QTest::newRow("chrWorksIP") << QStringLiteral("chrWorksIP") << QVariant(QStringLiteral("192.168.0.1")) << true;
    QTest::newRow("chrWorksIPBup") << QStringLiteral("chrWorksIPBup") << QVariant(QStringLiteral("192.168.0.2"))
                                   << true;
    // Unlike the first-start defaults, the other text keys fall back to empty text.
    QTest::newRow("motion1Name") << QStringLiteral("motion1Name") << QVariant(QString()) << true;
    QTest::newRow("IPAddr") << QStringLiteral("IPAddr") << QVariant(QString()) << true;
    QTest::newRow("VTid") << QStringLiteral("VTid") << QVariant(QString()) << true;
    QTest::newRow("LogPath") << QStringLiteral("LogPath") << QVariant(QString()) << true;
    QTest::newRow("unknown key") << QStringLiteral("noSuchKey") << QVariant(QString()) << true;
    QTest::newRow("tslPlay") << QStringLiteral("tslPlay") << QVariant(false) << false;
    QTest::newRow("tslEnable") << QStringLiteral("tslEnable") << QVariant(false) << false;
}

void TestPrefs::missingKeyFallbacks()
{
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    QFETCH(bool, stored);

    // A file that exists but lacks the key: Load gives true and stores no default.
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), R"({"other":"x"})"));
    QVERIFY(store().Load());

    const QVariant value = store()[key];
    QCOMPARE(value.typeId(), expected.typeId());
    QCOMPARE(value, expected);
    QCOMPARE(store().mPreferences.contains(key), stored);

    // What the fallback stored is what the next save writes.
    QVERIFY(store().Save());
    const QJsonObject saved = readObject(prefsFile());
    QCOMPARE(saved.contains(key), stored);
    if (stored)
        QCOMPARE(saved.value(key).toString(), expected.toString());
    QCOMPARE(saved.value(QStringLiteral("other")).toString(), QStringLiteral("x"));
}

void TestPrefs::setReplacesAndKeepsType()
{
    Prefs &prefs = store();
    prefs[QStringLiteral("tslPlay")] = true;
    QCOMPARE(prefs.Get(QStringLiteral("tslPlay")), QVariant(true));
    prefs.Set(QStringLiteral("tslPlay"), false);
    QCOMPARE(prefs[QStringLiteral("tslPlay")].value(), QVariant(false));
    prefs.Operator_Lookup(QStringLiteral("VTid"), 7);
    QCOMPARE(prefs.Operator_Lookup(QStringLiteral("VTid")), QVariant(7));
    QCOMPARE(prefs.mPreferences.size(), 2);
}

void TestPrefs::loadResult_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loaded");

    QTest::newRow("object") << QByteArray(R"({"VTid":"4"})") << true;
    QTest::newRow("object with whitespace and escapes") << QByteArray(" \r\n\t{ \"VTid\" : \"\\u0034\" }\n") << true;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF{\"VTid\":\"4\"}") << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("not JSON") << QByteArray("VTid=4") << false;
    QTest::newRow("truncated object") << QByteArray(R"({"VTid":"4")") << false;
    QTest::newRow("trailing garbage") << QByteArray(R"({"VTid":"4"} x)") << false;
    // Valid JSON that is not an object cannot hold settings; it counts as no file at all.
    QTest::newRow("array") << QByteArray(R"([{"VTid":"4"}])") << false;
    QTest::newRow("string") << QByteArray(R"("VTid")") << false;
    QTest::newRow("number") << QByteArray("4") << false;
    QTest::newRow("null") << QByteArray("null") << false;
}

void TestPrefs::loadResult()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);

    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), content));
    store()[QStringLiteral("before")] = QStringLiteral("kept");

    QCOMPARE(store().Load(), loaded);
    if (loaded) {
        QCOMPARE(store().mPreferences, QVariantMap({{QStringLiteral("VTid"), QStringLiteral("4")}}));
    } else {
        // A failed load leaves the settings in memory as they were.
        QCOMPARE(store().mPreferences, QVariantMap({{QStringLiteral("before"), QStringLiteral("kept")}}));
        QCOMPARE(readAll(prefsFile()), content);
    }
}

void TestPrefs::unusableContentIsReplacedByNextSave_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("{\"VTid\":");
    QTest::newRow("array") << QByteArray("[1,2,3]");
}

void TestPrefs::unusableContentIsReplacedByNextSave()
{
    QFETCH(QByteArray, content);
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), content));

    QCOMPARE(store().Load(), false);
    store()[QStringLiteral("VTid")] = QStringLiteral("1");
    QVERIFY(store().Save());
    QCOMPARE(readObject(prefsFile()), QJsonObject({{QStringLiteral("VTid"), QStringLiteral("1")}}));

    // And the replaced file loads again.
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    QVERIFY(store().Load());
    QCOMPARE(store()[QStringLiteral("VTid")].toString(), QStringLiteral("1"));
}

void TestPrefs::rejectedFileIsKeptBeforeItIsReplaced()
{
    // The operator's settings with one byte that is not UTF-8, then a later rejected file.
    const QList<QByteArray> rejected = {"{\"IPAddr\":\"10.1.13.9\",\"VTid\":\"3\xff\"}", "[{\"VTid\":\"4\"}]"};
    QVERIFY(QDir().mkpath(storeFolder()));
    for (const QByteArray &content : rejected) {
        QVERIFY(writeAll(prefsFile(), content));
        ModernPreferences::Initialise(QStringLiteral("Brenvale"));
        QCOMPARE(store().Load(), false);
        store()[QStringLiteral("VTid")] = QStringLiteral("1");
        QVERIFY(store().Save());
        QCOMPARE(readAll(rejectedFile()), content);
        QCOMPARE(readObject(prefsFile()), QJsonObject({{QStringLiteral("VTid"), QStringLiteral("1")}}));
    }

    // Where it cannot be kept, the rejected file is not replaced either.
    QVERIFY(writeAll(prefsFile(), rejected.first()));
    QVERIFY(QFile::remove(rejectedFile()) && QDir().mkpath(rejectedFile()));
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    QCOMPARE(store().Load(), false);
    QCOMPARE(store().Save(), false);
    QCOMPARE(readAll(prefsFile()), rejected.first());
}

void TestPrefs::unreadableLocationThrows_data()
{
    QTest::addColumn<bool>("folderIsFile");
    QTest::newRow("preferences file is a folder") << false;
    QTest::newRow("store folder is a file") << true;
}

void TestPrefs::unreadableLocationThrows()
{
    QFETCH(bool, folderIsFile);
    if (folderIsFile) {
        QVERIFY(QDir().mkpath(QFileInfo(storeFolder()).path()));
        QVERIFY(writeAll(storeFolder(), "not a folder"));
    } else {
        QVERIFY(QDir().mkpath(prefsFile()));
    }
    store()[QStringLiteral("VTid")] = QStringLiteral("2");

    QVERIFY_THROWS_EXCEPTION(IOException, store().Load());
    QCOMPARE(store().mPreferences, QVariantMap({{QStringLiteral("VTid"), QStringLiteral("2")}}));
}

void TestPrefs::fifoAtThePathIsRefusedAtOnce()
{
    QVERIFY(QDir().mkpath(storeFolder()));
    QCOMPARE(::mkfifo(QFile::encodeName(prefsFile()).constData(), 0600), 0);
    // Reading the FIFO would wait for a writer for ever; the alarm ends the test instead.
    ::alarm(30);
    QVERIFY_THROWS_EXCEPTION(IOException, store().Load());
    ::alarm(0);
}

QString TestPrefs::plant(const QString &kind)
{
    const QByteArray path = QFile::encodeName(prefsFile());
    if (kind == QLatin1String("FIFO"))
        return ::mkfifo(path.constData(), 0600) == 0 ? QString() : QStringLiteral("no FIFO");
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(prefsFile()) ? QString() : QStringLiteral("no folder");
    QString target = m_home->path() + QStringLiteral("/real.prefs");
    if (kind == QLatin1String("link to a file"))
        return writeAll(target, "{}") && QFile::link(target, prefsFile()) ? QString() : QStringLiteral("no link");
    if (kind == QLatin1String("link to a device")) {
        // Were the save to go wrong as root, it would replace a node of the test's own only.
        target = ::geteuid() == 0 ? m_home->path() + QStringLiteral("/null-device") : QStringLiteral("/dev/null");
        if (::geteuid() == 0 && ::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            return QStringLiteral("no device node can be made here");
        return QFile::link(target, prefsFile()) ? QString() : QStringLiteral("no link");
    }
    // Only its owner may write it and nobody read it; root, who reads anything, loads as nobody.
    if (!writeAll(prefsFile(), R"({"VTid":"7"})") || ::chmod(path.constData(), 0200) != 0)
        return QStringLiteral("no file");
    if (::geteuid() == 0
        && (::chmod(QFile::encodeName(m_home->path()).constData(), 0755) != 0 || ::seteuid(65534) != 0))
        return QStringLiteral("no unprivileged user to read as");
    return QString();
}

void TestPrefs::unreadOrNonRegularFileIsNeverSavedOver_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("beforeLoad"); // there at start, or planted while the program runs
    QTest::addColumn<bool>("saved");

    QTest::newRow("file 0200 at start") << QStringLiteral("file 0200") << true << false;
    for (const char *kind : {"FIFO", "link to a device", "folder"}) {
        QTest::addRow("%s at start", kind) << QString::fromLatin1(kind) << true << false;
        QTest::addRow("%s planted later", kind) << QString::fromLatin1(kind) << false << false;
    }
    QTest::newRow("link to a file planted later") << QStringLiteral("link to a file") << false << true;
}

void TestPrefs::unreadOrNonRegularFileIsNeverSavedOver()
{
    QFETCH(QString, kind);
    QFETCH(bool, beforeLoad);
    QFETCH(bool, saved);
    QVERIFY(QDir().mkpath(storeFolder()));
    if (!beforeLoad)
        QCOMPARE(store().Load(), false);
    if (const QString why = plant(kind); !why.isEmpty())
        QSKIP(qPrintable(why));
    if (beforeLoad) {
        ::alarm(30); // a read that waits on the FIFO ends the test instead
        QVERIFY_THROWS_EXCEPTION(IOException, store().Load());
        ::alarm(0);
        QCOMPARE(::seteuid(::getuid()), 0);
    }
    // The path itself (mode included) and the kind of what it names, links followed.
    const auto standing = [this] {
        struct stat path = {}, named = {};
        ::lstat(QFile::encodeName(prefsFile()).constData(), &path);
        ::stat(QFile::encodeName(prefsFile()).constData(), &named);
        return std::pair(path.st_mode, named.st_mode & S_IFMT);
    };
    const auto before = standing();

    // What the store holds now (fallbacks, later changes) never takes the place of what is
    // there, however often it is saved; a link to a file saves to that file.
    store()[QStringLiteral("VTid")] = QStringLiteral("1");
    QCOMPARE(store().Save(), saved);
    QCOMPARE(store().Save(), saved);
    QVERIFY(standing() == before);
    if (kind == QLatin1String("file 0200")) {
        QVERIFY(::chmod(QFile::encodeName(prefsFile()).constData(), 0600) == 0);
        QCOMPARE(readAll(prefsFile()), QByteArray(R"({"VTid":"7"})"));
    }
    if (saved)
        QCOMPARE(readObject(prefsFile()), QJsonObject({{QStringLiteral("VTid"), QStringLiteral("1")}}));
    QCOMPARE(QDir(storeFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({QStringLiteral("Brenvale.prefs")}));
}

void TestPrefs::foreignMembersAndTypesSurviveSave()
{
    const QByteArray content
        = R"({"VTid":3,"tslPlay":true,"chrWorksIP":"10.9.8.7","custom":{"list":[1,"two",false],"n":null},)"
          R"("note":"Grüße \"quoted\" \\ slash / tab\t","ratio":0.5})";
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), content));
    QVERIFY(store().Load());

    // Values keep the JSON type they had in the file; converting them is the reader's business.
    const QVariant vtId = store()[QStringLiteral("VTid")];
    QVERIFY2(vtId.typeId() == QMetaType::LongLong || vtId.typeId() == QMetaType::Double, vtId.typeName());
    QCOMPARE(vtId.toString(), QStringLiteral("3"));
    QCOMPARE(store()[QStringLiteral("tslPlay")].value().typeId(), QMetaType::Bool);
    QCOMPARE(store()[QStringLiteral("tslPlay")].toBool(), true);
    QCOMPARE(store()[QStringLiteral("note")].toString(), QStringLiteral("Grüße \"quoted\" \\ slash / tab\t"));

    store()[QStringLiteral("VTid")] = QStringLiteral("5");
    QVERIFY(store().Save());

    QJsonObject expected = QJsonDocument::fromJson(content).object();
    expected.insert(QStringLiteral("VTid"), QStringLiteral("5"));
    QCOMPARE(readObject(prefsFile()), expected);
}

void TestPrefs::savedFileFormat()
{
    QCOMPARE(store().Load(), false);
    store()[QStringLiteral("VTid")] = QStringLiteral("Ω1");
    store()[QStringLiteral("tslEnable")] = false;
    QVERIFY(store().Save());

    const QByteArray bytes = readAll(prefsFile());
    QVERIFY(!bytes.isEmpty());
    QVERIFY2(!bytes.endsWith('\n') && !bytes.endsWith('\r'), bytes.constData());
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(document.isObject());
    QCOMPARE(document.object().value(QStringLiteral("VTid")).toString(), QStringLiteral("Ω1"));
    QVERIFY(document.object().value(QStringLiteral("tslEnable")).isBool());
    // UTF-8, not an escape and not another encoding.
    QVERIFY(bytes.contains("\xCE\xA9"
                           "1"));
    // Nothing is left beside the file.
    QCOMPARE(QDir(storeFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({QStringLiteral("Brenvale.prefs")}));
}

void TestPrefs::failedSaveReportsFalse_data()
{
    QTest::addColumn<bool>("replaceByFile");
    QTest::newRow("store folder removed") << false;
    QTest::newRow("store folder replaced by a file") << true;
}

void TestPrefs::failedSaveReportsFalse()
{
    QFETCH(bool, replaceByFile);
    QCOMPARE(store().Load(), false);
    store()[QStringLiteral("VTid")] = QStringLiteral("1");
    QVERIFY(store().Save());

    QVERIFY(QDir(storeFolder()).removeRecursively());
    if (replaceByFile)
        QVERIFY(writeAll(storeFolder(), "in the way"));

    QCOMPARE(store().Save(), false);
    // Save does not make the folder again, and leaves what is in its place alone.
    if (replaceByFile) {
        QVERIFY(QFileInfo(storeFolder()).isFile());
        QCOMPARE(readAll(storeFolder()), QByteArray("in the way"));
    } else {
        QVERIFY(!QFileInfo::exists(storeFolder()));
    }
    QCOMPARE(store()[QStringLiteral("VTid")].toString(), QStringLiteral("1"));
}

void TestPrefs::failedWriteLeavesOldFileWhole()
{
    // Writing fails part-way through when the new content is larger than the process may
    // write; the file-size limit holds for root as well, unlike permissions.
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    if (prlimit.isEmpty())
        QSKIP("prlimit is not installed");

    const QByteArray old = R"({"VTid":"1","chrWorksIP":"192.168.0.1"})";
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), old));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The shell ignores SIGXFSZ before it becomes the child, so an oversized write fails with
    // an error instead of killing the process.
    child.start(prlimit,
        {QStringLiteral("--fsize=256"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("trap '' XFSZ; exec \"$0\" \"$1\""), QCoreApplication::applicationFilePath(),
            QString::fromLatin1(saveUnderSizeLimitArgument)});
    QVERIFY(child.waitForFinished(30000));
    const QByteArray output = child.readAllStandardOutput();
    if (child.exitCode() != 0 && output.isEmpty())
        QSKIP("the file-size limit could not be applied here");
    QCOMPARE(output.trimmed(), QByteArray("save=false"));
    QCOMPARE(child.exitCode(), 0);

    QCOMPARE(readAll(prefsFile()), old);
    QCOMPARE(QDir(storeFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({QStringLiteral("Brenvale.prefs")}));
}

void TestPrefs::symlinkedFileIsFollowed()
{
    const QString elsewhere = m_home->path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QDir().mkpath(storeFolder()));
    const QString target = elsewhere + QStringLiteral("/real.prefs");
    QVERIFY(writeAll(target, R"({"VTid":"8"})"));
    QVERIFY(QFile::link(QStringLiteral("../../elsewhere/real.prefs"), prefsFile()));

    QVERIFY(store().Load());
    QCOMPARE(store()[QStringLiteral("VTid")].toString(), QStringLiteral("8"));
    store()[QStringLiteral("VTid")] = QStringLiteral("9");
    QVERIFY(store().Save());

    // The link stays a link and the file it names gets the content.
    QVERIFY(QFileInfo(prefsFile()).isSymLink());
    QCOMPARE(readObject(target), QJsonObject({{QStringLiteral("VTid"), QStringLiteral("9")}}));
}

void TestPrefs::symlinkedFolderIsFollowed()
{
    const QString realFolder = m_home->path() + QStringLiteral("/synced/Brenvale");
    QVERIFY(QDir().mkpath(realFolder));
    QVERIFY(QDir().mkpath(QFileInfo(storeFolder()).path()));
    QVERIFY(QFile::link(realFolder, storeFolder()));

    QCOMPARE(store().Load(), false);
    store()[QStringLiteral("VTid")] = QStringLiteral("2");
    QVERIFY(store().Save());

    QVERIFY(QFileInfo(storeFolder()).isSymLink());
    QCOMPARE(readObject(realFolder + QStringLiteral("/Brenvale.prefs")),
        QJsonObject({{QStringLiteral("VTid"), QStringLiteral("2")}}));
}

void TestPrefs::initialiseReplacesStoreWithoutLoading()
{
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), R"({"VTid":"6"})"));
    QVERIFY(store().Load());

    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    QVERIFY(store().mPreferences.isEmpty());
    QVERIFY(store().preferencesFile().isEmpty());
    QCOMPARE(store().Save(), false);
    QCOMPARE(readAll(prefsFile()), QByteArray(R"({"VTid":"6"})"));

    // Without a store, a read through the shared store is a nil-object error.
    ModernPreferences::Preferences.reset(nullptr);
    QVERIFY_THROWS_EXCEPTION(NilObjectException, ModernPreferences::Preferences[QStringLiteral("VTid")].value());
}

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], saveUnderSizeLimitArgument) == 0)
        return saveUnderSizeLimit();
    TestPrefs test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestPrefs.moc"
