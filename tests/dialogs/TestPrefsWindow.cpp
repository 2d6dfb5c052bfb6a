// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The preferences window with the main window open: filling from the store, the three ways of
// closing it, "Update IP" with a relay box on a second host, and "Open in Finder".
#include "core/platform/ErrorReport.h"
#include "core/platform/Services.h"
#include "core/platform/UDPSocket.h"
#include "core/platform/UserFolders.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/RelayCommand.h"
#include "core/trigger/TriggerController.h"
#include "gui/app/Brenvale.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/PrefsWindow.h"
#include "gui/windows/Window1.h"
#include "support/ChildProcess.h"
#include "support/FakeOpener.h"
#include "support/PeerNamespace.h"
#include "support/SimulatorOutput.h"
#include "support/TestFiles.h"
#include "support/gui/LogWatch.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using SimulatorOutput::relayCommands;

namespace {
const QDateTime kNow(QDate(2026, 5, 2), QTime(18, 4, 9));
const QString kQuestion = QStringLiteral("Are you sure you want to update the IP address of the relaybox?");
const QString kSaveFailed = QStringLiteral("Could not save preferences.");

// The seven fields and the keys they edit, in the order the window stores them.
struct FieldKey
{
    const char *key;
    QLineEdit *PrefsWindow::*field;
};
const FieldKey kFields[] = {
    {"chrWorksIP", &PrefsWindow::chrWorksIP},
    {"chrWorksIPBup", &PrefsWindow::chrWorksIPBup},
    {"motion1Name", &PrefsWindow::motion1Name},
    {"motion2Name", &PrefsWindow::motion2Name},
    {"IPAddr", &PrefsWindow::AddressField},
    {"LogPath", &PrefsWindow::prefLogPath},
    {"VTid", &PrefsWindow::VTid},
};

enum CloseWay { CloseButton, FileCloseItem, UpdateIP };

QString storeFolder()
{
    return UserFolders::applicationSupport() + QStringLiteral("/Brenvale");
}

QString storeFile()
{
    return storeFolder() + QStringLiteral("/Brenvale.prefs");
}

QJsonObject storedFile()
{
    return QJsonDocument::fromJson(readAll(storeFile())).object();
}
} // namespace

// Stands in for the file browser.
class TestPrefsWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void fieldsShowTheStore_data();
    void fieldsShowTheStore();
    void preferencesCommandReusesOpenWindow();
    void widthChangesWidenOnlyTheLogPath_data();
    void widthChangesWidenOnlyTheLogPath();
    void closingStoresAndRefreshes_data();
    void closingStoresAndRefreshes();
    void failedSaveShownOncePerClose_data();
    void failedSaveShownOncePerClose();
    void updateIpAnsweredNo();
    void updateIpWhileDisabled();
    void updateIpWhileEnabledSendsNewAddress_data();
    void updateIpWhileEnabledSendsNewAddress();
    void openInFinderUsesFieldText_data();
    void openInFinderUsesFieldText();
    void openInFinderUnopenableIsReported_data();
    void openInFinderUnopenableIsReported();

private:
    QVariantMap defaultStore() const;
    void loadStore(const QVariantMap &values);
    PrefsWindow *openPrefs();
    void closeBy(CloseWay way, PrefsWindow *window);
    QString relayAddress() const { return m_peerReady ? m_peer.address() : QStringLiteral("127.0.0.1"); }
    QString expand(QString text) const;
    // Proves that no relay command went out since the mark: the next one is the first seen.
    void expectNoRelayCommandSince(qsizetype mark);

    Brenvale *m_app = nullptr;
    Window1 *m_main = nullptr;
    PeerNamespace m_peer;
    bool m_peerReady = false;
    QString m_peerWhy;
    ChildProcess *m_relay = nullptr;
    QTemporaryDir m_folders;
    QString m_storedLog;
    QString m_otherLog;
    MsgBox::Answer m_answer = MsgBox::Answer::Yes;
    QList<MsgBox::Request> m_boxes;
    QStringList m_reports;
    std::unique_ptr<FakeOpener> m_opener;
};

