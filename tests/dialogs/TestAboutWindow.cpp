// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The About window, the About command and the shared Close item, on an offscreen main screen
// of a known size (1440 x 900 unless a child run asks for another).
#include "core/prefs/ModernPreferences.h"
#include "gui/app/Brenvale.h"
#include "gui/windows/About.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/PrefsWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>

namespace {
const char *const kScreenVariable = "BRENVALE_TEST_SCREEN";
const char *const kPlaceOption = "--place-about";

int aboutWindows()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<About *>(widget) ? 1 : 0;
    return count;
}

// The offscreen platform takes its screens from a configuration file.
bool configureScreen(const QTemporaryDir &dir, const QByteArray &size)
{
    const QList<QByteArray> parts = size.split('x');
    if (parts.size() != 2)
        return false;
    const QJsonObject screen {{QStringLiteral("name"), QStringLiteral("main")}, {QStringLiteral("x"), 0},
        {QStringLiteral("y"), 0}, {QStringLiteral("width"), parts.at(0).toInt()},
        {QStringLiteral("height"), parts.at(1).toInt()}};
    const QJsonObject config {{QStringLiteral("screens"), QJsonArray {screen}}};
    const QString path = dir.filePath(QStringLiteral("screen.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(config).toJson());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
    return true;
}

// The child run: one About command, then the window's place on standard output.
int placeAbout()
{
    Brenvale app;
    app.FileAbout_Action();
    const About *about = About::openInstance();
    if (!about)
        return 2;
    std::printf("%d %d\n", about->Left(), about->Top());
    return 0;
}
} // namespace

// Stands in for the web browser.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class TestAboutWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void builtHiddenWithItsDesign();
    void aboutCommandCentresShowsAndWritesVersion_data();
    void aboutCommandCentresShowsAndWritesVersion();
    void secondAboutCommandReusesAndRecentres();
    void closingAndReopening();
    void closeItemIsSharedWithPreferences();
    void linkLabelOpensWebSite();
    void closeShortcutClosesFrontWindow_data();
    void closeShortcutClosesFrontWindow();
    void closeShortcutWhileItemHidden_data();
    void closeShortcutWhileItemHidden();
    void centringOnOtherScreens_data();
    void centringOnOtherScreens();

private:
    Brenvale *m_app = nullptr;
    OpenedUrls m_web;
};

void TestAboutWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1440, 900));
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    ModernPreferences::Preferences->Load();
    m_app = new Brenvale();
    m_app->applicationAddMenuHandlers();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_web, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_web, "open");
}

void TestAboutWindow::init()
{
    m_web.urls.clear();
    QVERIFY(!About::openInstance());
    QVERIFY(!FileClose()->isVisible());
}

void TestAboutWindow::cleanup()
{
    if (About *about = About::openInstance())
        about->close();
    if (PrefsWindow *prefs = PrefsWindow::openInstance())
        prefs->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_app->MinorVersion = 0;
    m_app->NonReleaseVersion = 116;
}

void TestAboutWindow::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    delete m_app;
}

void TestAboutWindow::builtHiddenWithItsDesign()
{
    About *about = About::instance();
    QVERIFY(about);
    QVERIFY(!about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    QCOMPARE(about->Width(), 388);
    QCOMPARE(about->Height(), 163);
    // Not resizable: the window system gets one size only.
    QCOMPARE(about->minimumSize(), QSize(388, 163));
    QCOMPARE(about->maximumSize(), QSize(388, 163));
    QCOMPARE(about->versionLabel->text(), QStringLiteral("xxxx"));
    // Its Open event ran on creation: centred, and the Close item shown.
    QCOMPARE(about->Left(), 526);
    QCOMPARE(about->Top(), 368);
    QVERIFY(FileClose()->isVisible());
    QCOMPARE(About::instance(), about);
}

void TestAboutWindow::aboutCommandCentresShowsAndWritesVersion_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("nonRelease");
    QTest::addColumn<QString>("text");
    QTest::newRow("the program's version") << 0 << 116 << QStringLiteral("v 0.116");
    QTest::newRow("other version data") << 12 << 7 << QStringLiteral("v 12.7");
}

