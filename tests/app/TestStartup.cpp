// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/groupmsg/AutoDiscovery.h"
#include "core/platform/Clock.h"
#include "core/platform/ErrorReport.h"
#include "core/platform/Exceptions.h"
#include "core/platform/HostNetwork.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/TriggerController.h"
#include "gui/app/Brenvale.h"
#include "gui/app/FileTypes1.h"
#include "gui/app/bmNoNap.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/Window1.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

const char failingJoinProbeArgument[] = "--failing-join-probe";
const QString builtInLogPath = QStringLiteral("/Users/ostrel/Documents/OnTheAir Video Logs/");

// The application object with its two events reachable, so a test can run the start-up steps
// one by one instead of the blocking run().
class TestApp : public Brenvale
{
public:
    TestApp(Services services, MsgBox::Responder boxAnswerer)
        : Brenvale(std::move(services), std::move(boxAnswerer)) { }
    using Brenvale::Event_Close;
    using Brenvale::Event_Open;
};

QStringList dailyLogFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*OnTheAirVideo Log *")}, QDir::Files, QDir::Name);
}

QByteArray dailyLog(const QString &folder)
{
    QByteArray all;
    const QStringList names = dailyLogFiles(folder);
    for (const QString &name : names)
        all += readAll(QDir(folder).filePath(name));
    return all;
}

// The sockets of the window's trigger, told apart by their design ports.
UDPSocket *socketOnPort(Window1 *window, int port)
{
    const auto sockets = window->controller()->findChildren<UDPSocket *>(Qt::FindDirectChildrenOnly);
    for (UDPSocket *socket : sockets) {
        if (socket != window->controller()->ChatSocket && socket->Port() == port)
            return socket;
    }
    return nullptr;
}

QString longTime(const QDateTime &when)
{
    const QLocale locale = QLocale::system();
    return locale.toString(when, locale.timeFormat(QLocale::LongFormat));
}

QVariantMap firstStartDefaults(const QString &home)
{
    return {
        {QStringLiteral("chrWorksIP"), QStringLiteral("192.168.0.1")},
        {QStringLiteral("chrWorksIPBup"), QStringLiteral("192.168.0.2")},
        {QStringLiteral("motion1Name"), QStringLiteral("motion1")},
        {QStringLiteral("motion2Name"), QStringLiteral("motion2")},
        {QStringLiteral("IPAddr"), QStringLiteral("10.1.13.50")},
        {QStringLiteral("LogPath"), home + QStringLiteral("/Documents/OnTheAir Video Logs/")},
        {QStringLiteral("VTid"), QStringLiteral("1")},
    };
}