void TestPrefsWindow::initTestCase()
{
    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append(where + QStringLiteral(": ") + kind + QStringLiteral(": ") + message);
    });

    QVERIFY(m_folders.isValid());
    m_storedLog = m_folders.filePath(QStringLiteral("Stored Logs")) + QLatin1Char('/');
    m_otherLog = m_folders.filePath(QStringLiteral("Typed Logs #2"));
    QVERIFY(QDir().mkpath(m_storedLog));
    QVERIFY(QDir().mkpath(m_otherLog));

    m_peerReady = m_peer.create(&m_peerWhy);
    if (m_peerReady) {
        m_relay = m_peer.startTool(QStringLiteral("brenvale-relay-box"), {QStringLiteral("--no-reply")}, &m_peerWhy);
        QVERIFY2(m_relay, qPrintable(m_peerWhy));
    } else {
        qWarning("No second host (%s): the relay checks are skipped.", qPrintable(m_peerWhy));
    }

    loadStore(defaultStore());
    const MsgBox::Responder boxes = [this](const MsgBox::Request &request) {
        m_boxes.append(request);
        return request.question ? m_answer : MsgBox::Answer::Ok;
    };
    m_app = new Brenvale(Services {[] { return kNow; }, {}, nullptr, {}}, boxes);
    m_app->applicationAddMenuHandlers();
    m_main = Window1::instance();
    QVERIFY(m_main);
    QVERIFY2(m_main->controller()->RelayUDP->IsConnected(), "the relay socket did not bind port 5000");
}

void TestPrefsWindow::init()
{
    m_answer = MsgBox::Answer::Yes;
    m_boxes.clear();
    m_reports.clear();
    m_opener = std::make_unique<FakeOpener>();
    QVERIFY(m_opener->isValid());
    m_main->controller()->Enabled = false;
    loadStore(defaultStore());
    QVERIFY(!PrefsWindow::openInstance());
    QVERIFY(!FileClose()->isVisible());
}

void TestPrefsWindow::cleanup()
{
    if (PrefsWindow *window = PrefsWindow::openInstance())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_main->controller()->Enabled = false;
    m_opener.reset();
    QVERIFY2(m_reports.isEmpty(), qPrintable(m_reports.join(u'\n')));
}

void TestPrefsWindow::cleanupTestCase()
{
    delete Window1::openInstance();
    delete m_app;
    ErrorReport::setObserver({});
}