void TestAboutWindow::aboutCommandCentresShowsAndWritesVersion()
{
    QFETCH(int, minor);
    QFETCH(int, nonRelease);
    QFETCH(QString, text);
    m_app->MinorVersion = minor;
    m_app->NonReleaseVersion = nonRelease;

    QVERIFY(m_app->FileAbout_Action());
    About *about = About::openInstance();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->versionLabel->text(), text);
    // (900 - 163) / 2 = 368.5 and (1440 - 388) / 2 = 526, truncated; shown, it stays there.
    QCOMPARE(about->Left(), 526);
    QCOMPARE(about->Top(), 368);
    QCOMPARE(about->size(), QSize(388, 163));
    QVERIFY(FileClose()->isVisible());
}

void TestAboutWindow::secondAboutCommandReusesAndRecentres()
{
    QVERIFY(m_app->FileAbout_Action());
    About *about = About::openInstance();
    QVERIFY(about);
    about->setLeft(10);
    about->setTop(20);
    about->versionLabel->setText(QStringLiteral("xxxx"));
    // Hidden meanwhile (as closing the preferences window does): the Open event does not run
    // again, so it stays hidden.
    FileClose()->setVisible(false);

    QVERIFY(m_app->FileAbout_Action());
    QCOMPARE(About::openInstance(), about);
    QCOMPARE(aboutWindows(), 1);
    QCOMPARE(about->Left(), 526);
    QCOMPARE(about->Top(), 368);
    QCOMPARE(about->versionLabel->text(), QStringLiteral("v 0.116"));
    QVERIFY(!FileClose()->isVisible());
}

void TestAboutWindow::closingAndReopening()
{
    QVERIFY(m_app->FileAbout_Action());
    QPointer<About> first = About::openInstance();
    QVERIFY(first);
    QVERIFY(FileClose()->isVisible());

    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    FileClose()->trigger(); // File > Close with the About window in front
    QVERIFY(!About::openInstance());
    QVERIFY(!FileClose()->isVisible());
    QTRY_VERIFY(first.isNull());

    QVERIFY(m_app->FileAbout_Action());
    About *second = About::openInstance();
    QVERIFY(second);
    QVERIFY(second->isVisible());
    QVERIFY(FileClose()->isVisible());
    QCOMPARE(second->versionLabel->text(), QStringLiteral("v 0.116"));
    QCOMPARE(aboutWindows(), 1);
}

void TestAboutWindow::closeItemIsSharedWithPreferences()
{
    QVERIFY(m_app->FileAbout_Action());
    QVERIFY(m_app->FilePrefs_Action(0));
    About *about = About::openInstance();
    PrefsWindow *prefs = PrefsWindow::openInstance();
    QVERIFY(about && prefs);
    QVERIFY(FileClose()->isVisible());

    // Nothing counts the open windows: the latest Open or Close decides.
    prefs->close();
    QVERIFY(about->isVisible());
    QVERIFY(!FileClose()->isVisible());

    QVERIFY(m_app->FilePrefs_Action(0));
    prefs = PrefsWindow::openInstance();
    QVERIFY(prefs);
    QVERIFY(FileClose()->isVisible());

    about->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(about));
    FileClose()->trigger();
    QVERIFY(!About::openInstance());
    QCOMPARE(PrefsWindow::openInstance(), prefs);
    QVERIFY(prefs->isVisible());
    QVERIFY(!FileClose()->isVisible());
}

void TestAboutWindow::linkLabelOpensWebSite()
{
    QVERIFY(m_app->FileAbout_Action());
    About *about = About::openInstance();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));

    QTest::mouseClick(about->webLink, Qt::LeftButton);
    QTest::mouseClick(about->webLink, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(m_web.urls.size(), 2);
    QCOMPARE(m_web.urls.at(0), QUrl(About::webAddress));
    QCOMPARE(m_web.urls.at(1), QUrl(About::webAddress));
    QVERIFY(m_web.urls.at(0).scheme().startsWith(QLatin1String("http")));

    // Not handled: the press goes on to the label, and the window stays open.
    QCOMPARE(about->webLink_MouseDown(0, 0), false);
    QCOMPARE(m_web.urls.size(), 3);
    QCOMPARE(About::openInstance(), about);
    QVERIFY(about->isVisible());
    QVERIFY(FileClose()->isVisible());
}