// Run in a network namespace of its own whose loopback has no multicast route, so the join
// of the tally group fails as it does on a host without one. Prints what the window did.
int failingJoinProbe()
{
    QStringList boxes;
    const MsgBox::Responder answerer = [&boxes](const MsgBox::Request &request) {
        boxes.append(request.text);
        return MsgBox::Answer::Ok;
    };
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    if (!ModernPreferences::Preferences->Load()) {
        fputs("load=false\n", stdout);
        return 1;
    }
    Window1 *window = Window1::instance(Services::system(new HttpClient(qApp)), answerer);
    if (!window) {
        fputs("window=none\n", stdout);
        return 1;
    }
    const auto print
        = [](const char *name, const QString &value) { fprintf(stdout, "%s=%s\n", name, value.toUtf8().constData()); };
    const auto bound
        = [](const UDPSocket *socket) { return QLatin1String(socket && socket->IsConnected() ? "bound" : "unbound"); };
    print("boxes", boxes.join(QLatin1Char('|')));
    print("tallySocket", bound(socketOnPort(window, 8900)));
    print("relaySocket", bound(window->controller()->RelayUDP));
    print("peerSocket", bound(window->controller()->ChatSocket));
    print("currAddress", window->currAddress->text());
    print("VTid_disp", window->VTid_disp->text());
    print("version", window->version->text());
    print("logPath", window->controller()->logPath);
    print("tallyStart", QLatin1String(window->tallyStart->isChecked() ? "ticked" : "unticked"));
    window->tallyEnable->click();
    window->close();
    print("tslPlayAfterClose", ModernPreferences::Preferences[QStringLiteral("tslPlay")].toString());
    print("tslEnableAfterClose", ModernPreferences::Preferences[QStringLiteral("tslEnable")].toString());
    fflush(stdout);
    return 0;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void fileTypeSet();
    void applicationOpen_data();
    void applicationOpen();
    void openMainWindow_data();
    void openMainWindow();
    void openWithFileValues();
    void outsideTextShownAsSent_data();
    void outsideTextShownAsSent();
    void peerPortInUse();
    void failingMulticastJoin();
    void givenNetworkViewIsNotReadPast();
    void errorEscapingOpenIsReported();
    void closingStoresCheckBoxes_data();
    void closingStoresCheckBoxes();
    void quitWhenPreferencesCannotBeSaved();
    void unreadablePreferencesAreShownAndKept();
    void logKeepsAtMost1500Rows();
    void dailyLogLine_data();
    void dailyLogLine();
    void dailyLogAcrossMidnight();
    void logFolderText_data();
    void logFolderText();

private:
    QString home() const { return m_home->path(); }
    QString storeFolder() const { return home() + QStringLiteral("/.config/Brenvale"); }
    QString prefsFile() const { return storeFolder() + QStringLiteral("/Brenvale.prefs"); }
    QString defaultLogFolder() const { return home() + QStringLiteral("/Documents/OnTheAir Video Logs/"); }
    void writePreferences(const QByteArray &content);
    void pretendNoInterface();
    // Runs the orderly quit on the real event loop; gives its exit code, or -1 when it hung.
    int quitAndRunLoop();
    // A main window without sockets, its log empty, writing to folder at a fixed clock.
    Window1 *quietWindow(const QString &folder);
    // The clock and network view of this test's application: the system's until a test says
    // otherwise.
    Services services();
    // Answers every box with OK and notes its text.
    MsgBox::Responder boxAnswerer();

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TestApp> m_app;
    QStringList m_boxes;
    QStringList m_reports;
    QDateTime m_now;
    bool m_clockFixed = false;
    bool m_noInterface = false;
};

void TestStartup::initTestCase()
{
    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append(where + QStringLiteral(": ") + kind + QStringLiteral(": ") + message);
    });
}

void TestStartup::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(home()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home() + QStringLiteral("/.config")));
    QDir::setCurrent(home());
    m_boxes.clear();
    m_reports.clear();
    ModernPreferences::Preferences.reset(nullptr);
    bmNoNap::token.reset();
    m_app = std::make_unique<TestApp>(services(), boxAnswerer());
}

void TestStartup::cleanup()
{
    delete Window1::openInstance();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_app.reset();
    ModernPreferences::Preferences.reset(nullptr);
    m_noInterface = false;
    m_clockFixed = false;
    QDir::setCurrent(QDir::tempPath());
    m_home.reset();
    // Nothing may escape a handler unless a test asked for it and cleared the list.
    QVERIFY2(m_reports.isEmpty(), qPrintable(m_reports.join(QLatin1Char('\n'))));
}

void TestStartup::writePreferences(const QByteArray &content)
{
    QVERIFY(QDir().mkpath(storeFolder()));
    QVERIFY(writeAll(prefsFile(), content));
}

void TestStartup::pretendNoInterface()
{
    m_noInterface = true;
}

int TestStartup::quitAndRunLoop()
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
    watchdog.start(15000);
    m_app->Quit(0);
    const int code = QApplication::exec();
    watchdog.stop();
    // The closed window is deleted later; its tally socket holds port 8900 until then.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}

Services TestStartup::services()
{
    Services services;
    services.clock = [this] { return m_clockFixed ? m_now : Clock::now(); };
    services.network.interfaceCount = [this] { return m_noInterface ? 0 : HostNetwork::interfaceCount(); };
    services.network.ipv4Addresses = [this] { return m_noInterface ? QStringList() : HostNetwork::ipv4Addresses(); };
    return services;
}

MsgBox::Responder TestStartup::boxAnswerer()
{
    return [this](const MsgBox::Request &request) {
        m_boxes.append(request.text);
        return MsgBox::Answer::Ok;
    };
}

Window1 *TestStartup::quietWindow(const QString &folder)
{
    pretendNoInterface();
    m_app->Event_Open();
    Window1 *window = Window1::instance();
    if (!window)
        return nullptr;
    window->Log->clear();
    window->controller()->logPath = folder;
    m_clockFixed = true;
    return window;
}