QVariantMap TestPrefsWindow::defaultStore() const
{
    return {{QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.21")},
        {QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.22")},
        {QStringLiteral("motion1Name"), QStringLiteral("Lower Third")},
        {QStringLiteral("motion2Name"), QStringLiteral("Bug")}, {QStringLiteral("IPAddr"), relayAddress()},
        {QStringLiteral("LogPath"), m_storedLog}, {QStringLiteral("VTid"), QStringLiteral("3")}};
}

void TestPrefsWindow::loadStore(const QVariantMap &values)
{
    QVERIFY(QDir().mkpath(storeFolder()));
    QFile file(storeFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(QJsonObject::fromVariantMap(values)).toJson());
    file.close();
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    QVERIFY(ModernPreferences::Preferences->Load());
}

PrefsWindow *TestPrefsWindow::openPrefs()
{
    if (!m_app->FilePrefs_Action(0))
        return nullptr;
    return PrefsWindow::openInstance();
}

void TestPrefsWindow::closeBy(CloseWay way, PrefsWindow *window)
{
    switch (way) {
    case CloseButton:
        window->close();
        break;
    case FileCloseItem:
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        FileClose()->trigger();
        break;
    case UpdateIP: {
        m_main->controller()->Enabled = true;
        m_answer = MsgBox::Answer::Yes;
        const QByteArray datagram = "cmdkey99\n" + window->newAddress->text().toUtf8() + '\n';
        const qsizetype mark = m_relay ? m_relay->mark() : 0;
        window->updateIPButton->click();
        // Seen arriving here, so that it cannot turn up in a later test's watch.
        if (m_relay) {
            QTRY_VERIFY_WITH_TIMEOUT(!relayCommands(m_relay->linesSince(mark)).isEmpty(), 5000);
            QCOMPARE(relayCommands(m_relay->linesSince(mark)).first().data, datagram);
        }
        break;
    }
    }
}

QString TestPrefsWindow::expand(QString text) const
{
    text.replace(QLatin1String("{other/}"), m_otherLog + QLatin1Char('/'));
    text.replace(QLatin1String("{other}"), m_otherLog);
    text.replace(QLatin1String("{missing}"), m_otherLog + QStringLiteral("/no such folder/"));
    return text;
}

void TestPrefsWindow::expectNoRelayCommandSince(qsizetype mark)
{
    if (!m_peerReady)
        return;
    const bool wasEnabled = m_main->controller()->Enabled;
    m_main->controller()->Enabled = true;
    m_main->controller()->SendMessage(RelayCommand::Key1Off);
    m_main->controller()->Enabled = wasEnabled;
    QTRY_VERIFY_WITH_TIMEOUT(!relayCommands(m_relay->linesSince(mark)).isEmpty(), 5000);
    const auto commands = relayCommands(m_relay->linesSince(mark));
    QCOMPARE(commands.first().data, QByteArray("cmdkey1\n"));
    QCOMPARE(commands.size(), 1);
}

void TestPrefsWindow::fieldsShowTheStore_data()
{
    QTest::addColumn<QString>("missingKey");
    QTest::addColumn<QString>("shown");
    QTest::newRow("complete store") << QString() << QString();
    QTest::newRow("no motion1Name") << QStringLiteral("motion1Name") << QString();
    QTest::newRow("no chrWorksIP") << QStringLiteral("chrWorksIP") << QStringLiteral("192.168.0.1");
    QTest::newRow("no chrWorksIPBup") << QStringLiteral("chrWorksIPBup") << QStringLiteral("192.168.0.2");
    QTest::newRow("no IPAddr: empty, not the first-start default") << QStringLiteral("IPAddr") << QString();
    QTest::newRow("no VTid: empty, not the design text") << QStringLiteral("VTid") << QString();
}

void TestPrefsWindow::fieldsShowTheStore()
{
    QFETCH(QString, missingKey);
    QFETCH(QString, shown);
    QVariantMap values = defaultStore();
    values.remove(missingKey);
    loadStore(values);
    const QByteArray fileBefore = readAll(storeFile());
    // Whatever the main window shows, the fields come from the store.
    m_main->VTid_disp->setText(QStringLiteral("stale"));
    m_main->currAddress->setText(QStringLiteral("stale"));

    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    for (const FieldKey &field : kFields) {
        const QString key = QLatin1String(field.key);
        const QString expected = key == missingKey ? shown : values.value(key).toString();
        QCOMPARE((window->*field.field)->text(), expected);
    }
    QCOMPARE(window->newAddress->text(), QString());
    QVERIFY(FileClose()->isVisible());

    // A missing key is now in the store, as the text shown; the file waits for the close.
    const QVariantMap &store = ModernPreferences::Preferences->mPreferences;
    if (!missingKey.isEmpty()) {
        QVERIFY(store.contains(missingKey));
        QCOMPARE(store.value(missingKey).typeId(), QMetaType::QString);
        QCOMPARE(store.value(missingKey).toString(), shown);
    }
    QCOMPARE(store.size(), 7);
    QCOMPARE(readAll(storeFile()), fileBefore);
}

void TestPrefsWindow::preferencesCommandReusesOpenWindow()
{
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->VTid->setText(QStringLiteral("typed"));
    ModernPreferences::Preferences[QStringLiteral("VTid")] = QStringLiteral("changed meanwhile");

    QVERIFY(m_app->FilePrefs_Action(0));
    QCOMPARE(PrefsWindow::openInstance(), window);
    QCOMPARE(window->VTid->text(), QStringLiteral("typed"));
    int windows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        windows += qobject_cast<PrefsWindow *>(widget) ? 1 : 0;
    QCOMPARE(windows, 1);
    QVERIFY(FileClose()->isVisible());
}

void TestPrefsWindow::widthChangesWidenOnlyTheLogPath_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("width");
    QTest::newRow("wider") << 500 << 500;
    QTest::newRow("above the maximum") << 2000 << 1024;
    QTest::newRow("below the minimum") << 100 << 320;
}

void TestPrefsWindow::widthChangesWidenOnlyTheLogPath()
{
    QFETCH(int, asked);
    QFETCH(int, width);
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    const QRect logPath = window->prefLogPath->geometry();
    const QRect update = window->updateIPButton->geometry();
    const QRect vtId = window->VTid->geometry();
    QCOMPARE(logPath, QRect(20, 233, 280, 22));

    window->setWidth(asked);
    QCOMPARE(window->Width(), width);
    // Locked to the left, top and right edges, the log path field keeps its distance to both sides.
    QCOMPARE(window->prefLogPath->geometry(), logPath.adjusted(0, 0, width - 320, 0));
    QCOMPARE(window->updateIPButton->geometry(), update);
    QCOMPARE(window->VTid->geometry(), vtId);
    // Every control keeps the room the layout needs.
    QVERIFY(window->Height() >= 403);
}

void TestPrefsWindow::closingStoresAndRefreshes_data()
{
    QTest::addColumn<int>("way");
    QTest::addColumn<QStringList>("typed"); // in the order of kFields

    const QStringList plain = {QStringLiteral("127.0.0.31"), QStringLiteral("127.0.0.32"), QStringLiteral("Motion A"),
        QStringLiteral("Motion B"), QStringLiteral("127.0.0.33"), QStringLiteral("{other/}"), QStringLiteral("9")};
    // Cleared fields, kept spaces, non-ASCII and a log folder without its final "/".
    const QStringList raw = {QString(), QStringLiteral(" 127.0.0.34 "), QString(), QStringLiteral("Zw\u00f6lf \u2192"),
        QStringLiteral("127.0.0.35"), QStringLiteral("{other}"), QString()};
    QTest::newRow("close button") << int(CloseButton) << plain;
    QTest::newRow("File > Close") << int(FileCloseItem) << plain;
    QTest::newRow("Update IP") << int(UpdateIP) << plain;
    QTest::newRow("close button, raw texts") << int(CloseButton) << raw;
    QTest::newRow("File > Close, raw texts") << int(FileCloseItem) << raw;
    QTest::newRow("Update IP, raw texts") << int(UpdateIP) << raw;
}

void TestPrefsWindow::closingStoresAndRefreshes()
{
    QFETCH(int, way);
    QFETCH(QStringList, typed);
    for (QString &text : typed)
        text = expand(text);

    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    QPointer<PrefsWindow> guard(window);
    for (size_t i = 0; i < std::size(kFields); ++i)
        (window->*kFields[i].field)->setText(typed.at(int(i)));
    window->newAddress->setText(QStringLiteral("127.0.0.40"));

    closeBy(CloseWay(way), window);
    QVERIFY(!QTest::currentTestFailed());

    QVERIFY(!PrefsWindow::openInstance());
    QTRY_VERIFY(guard.isNull());
    QVERIFY(!FileClose()->isVisible());

    const QVariantMap &store = ModernPreferences::Preferences->mPreferences;
    const QJsonObject file = storedFile();
    for (size_t i = 0; i < std::size(kFields); ++i) {
        const QString key = QLatin1String(kFields[i].key);
        QCOMPARE(store.value(key).typeId(), QMetaType::QString);
        QCOMPARE(store.value(key).toString(), typed.at(int(i)));
        QCOMPARE(file.value(key).toString(), typed.at(int(i)));
    }
    QVERIFY(!store.values().contains(QStringLiteral("127.0.0.40")));

    QCOMPARE(m_main->VTid_disp->text(), typed.at(6));
    QCOMPARE(m_main->currAddress->text(), typed.at(0));
    QCOMPARE(m_main->controller()->logPath, typed.at(5));

    const QStringList expectedBoxes = way == UpdateIP ? QStringList {kQuestion} : QStringList();
    QStringList boxes;
    for (const MsgBox::Request &box : std::as_const(m_boxes))
        boxes.append(box.text);
    QCOMPARE(boxes, expectedBoxes);
}

void TestPrefsWindow::failedSaveShownOncePerClose_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("close button") << int(CloseButton);
    QTest::newRow("File > Close") << int(FileCloseItem);
    QTest::newRow("Update IP") << int(UpdateIP);
}