void TestAboutWindow::closeShortcutClosesFrontWindow_data()
{
    QTest::addColumn<bool>("aboutInFront");
    QTest::newRow("About window in front") << true;
    QTest::newRow("preferences window in front") << false;
}

void TestAboutWindow::closeShortcutClosesFrontWindow()
{
    QFETCH(bool, aboutInFront);
    QVERIFY(m_app->FilePrefs_Action(0));
    QVERIFY(m_app->FileAbout_Action());
    QPointer<QWidget> front = aboutInFront ? static_cast<QWidget *>(About::openInstance())
                                           : static_cast<QWidget *>(PrefsWindow::openInstance());
    QWidget *back = aboutInFront ? static_cast<QWidget *>(PrefsWindow::openInstance())
                                 : static_cast<QWidget *>(About::openInstance());
    QVERIFY(front && back);
    front->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(front));
    QVERIFY(FileClose()->isVisible());
    QCOMPARE(MainMenuBar::shortcutOf(FileClose()), QStringLiteral("Cmd+W"));

    // The visible Close item's shortcut acts on the front window, whichever it is.
    QTest::keyClick(front, Qt::Key_W, Qt::ControlModifier);
    QVERIFY(front.isNull() || !front->isVisible());
    QVERIFY(back->isVisible());
    QVERIFY(!FileClose()->isVisible());
}

void TestAboutWindow::closeShortcutWhileItemHidden_data()
{
    QTest::addColumn<bool>("aboutStays");
    QTest::newRow("About window left in front") << true;
    QTest::newRow("preferences window left in front") << false;
}

void TestAboutWindow::closeShortcutWhileItemHidden()
{
    QFETCH(bool, aboutStays);
    QVERIFY(aboutStays ? m_app->FileAbout_Action() : m_app->FilePrefs_Action(0));
    QVERIFY(aboutStays ? m_app->FilePrefs_Action(0) : m_app->FileAbout_Action());
    QPointer<QWidget> stays = aboutStays ? static_cast<QWidget *>(About::openInstance())
                                         : static_cast<QWidget *>(PrefsWindow::openInstance());
    QWidget *other = aboutStays ? static_cast<QWidget *>(PrefsWindow::openInstance())
                                : static_cast<QWidget *>(About::openInstance());
    QVERIFY(stays && other);
    // The other window's Close event hides the item although this window is still open.
    other->close();
    QVERIFY(!FileClose()->isVisible());
    stays->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(stays));

    QTest::keyClick(stays, Qt::Key_W, Qt::ControlModifier);
    QVERIFY(stays.isNull() || !stays->isVisible());
    QVERIFY(!FileClose()->isVisible());
}

void TestAboutWindow::centringOnOtherScreens_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::newRow("1440 x 900") << QStringLiteral("1440x900") << 526 << 368;
    QTest::newRow("1920 x 1080") << QStringLiteral("1920x1080") << 766 << 458;
    QTest::newRow("exactly the window") << QStringLiteral("388x163") << 0 << 0;
    QTest::newRow("one more than the window") << QStringLiteral("389x164") << 0 << 0;
    // Smaller than the window: -63 / 2 gives -31, toward zero, not -32.
    QTest::newRow("smaller than the window") << QStringLiteral("325x100") << -31 << -31;
    QTest::newRow("much smaller") << QStringLiteral("100x40") << -144 << -61;
}

void TestAboutWindow::centringOnOtherScreens()
{
    QFETCH(QString, screen);
    QFETCH(int, left);
    QFETCH(int, top);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kScreenVariable), screen);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kPlaceOption)});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), QStringLiteral("%1 %2").arg(left).arg(top));
}

int main(int argc, char *argv[])
{
    QTemporaryDir configDir;
    const QByteArray screen = qgetenv(kScreenVariable).isEmpty() ? QByteArray("1440x900") : qgetenv(kScreenVariable);
    if (!configDir.isValid() || !configureScreen(configDir, screen)) {
        std::fprintf(stderr, "cannot configure the offscreen screen %s\n", screen.constData());
        return 3;
    }
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kPlaceOption) == 0)
        return placeAbout();
    TestAboutWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestAboutWindow.moc"