void TestStartup::fileTypeSet()
{
    FileTypes1::pAllFileTypes.clear();
    FileTypes1::initialize();
    QCOMPARE(FileTypes1::pAllFileTypes.size(), 1);
    QCOMPARE(FileTypes1::pAllFileTypes.constFirst(), FileTypes1::Text());
    const FileTypes1::FileType &text = *FileTypes1::Text();
    QCOMPARE(text.Name, QStringLiteral("Text"));
    QCOMPARE(text.Extensions, QStringLiteral(".txt"));
    QVERIFY(text.Imported);
    QVERIFY(
        text.MacType.isEmpty() && text.MacCreator.isEmpty() && text.MimeType.isEmpty() && text.ConformsTo.isEmpty());
}

void TestStartup::applicationOpen_data()
{
    QTest::addColumn<bool>("hasFile");
    QTest::addColumn<QByteArray>("content");
    // Empty: the first-start defaults.
    QTest::addColumn<QVariantMap>("expectedStore");

    const QVariantMap none;
    QTest::newRow("first start") << false << QByteArray() << none;
    QTest::newRow("empty file") << true << QByteArray() << none;
    QTest::newRow("invalid JSON") << true << QByteArray("{\"VTid\": 2,") << none;
    QTest::newRow("JSON array") << true << QByteArray("[\"VTid\", \"2\"]") << none;

    const QVariantMap complete {
        {QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.21")},
        {QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.22")},
        {QStringLiteral("motion1Name"), QStringLiteral("lower third")},
        {QStringLiteral("motion2Name"), QStringLiteral("bug")},
        {QStringLiteral("IPAddr"), QStringLiteral("127.0.0.23")},
        {QStringLiteral("LogPath"), QStringLiteral("/var/tmp/ota/")},
        {QStringLiteral("VTid"), QStringLiteral("2")},
        {QStringLiteral("tslPlay"), true},
    };
    QTest::newRow("complete file") << true << QJsonDocument(QJsonObject::fromVariantMap(complete)).toJson() << complete;
    QVariantMap lackingIPAddr = complete;
    lackingIPAddr.remove(QStringLiteral("IPAddr"));
    QTest::newRow("file lacking IPAddr") << true << QJsonDocument(QJsonObject::fromVariantMap(lackingIPAddr)).toJson()
                                         << lackingIPAddr;
}

void TestStartup::applicationOpen()
{
    QFETCH(bool, hasFile);
    QFETCH(QByteArray, content);
    QFETCH(QVariantMap, expectedStore);
    if (hasFile)
        writePreferences(content);

    QVERIFY(!ModernPreferences::Preferences);
    m_app->setAutoQuit(false);
    m_app->Event_Open();

    QVERIFY(ModernPreferences::Preferences);
    const QVariantMap expected = expectedStore.isEmpty() ? firstStartDefaults(home()) : expectedStore;
    QCOMPARE(ModernPreferences::Preferences->mPreferences, expected);
    QVERIFY(m_app->AutoQuit());
    QVERIFY(bmNoNap::token != nullptr);
    // The Open event saves nothing: a first start has the folder but no file yet, and a file
    // that was there is untouched.
    QVERIFY(QFileInfo(storeFolder()).isDir());
    QCOMPARE(QFileInfo::exists(prefsFile()), hasFile);
    if (hasFile)
        QCOMPARE(readAll(prefsFile()), content);
    // A key the loaded file lacks reads as its fallback, not as the first-start default.
    QCOMPARE(ModernPreferences::Preferences[QStringLiteral("IPAddr")].toString(),
        expected.value(QStringLiteral("IPAddr"), QString()).toString());
}

void TestStartup::openMainWindow_data()
{
    QTest::addColumn<bool>("hasInterface");
    QTest::newRow("with a network interface") << true;
    QTest::newRow("without a network interface") << false;
}

void TestStartup::openMainWindow()
{
    QFETCH(bool, hasInterface);
    if (!hasInterface)
        pretendNoInterface();
    QVERIFY(QDir().mkpath(defaultLogFolder()));
    m_app->Event_Open();
    m_app->setAutoQuit(false);

    Window1 *window = Window1::instance();
    QVERIFY(window);
    QCOMPARE(Window1::openInstance(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(m_boxes, QStringList());

    const UDPSocket *tally = socketOnPort(window, 8900);
    QVERIFY(tally);
    QCOMPARE(tally->IsConnected(), hasInterface);
    QCOMPARE(window->controller()->RelayUDP->IsConnected(), hasInterface);
    QCOMPARE(window->controller()->ChatSocket->IsConnected(), hasInterface);

    // The defaults of the application's Open are in place before the window reads them.
    QCOMPARE(window->currAddress->text(), QStringLiteral("192.168.0.1"));
    QCOMPARE(window->VTid_disp->text(), QStringLiteral("1"));
    QCOMPARE(window->controller()->logPath, defaultLogFolder());
    QCOMPARE(window->version->text(), QStringLiteral("v 0.116"));
    QVERIFY(m_app->AutoQuit());
    QVERIFY(!window->tallyStart->isChecked());
    QVERIFY(!window->tallyEnable->isChecked());
    QVERIFY(window->Log->isHidden());
    QCOMPARE(window->Height(), 200);

    const QStringList files = dailyLogFiles(defaultLogFolder());
    QCOMPARE(files.size(), 1);
    const QByteArray log = dailyLog(defaultLogFolder());
    QVERIFY2(log.endsWith("\t**********\tTrigger Control Opened on VT 1\r\n"), log.constData());
    QCOMPARE(log.count('\n'), 1);
    QCOMPARE(window->Log->count(), 1);
    QVERIFY(window->Log->item(0)->text().endsWith(
        QStringLiteral(" : Logged Trigger Control Opened to ") + defaultLogFolder() + files.constFirst()));
}

void TestStartup::openWithFileValues()
{
    const QString logFolder = home() + QStringLiteral("/ota logs/");
    QVERIFY(QDir().mkpath(logFolder));
    writePreferences(QJsonDocument(QJsonObject {{QStringLiteral("VTid"), 3}, {QStringLiteral("LogPath"), logFolder},
                                       {QStringLiteral("tslPlay"), true}, {QStringLiteral("tslEnable"), false}})
                         .toJson());
    m_app->Event_Open();
    Window1 *window = Window1::instance();
    QVERIFY(window);

    // A number in the file shows as its text.
    QCOMPARE(window->VTid_disp->text(), QStringLiteral("3"));
    QCOMPARE(window->currAddress->text(), QStringLiteral("192.168.0.1"));
    QCOMPARE(window->controller()->logPath, logFolder);
    QVERIFY(window->tallyStart->isChecked());
    QVERIFY(!window->tallyEnable->isChecked());
    QVERIFY(dailyLog(logFolder).endsWith("\tTrigger Control Opened on VT 3\r\n"));
    QVERIFY(!QFileInfo::exists(defaultLogFolder()));
}

void TestStartup::outsideTextShownAsSent_data()
{
    QTest::addColumn<QByteArray>("text");
    QByteArray tables;
    for (int i = 0; i < 12; ++i)
        tables += "<table><tr><td>";
    QTest::newRow("bold and a local image") << QByteArray(R"(<b>x</b><img src="/dev/zero">)");
    QTest::newRow("12 nested tables") << tables + "x";
}

void TestStartup::outsideTextShownAsSent()
{
    QFETCH(QByteArray, text);
    const QString shown = QString::fromUtf8(text);
    writePreferences(
        QJsonDocument(QJsonObject {{QStringLiteral("VTid"), shown}, {QStringLiteral("chrWorksIP"), shown}}).toJson());
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    QVERIFY(ModernPreferences::Preferences->Load());
    // No answerer: the boxes are real ones, read and dismissed here as they show.
    Window1 *window = Window1::instance(services(), {});
    QVERIFY(window && window->controller()->ChatSocket->IsConnected());
    for (const QLabel *label : {window->VTid_disp, window->currAddress}) {
        QCOMPARE(label->text(), shown);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    QStringList boxTexts;
    QList<Qt::TextFormat> boxFormats;
    QTimer reader;
    connect(&reader, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxTexts.append(box->text());
            boxFormats.append(box->textFormat());
            box->done(QMessageBox::Ok);
        }
    });
    reader.start(10);
    QByteArray message(8, '\0');
    qToBigEndian(qint32(8 + text.size()), message.data());
    qToBigEndian(qint32(5), message.data() + 4);
    message += text;
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    QCOMPARE(peer.writeDatagram(message, QHostAddress(QStringLiteral("127.0.0.1")), 8083), qint64(message.size()));
    QTRY_COMPARE(boxTexts, QStringList {shown});
    QCOMPARE(boxFormats, QList<Qt::TextFormat> {Qt::PlainText});

    // Every other box takes its text as plain text too.
    MsgBox::show(shown, {});
    QCOMPARE(MsgBox::ask(shown, QString(), {}), MsgBox::Answer::No);
    QCOMPARE(boxTexts, (QStringList {shown, shown, shown}));
    QCOMPARE(boxFormats, (QList<Qt::TextFormat> {Qt::PlainText, Qt::PlainText, Qt::PlainText}));
}

void TestStartup::peerPortInUse()
{
    QUdpSocket squatter;
    QVERIFY2(squatter.bind(QHostAddress::AnyIPv4, 8083, QAbstractSocket::DontShareAddress),
        qPrintable(squatter.errorString()));
    QVERIFY(QDir().mkpath(defaultLogFolder()));
    m_app->Event_Open();

    Window1 *window = Window1::instance();
    QVERIFY(window);
    QCOMPARE(m_boxes, QStringList({QStringLiteral("Error binding port.")}));
    QVERIFY(m_app->isQuitting());
    QVERIFY(!window->controller()->ChatSocket->IsConnected());
    // The quit request returns and the Open event goes on, but the daily log, which the running
    // instance writes, gets neither an opening nor a closing line from this one.
    QCOMPARE(window->VTid_disp->text(), QStringLiteral("1"));
    QCOMPARE(dailyLogFiles(defaultLogFolder()), QStringList());
    // The peer socket's failure was its error event, not an error escaping a handler.
    QCOMPARE(m_reports, QStringList());
    QCOMPARE(quitAndRunLoop(), 0);
    QCOMPARE(dailyLogFiles(defaultLogFolder()), QStringList());
}

void TestStartup::failingMulticastJoin()
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        QSKIP("unshare is not installed");
    const QString logFolder = home() + QStringLiteral("/logs/");
    QVERIFY(QDir().mkpath(logFolder));
    writePreferences(QJsonDocument(
        QJsonObject {{QStringLiteral("VTid"), QStringLiteral("7")}, {QStringLiteral("LogPath"), logFolder},
            {QStringLiteral("tslPlay"),
                true}}).toJson());

    // A fresh namespace: loopback up, no route for multicast.
    QProcess probe;
    probe.start(unshare,
        {QStringLiteral("--net"), QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("ip link set lo up 2>/dev/null; exec \"$0\" \"$1\""),
            QCoreApplication::applicationFilePath(), QString::fromLatin1(failingJoinProbeArgument)});
    QVERIFY(probe.waitForFinished(30000));
    const QByteArray output = probe.readAllStandardOutput();
    const QByteArray errors = probe.readAllStandardError();
    if (probe.exitCode() != 0 && output.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no network namespace of our own here: ") + QString::fromLocal8Bit(errors)));
    QCOMPARE(probe.exitCode(), 0);

    QMap<QString, QString> seen;
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            seen.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    QCOMPARE(seen.value(QStringLiteral("boxes")), QStringLiteral("Could not join multicast group!"));
    // The tally socket stays bound for unicast tally; the others were never bound.
    QCOMPARE(seen.value(QStringLiteral("tallySocket")), QStringLiteral("bound"));
    QCOMPARE(seen.value(QStringLiteral("relaySocket")), QStringLiteral("unbound"));
    QCOMPARE(seen.value(QStringLiteral("peerSocket")), QStringLiteral("unbound"));
    // The Open event ended there: design texts, built-in log folder, no opening line.
    QCOMPARE(seen.value(QStringLiteral("currAddress")), QStringLiteral("192.168.000.001"));
    QCOMPARE(seen.value(QStringLiteral("VTid_disp")), QStringLiteral("Untitled"));
    QCOMPARE(seen.value(QStringLiteral("version")), QStringLiteral("v"));
    QCOMPARE(seen.value(QStringLiteral("logPath")), builtInLogPath);
    QCOMPARE(seen.value(QStringLiteral("tallyStart")), QStringLiteral("unticked"));
    // The close keeps the setting the box never showed and stores the one the operator set;
    // its line goes to the folder of the settings, the only line there.
    QCOMPARE(seen.value(QStringLiteral("tslPlayAfterClose")), QStringLiteral("true"));
    QCOMPARE(seen.value(QStringLiteral("tslEnableAfterClose")), QStringLiteral("true"));
    const QByteArray log = dailyLog(logFolder);
    QVERIFY2(log.endsWith("\tTrigger Control Closed on VT 7\r\n") && log.count('\n') == 1, log.constData());
}

void TestStartup::givenNetworkViewIsNotReadPast()
{
    // This test's view of the host has no address; loopback's is the host's own.
    pretendNoInterface();
    const HostNetwork::View &given = m_app->services().network;
    QVERIFY(!given.isOwnAddress(QStringLiteral("127.0.0.1")));
    QVERIFY(!given.watchChanges);
    // With no view given, the host's own, fresh check and news of changes included.
    m_app.reset();
    m_app = std::make_unique<TestApp>(Services(), boxAnswerer());
    QVERIFY(m_app->services().network.freshIPv4Addresses && m_app->services().network.watchChanges);
}

void TestStartup::errorEscapingOpenIsReported()
{
    // The ordering contract broken on purpose: a main window before any store exists.
    pretendNoInterface();
    Window1 *window = Window1::instance();
    QVERIFY(window);
    QCOMPARE(m_reports.size(), 1);
    QVERIFY2(m_reports.constFirst().startsWith(QStringLiteral("Window1.Open: NilObjectException: ")),
        qPrintable(m_reports.constFirst()));
    m_reports.clear();

    // The error ended the Open event where it arose, and the program goes on.
    QCOMPARE(window->currAddress->text(), QStringLiteral("192.168.000.001"));
    QVERIFY(window->isVisible());
    QCOMPARE(Window1::instance(), window);
    window->controller()->LogCommand(QStringLiteral("still here"));
    QCOMPARE(window->Log->count(), 1);
}

void TestStartup::closingStoresCheckBoxes_data()
{
    QTest::addColumn<bool>("tallyStart");
    QTest::addColumn<bool>("tallyEnable");
    QTest::newRow("start ticked, enable unticked") << true << false;
    QTest::newRow("start unticked, enable ticked") << false << true;
}

void TestStartup::closingStoresCheckBoxes()
{
    QFETCH(bool, tallyStart);
    QFETCH(bool, tallyEnable);
    QVERIFY(QDir().mkpath(defaultLogFolder()));
    m_app->Event_Open();
    Window1 *window = Window1::instance();
    QVERIFY(window);
    window->tallyStart->setChecked(tallyStart);
    window->tallyEnable->setChecked(tallyEnable);

    // The window closes first, then the application's Close saves what the window stored.
    QCOMPARE(quitAndRunLoop(), 0);
    QVERIFY(!Window1::openInstance());
    QCOMPARE(m_boxes, QStringList());
    QVERIFY(dailyLog(defaultLogFolder()).endsWith("\tTrigger Control Closed on VT 1\r\n"));

    QVariantMap expected = firstStartDefaults(home());
    expected.insert(QStringLiteral("tslPlay"), tallyStart);
    expected.insert(QStringLiteral("tslEnable"), tallyEnable);
    QCOMPARE(QJsonDocument::fromJson(readAll(prefsFile())).object(), QJsonObject::fromVariantMap(expected));

    // The next start shows the same.
    m_app = std::make_unique<TestApp>(services(), boxAnswerer());
    m_app->Event_Open();
    window = Window1::instance();
    QVERIFY(window);
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(window->tallyStart->isChecked(), tallyStart);
    QCOMPARE(window->tallyEnable->isChecked(), tallyEnable);
}

void TestStartup::quitWhenPreferencesCannotBeSaved()
{
    pretendNoInterface();
    m_app->Event_Open();
    QVERIFY(Window1::instance());
    QVERIFY(QDir(storeFolder()).removeRecursively());
    QVERIFY(writeAll(storeFolder(), "in the way"));

    // The box is shown and the application still ends.
    QCOMPARE(quitAndRunLoop(), 0);
    QCOMPARE(m_boxes, QStringList({QStringLiteral("Could not save preferences.")}));
    QVERIFY(!Window1::openInstance());
    QCOMPARE(readAll(storeFolder()), QByteArray("in the way"));
}

void TestStartup::unreadablePreferencesAreShownAndKept()
{
    QVERIFY(QDir().mkpath(storeFolder()));
    const QByteArray path = QFile::encodeName(prefsFile());
    QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    pretendNoInterface();
    QVERIFY_THROWS_EXCEPTION(IOException, m_app->Event_Open());
    QVERIFY(Window1::instance());
    QCOMPARE(m_boxes, QStringList());

    // Once the loop runs the operator is told why, and quitting saves nothing over the FIFO.
    QTRY_COMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.constFirst().startsWith(QStringLiteral("The preferences could not be read"))
            && m_boxes.constFirst().contains(prefsFile() + QStringLiteral(": Not a regular file but a FIFO")),
        qPrintable(m_boxes.constFirst()));
    QCOMPARE(quitAndRunLoop(), 0);
    QCOMPARE(m_boxes.mid(1), QStringList({QStringLiteral("Could not save preferences.")}));
    struct stat info = {};
    QVERIFY(::lstat(path.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
}

void TestStartup::logKeepsAtMost1500Rows()
{
    m_now = QDateTime(QDate(2024, 3, 5), QTime(9, 0));
    Window1 *window = quietWindow(home() + QStringLiteral("/"));
    QVERIFY(window);
    QCOMPARE(Window1::LogCapacity, 1500);

    for (int i = 0; i < 1499; ++i)
        window->controller()->LogCommand(QStringLiteral("m%1").arg(i));
    QCOMPARE(window->Log->count(), 1499);
    window->controller()->LogCommand(QStringLiteral("m1499"));
    QCOMPARE(window->Log->count(), 1500);
    QVERIFY(window->Log->item(1499)->text().endsWith(QStringLiteral(" : m0")));

    window->controller()->LogCommand(QStringLiteral("m1500"));
    QCOMPARE(window->Log->count(), 1500);
    QCOMPARE(window->Log->item(0)->text(), longTime(m_now) + QStringLiteral(" : m1500"));
    QVERIFY(window->Log->item(1499)->text().endsWith(QStringLiteral(" : m1")));
}

void TestStartup::dailyLogLine_data()
{
    QTest::addColumn<QString>("msg");
    // An invalid value: the "VTid" key is absent.
    QTest::addColumn<QVariant>("vtId");
    QTest::addColumn<QByteArray>("lastField");

    QTest::newRow("Mark") << QStringLiteral("Mark") << QVariant(QStringLiteral("1")) << QByteArray("Mark on VT 1");
    QTest::newRow("empty message") << QString() << QVariant(QStringLiteral("1")) << QByteArray(" on VT 1");
    QTest::newRow("no VTid key") << QStringLiteral("Mark") << QVariant() << QByteArray("Mark on VT ");
    QTest::newRow("numeric VTid") << QStringLiteral("Mark") << QVariant(12) << QByteArray("Mark on VT 12");
    QTest::newRow("non-ASCII") << QStringLiteral("Señal ✓") << QVariant(QStringLiteral("2"))
                               << QByteArray("Se\xC3\xB1"
                                             "al \xE2\x9C\x93 on VT 2");
    // One event stays one line.
    QTest::newRow("CR LF in message") << QStringLiteral("first\r\nsecond") << QVariant(QStringLiteral("1"))
                                      << QByteArray("first\\r\\nsecond on VT 1");
    QTest::newRow("tab and bell in message")
        << QStringLiteral("a\tb\x07") << QVariant(QStringLiteral("1")) << QByteArray("a\\tb\\x07 on VT 1");
    QTest::newRow("line feed in VTid") << QStringLiteral("Mark") << QVariant(QStringLiteral("1\n"))
                                       << QByteArray("Mark on VT 1\\n");
    // Nor is it shown reversed: format characters escape too.
    QTest::newRow("direction override in message")
        << QStringLiteral("1 Key 1 Off\u202ENO gnitset") << QVariant(QStringLiteral("1"))
        << QByteArray("1 Key 1 Off\\u202eNO gnitset on VT 1");
}

void TestStartup::dailyLogLine()
{
    QFETCH(QString, msg);
    QFETCH(QVariant, vtId);
    QFETCH(QByteArray, lastField);

    const QString folder = home() + QStringLiteral("/logs/");
    QVERIFY(QDir().mkpath(folder));
    m_now = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    Window1 *window = quietWindow(folder);
    QVERIFY(window);
    ModernPreferences::Preferences->mPreferences.remove(QStringLiteral("VTid"));
    if (vtId.isValid())
        ModernPreferences::Preferences[QStringLiteral("VTid")] = vtId;

    window->controller()->LogToOTA(msg);

    const QString path = folder + QStringLiteral("OnTheAirVideo Log 2024-03-05.txt");
    const QByteArray expected
        = "\t2024-03-05\t" + longTime(m_now).toUtf8() + "\tTuesday\t**********\t" + lastField + "\r\n";
    QCOMPARE(readAll(path), expected);
    QCOMPARE(dailyLogFiles(folder).size(), 1);
    QCOMPARE(window->Log->count(), 1);
    // The row shows the message as the file has it.
    const QString shown = QString::fromUtf8(lastField.first(lastField.lastIndexOf(" on VT ")));
    QCOMPARE(window->Log->item(0)->text(),
        longTime(m_now) + QStringLiteral(" : Logged ") + shown + QStringLiteral(" to ") + path);
}

void TestStartup::dailyLogAcrossMidnight()
{
    const QString folder = home() + QStringLiteral("/logs/");
    QVERIFY(QDir().mkpath(folder));
    const QDateTime before(QDate(2023, 12, 31), QTime(23, 59, 59));
    const QDateTime after(QDate(2024, 1, 1), QTime(0, 0, 0));
    m_now = before;
    Window1 *window = quietWindow(folder);
    QVERIFY(window);

    window->controller()->LogToOTA(QStringLiteral("Before"));
    m_now = after;
    window->controller()->LogToOTA(QStringLiteral("After"));
    window->controller()->LogToOTA(QStringLiteral("After again"));

    QCOMPARE(dailyLogFiles(folder),
        QStringList(
            {QStringLiteral("OnTheAirVideo Log 2023-12-31.txt"), QStringLiteral("OnTheAirVideo Log 2024-01-01.txt")}));
    QCOMPARE(readAll(folder + QStringLiteral("OnTheAirVideo Log 2023-12-31.txt")),
        "\t2023-12-31\t" + longTime(before).toUtf8() + "\tSunday\t**********\tBefore on VT 1\r\n");
    const QByteArray newDay = "\t2024-01-01\t" + longTime(after).toUtf8() + "\tMonday\t**********\t";
    // The existing file keeps its line and gains the next at the end.
    QCOMPARE(readAll(folder + QStringLiteral("OnTheAirVideo Log 2024-01-01.txt")),
        newDay + "After on VT 1\r\n" + newDay + "After again on VT 1\r\n");
    QCOMPARE(window->Log->count(), 3);
}

void TestStartup::logFolderText_data()
{
    QTest::addColumn<QString>("folder");
    // Relative to the test's HOME; empty when nothing may be written anywhere.
    QTest::addColumn<QString>("expectedFile");

    QTest::newRow("folder with separator")
        << QStringLiteral("<home>/logs/") << QStringLiteral("logs/OnTheAirVideo Log 2024-03-05.txt");
    // No separator is added: the name is glued to the folder's and the file lands beside it.
    QTest::newRow("no trailing separator")
        << QStringLiteral("<home>/logs") << QStringLiteral("logsOnTheAirVideo Log 2024-03-05.txt");
    QTest::newRow("empty folder text") << QString() << QString();
    QTest::newRow("relative folder text") << QStringLiteral("logs/") << QString();
    QTest::newRow("missing folder") << QStringLiteral("<home>/no such folder/") << QString();
    QTest::newRow("file in the way") << QStringLiteral("<home>/plain.txt/") << QString();
}

void TestStartup::logFolderText()
{
    QFETCH(QString, folder);
    QFETCH(QString, expectedFile);
    folder.replace(QStringLiteral("<home>"), home());
    QVERIFY(QDir().mkpath(home() + QStringLiteral("/logs")));
    QVERIFY(writeAll(home() + QStringLiteral("/plain.txt"), "plain"));

    m_now = QDateTime(QDate(2024, 3, 5), QTime(10, 0));
    Window1 *window = quietWindow(folder);
    QVERIFY(window);
    window->controller()->LogToOTA(QStringLiteral("Mark"));

    QStringList written;
    QDirIterator files(home(), {QStringLiteral("*OnTheAirVideo Log*")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        written.append(QDir(home()).relativeFilePath(files.next()));
    QCOMPARE(written, expectedFile.isEmpty() ? QStringList() : QStringList({expectedFile}));
    QCOMPARE(window->Log->count(), expectedFile.isEmpty() ? 0 : 1);
    QCOMPARE(readAll(home() + QStringLiteral("/plain.txt")), QByteArray("plain"));

    // A failed append stops nothing: the next one with a usable folder goes through.
    window->controller()->logPath = home() + QStringLiteral("/logs/");
    window->controller()->LogToOTA(QStringLiteral("Again"));
    QVERIFY(readAll(home() + QStringLiteral("/logs/OnTheAirVideo Log 2024-03-05.txt")).endsWith("\tAgain on VT 1\r\n"));
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], failingJoinProbeArgument) == 0)
        return failingJoinProbe();
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestStartup.moc"