void TestPrefsWindow::failedSaveShownOncePerClose()
{
    QFETCH(int, way);
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->VTid->setText(QStringLiteral("8"));
    window->chrWorksIP->setText(QStringLiteral("127.0.0.36"));
    window->prefLogPath->setText(m_otherLog);
    QVERIFY(QDir(storeFolder()).removeRecursively());

    closeBy(CloseWay(way), window);
    QVERIFY(!QTest::currentTestFailed());

    QStringList boxes;
    for (const MsgBox::Request &box : std::as_const(m_boxes))
        boxes.append(box.text);
    QCOMPARE(boxes, way == UpdateIP ? (QStringList {kQuestion, kSaveFailed}) : QStringList {kSaveFailed});
    QVERIFY(!m_boxes.last().question);

    // The rest of the close goes on: the values stay in memory and reach the main window.
    QVERIFY(!PrefsWindow::openInstance());
    QVERIFY(!FileClose()->isVisible());
    QCOMPARE(ModernPreferences::Preferences[QStringLiteral("VTid")].toString(), QStringLiteral("8"));
    QCOMPARE(m_main->VTid_disp->text(), QStringLiteral("8"));
    QCOMPARE(m_main->currAddress->text(), QStringLiteral("127.0.0.36"));
    QCOMPARE(m_main->controller()->logPath, m_otherLog);
    QVERIFY(!QFile::exists(storeFile()));
}

void TestPrefsWindow::updateIpAnsweredNo()
{
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->VTid->setText(QStringLiteral("77"));
    window->newAddress->setText(QStringLiteral("127.0.0.41"));
    const QVariantMap storeBefore = ModernPreferences::Preferences->mPreferences;
    const QString labelBefore = m_main->currAddress->text();
    // Enabled, so that a Yes would have sent.
    m_main->controller()->Enabled = true;
    m_answer = MsgBox::Answer::No;
    const qsizetype relayMark = m_relay ? m_relay->mark() : 0;
    LogWatch log(m_main->Log, kNow);

    window->updateIPButton->click();

    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.first().text, kQuestion);
    QVERIFY(m_boxes.first().question);
    QCOMPARE(m_boxes.first().title, QString());
    QCOMPARE(PrefsWindow::openInstance(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->VTid->text(), QStringLiteral("77"));
    QCOMPARE(window->newAddress->text(), QStringLiteral("127.0.0.41"));
    QCOMPARE(ModernPreferences::Preferences->mPreferences, storeBefore);
    QCOMPARE(m_main->currAddress->text(), labelBefore);
    QCOMPARE(log.added(), QStringList());
    QVERIFY(FileClose()->isVisible());
    expectNoRelayCommandSince(relayMark);
}

void TestPrefsWindow::updateIpWhileDisabled()
{
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->VTid->setText(QStringLiteral("66"));
    window->newAddress->setText(QStringLiteral("127.0.0.42"));
    const QVariantMap storeBefore = ModernPreferences::Preferences->mPreferences;
    const QByteArray fileBefore = readAll(storeFile());
    const QString labelBefore = m_main->currAddress->text();
    m_main->controller()->Enabled = false;
    const qsizetype relayMark = m_relay ? m_relay->mark() : 0;
    LogWatch log(m_main->Log, kNow);

    window->updateIPButton->click();

    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(log.added(), QStringList {QStringLiteral("Trigger Disabled!")});
    QCOMPARE(PrefsWindow::openInstance(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->VTid->text(), QStringLiteral("66"));
    QCOMPARE(window->newAddress->text(), QStringLiteral("127.0.0.42"));
    QCOMPARE(ModernPreferences::Preferences->mPreferences, storeBefore);
    QCOMPARE(readAll(storeFile()), fileBefore);
    QCOMPARE(m_main->currAddress->text(), labelBefore);
    QVERIFY(FileClose()->isVisible());
    expectNoRelayCommandSince(relayMark);
}

void TestPrefsWindow::updateIpWhileEnabledSendsNewAddress_data()
{
    QTest::addColumn<QString>("newAddress");
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("empty") << QString() << QByteArray("cmdkey99\n\n");
    QTest::newRow("address") << QStringLiteral("10.1.13.60") << QByteArray("cmdkey99\n10.1.13.60\n");
    QTest::newRow("untrimmed") << QStringLiteral(" 10.1.13.61 ") << QByteArray("cmdkey99\n 10.1.13.61 \n");
}

void TestPrefsWindow::updateIpWhileEnabledSendsNewAddress()
{
    QFETCH(QString, newAddress);
    QFETCH(QByteArray, datagram);
    if (!m_peerReady)
        QSKIP(qPrintable(m_peerWhy));

    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    // An edited "Current address" reaches the store only with the close: the command still
    // goes to the relay box at the stored address (nobody has the edited one).
    window->AddressField->setText(m_peer.unusedAddress());
    window->chrWorksIP->setText(QStringLiteral("127.0.0.51"));
    window->newAddress->setText(newAddress);
    m_main->controller()->Enabled = true;
    const qsizetype relayMark = m_relay->mark();
    LogWatch log(m_main->Log, kNow);

    window->updateIPButton->click();

    QCOMPARE(log.added(), QStringList {QStringLiteral("New IP address sent to relay box")});
    QVERIFY(!PrefsWindow::openInstance());
    QVERIFY(!FileClose()->isVisible());
    QCOMPARE(ModernPreferences::Preferences[QStringLiteral("IPAddr")].toString(), m_peer.unusedAddress());
    QCOMPARE(storedFile().value(QLatin1String("IPAddr")).toString(), m_peer.unusedAddress());
    QCOMPARE(ModernPreferences::Preferences[QStringLiteral("chrWorksIP")].toString(), QStringLiteral("127.0.0.51"));
    // The label ends on the main graphics server's address, not on the new relay address.
    QCOMPARE(m_main->currAddress->text(), QStringLiteral("127.0.0.51"));
    if (!newAddress.isEmpty())
        QVERIFY(!ModernPreferences::Preferences->mPreferences.values().contains(newAddress));

    QTRY_VERIFY_WITH_TIMEOUT(!relayCommands(m_relay->linesSince(relayMark)).isEmpty(), 5000);
    const auto commands = relayCommands(m_relay->linesSince(relayMark));
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands.first().data, datagram);
    QCOMPARE(commands.first().fromAddress, m_peer.localAddress());
    QCOMPARE(commands.first().fromPort, 5000);
}

void TestPrefsWindow::openInFinderUsesFieldText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("without final slash") << QStringLiteral("{other}");
    QTest::newRow("with final slash") << QStringLiteral("{other/}");
}

void TestPrefsWindow::openInFinderUsesFieldText()
{
    QFETCH(QString, typed);
    typed = expand(typed);
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->prefLogPath->setText(typed);

    window->openInFinderButton->click();

    // The typed folder, not the stored one, and the store untouched until the close.
    QVERIFY(m_opener->waitForUrls(1));
    QCOMPARE(m_opener->urls().size(), 1);
    const QUrl opened = QUrl::fromEncoded(m_opener->urls().constFirst().toLatin1(), QUrl::StrictMode);
    QVERIFY(opened.isLocalFile());
    QCOMPARE(QFileInfo(opened.toLocalFile()).canonicalFilePath(), QFileInfo(m_otherLog).canonicalFilePath());
    QCOMPARE(ModernPreferences::Preferences[QStringLiteral("LogPath")].toString(), m_storedLog);
    QCOMPARE(window->prefLogPath->text(), typed);
    QCOMPARE(PrefsWindow::openInstance(), window);
}

void TestPrefsWindow::openInFinderUnopenableIsReported_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << QString();
    QTest::newRow("missing folder") << QStringLiteral("{missing}");
}

void TestPrefsWindow::openInFinderUnopenableIsReported()
{
    QFETCH(QString, typed);
    PrefsWindow *window = openPrefs();
    QVERIFY(window);
    window->prefLogPath->setText(expand(typed));

    window->openInFinderButton->click();

    QTest::qWait(100);
    QCOMPARE(m_opener->urls().size(), 0);
    QCOMPARE(m_reports.size(), 1);
    QVERIFY2(m_reports.first().startsWith(QLatin1String("PrefsWindow.PushButton2_Action: IOException: ")),
        qPrintable(m_reports.first()));
    m_reports.clear();
    QCOMPARE(PrefsWindow::openInstance(), window);
    QVERIFY(window->isVisible());
    QVERIFY(m_boxes.isEmpty());
}

QTEST_MAIN(TestPrefsWindow)
#include "TestPrefsWindow.moc"
