// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The main window as the operator sees it: control places and looks, the two layout states,
// the menu, the bundle's pictures and the "Play" and "Mark Log" buttons. The host is shown
// to the window as having no network interface, so no socket is bound here.
#include "core/platform/ErrorReport.h"
#include "core/platform/HostNetwork.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "core/trigger/TriggerController.h"
#include "gui/framework/Canvas.h"
#include "gui/framework/DisclosureTriangle.h"
#include "gui/framework/MsgBox.h"
#include "gui/framework/Rectangle.h"
#include "gui/widgets/largeButton.h"
#include "gui/widgets/medButton.h"
#include "gui/windows/About.h"
#include "gui/windows/BundleResources.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/PrefsWindow.h"
#include "gui/windows/Window1.h"
#include "support/gui/GuiTestKit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

using namespace GuiTestKit;

namespace {
const QColor kGrey(0x64, 0x64, 0x64);
const QColor kBackground(0x4B, 0x4B, 0x4B);
const QColor kKeyFill(0xC8, 0xC8, 0xC8);
const QColor kTriggerFill(0x96, 0x96, 0x96);
const QColor kPushedFill(0x2A, 0x61, 0xC5);

// A text needs this much room beyond its own width, so that it stands clear of what follows.
constexpr int kGap = 4;

// The text, needing that many pixels, ends at least kGap before the control's right edge and
// before any shown sibling lying above the control that starts inside it.
void verifyFits(QWidget *widget, const QString &text, int needed)
{
    int room = widget->width();
    const QObjectList siblings = widget->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
        const auto *above = qobject_cast<const QWidget *>(siblings.at(i));
        if (above && above->isVisible() && above->geometry().intersects(widget->geometry()) && above->x() > widget->x())
            room = std::min(room, above->x() - widget->x());
    }
    const QString why = QStringLiteral("\"%1\" needs %2 pixels and a gap of %3, has %4")
                            .arg(text, QString::number(needed), QString::number(kGap), QString::number(room));
    QVERIFY2(needed + kGap <= room, qPrintable(why));
}

struct Report
{
    QString where;
    QString kind;
    QString message;
};
} // namespace

class TestWindowFace : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void menuItems_data();
    void menuItems();
    void menuLookupByName();
    void missingPictureIsTriedAgain();
    void buttonBackdropIsOneSharedPicture();

    void opensCollapsed();
    void firstExpansionGivesDesignSize();
    void controlPlaces_data();
    void controlPlaces();
    void buttonLooks_data();
    void buttonLooks();
    void textsFitTheirControls_data();
    void textsFitTheirControls();
    void dialogTextsFitTheirLabels_data();
    void dialogTextsFitTheirLabels();
    void resizedSizeIsSavedAndRestored();
    void collapseAndExpandWithoutResizing();
    void renderedWindow();

    void closeItemVisibility_data();
    void closeItemVisibility();

    void playRunsTheScriptEveryClick();
    void playFailureIsReported_data();
    void playFailureIsReported();
    void markLogAppendsMark();

private:
    QWidget *control(const QString &name) const;
    void setExpanded(bool open);
    QImage grabContent() const;

    QTemporaryDir m_home;
    QString m_logFolder;
    QString m_marker;
    QString m_resources;
    Window1 *m_window = nullptr;
    QList<qint64> m_backdropKeysAtCreation;
    QList<Report> m_reports;
    QStringList m_boxes;
};

void TestWindowFace::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_logFolder = m_home.filePath(QStringLiteral("logs")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_logFolder));
    m_marker = m_home.filePath(QStringLiteral("play-marker.txt"));

    // The test executable sits in <bundle>/Contents/MacOS; its resources are made here, all
    // but AppStrap, whose absence the picture test needs first.
    m_resources = bundleResourcesFolder();
    QVERIFY2(m_resources.endsWith(QLatin1String("GuiFaceBundle.app/Contents/Resources")), qPrintable(m_resources));
    QDir(m_resources).removeRecursively();
    QVERIFY(QDir().mkpath(m_resources));
    const QString source = qEnvironmentVariable("BRENVALE_SOURCE_DIR") + QStringLiteral("/resources/");
    for (const char *name : {"buttonBD.png", "pixl1x.png"})
        QVERIFY(QFile::copy(source + QLatin1String(name), m_resources + QLatin1Char('/') + QLatin1String(name)));
    writeMarkerScript(m_resources + QStringLiteral("/Play.scpt"), m_marker);

    setUpPreferences(
        {{QStringLiteral("VTid"), QStringLiteral("7")}, {QStringLiteral("chrWorksIP"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("chrWorksIPBup"), QStringLiteral("127.0.0.3")},
            {QStringLiteral("IPAddr"), QStringLiteral("127.0.0.1")}, {QStringLiteral("LogPath"), m_logFolder}});

    const MsgBox::Responder boxes = [this](const MsgBox::Request &request) {
        m_boxes.append(request.text);
        return MsgBox::Answer::Ok;
    };

    // No interface: the window opens no socket.
    Services services = Services::system(new HttpClient(this));
    services.network = {[] { return 0; }, [] { return QStringList(); }, {}, {}};
    m_window = Window1::instance(services, boxes);
    QVERIFY(m_window);
    // Read before the event loop gets a chance to paint: painting drops the backdrops.
    const auto buttons = m_window->findChildren<medButton *>();
    for (const medButton *button : buttons)
        m_backdropKeysAtCreation.append(button->backdrop().cacheKey());
    QVERIFY(QTest::qWaitForWindowExposed(m_window));

    ErrorReport::setObserver([this](const QString &where, const QString &kind, const QString &message) {
        m_reports.append({where, kind, message});
    });
}

void TestWindowFace::cleanupTestCase()
{
    ErrorReport::setObserver({});
}

void TestWindowFace::cleanup()
{
    // No test here expects a message box.
    QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(QLatin1Char('|'))));
    m_reports.clear();
    writeMarkerScript(m_resources + QStringLiteral("/Play.scpt"), m_marker);
}

QWidget *TestWindowFace::control(const QString &name) const
{
    Window1 *w = m_window;
    const QHash<QString, QWidget *> controls {
        {QStringLiteral("RedTallyLED"), w->RedTallyLED},
        {QStringLiteral("GreenTallyLED"), w->GreenTallyLED},
        {QStringLiteral("Label2"), w->tallyCaption},
        {QStringLiteral("Enable"), w->Enable},
        {QStringLiteral("Disable"), w->Disable},
        {QStringLiteral("key1on"), buttonWithCaption(w, QStringLiteral("Key 1 On"))},
        {QStringLiteral("key1off"), buttonWithCaption(w, QStringLiteral("Key 1 Off"))},
        {QStringLiteral("key2on"), buttonWithCaption(w, QStringLiteral("Key 2 On"))},
        {QStringLiteral("key2off"), buttonWithCaption(w, QStringLiteral("Key 2 Off"))},
        {QStringLiteral("DisclosureTriangle1"), w->expandTriangle},
        {QStringLiteral("playButton"), w->playButton},
        {QStringLiteral("MarkLog"), w->MarkLog},
        {QStringLiteral("tallyStart"), w->tallyStart},
        {QStringLiteral("tallyEnable"), w->tallyEnable},
        {QStringLiteral("Log"), w->Log},
        {QStringLiteral("StaticText1"), w->connectedToCaption},
        {QStringLiteral("currAddress"), w->currAddress},
        {QStringLiteral("Label1"), w->vtIdCaption},
        {QStringLiteral("VTid_disp"), w->VTid_disp},
        {QStringLiteral("version"), w->version},
        {QStringLiteral("CTlogo"), w->CTlogo},
    };
    return controls.value(name);
}

void TestWindowFace::setExpanded(bool open)
{
    if (m_window->expandTriangle->Value() != open)
        QTest::mouseClick(m_window->expandTriangle, Qt::LeftButton);
    QCOMPARE(m_window->expandTriangle->Value(), open);
}

QImage TestWindowFace::grabContent() const
{
    return m_window->content()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// ---- Menu ----

void TestWindowFace::menuItems_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("visibleAtStart");
    QTest::addColumn<QVariant>("index");

    QTest::newRow("About") << 0 << "FileAbout"
                           << "About"
                           << "Cmd+?" << true << QVariant();
    QTest::newRow("Preferences") << 1 << "FilePrefs"
                                 << "Preferences"
                                 << "Cmd+," << true << QVariant(0);
    QTest::newRow("Close") << 2 << "FileClose"
                           << "Close"
                           << "Cmd+W" << false << QVariant();
    QTest::newRow("Quit") << 3 << "FileQuit"
                          << "&Quit"
                          << "Cmd+Q" << true << QVariant();
}

void TestWindowFace::menuItems()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, shortcut);
    QFETCH(bool, visibleAtStart);
    QFETCH(QVariant, index);

    const QList<QAction *> items = MainMenuBar::instance()->FileMenu()->actions();
    QCOMPARE(items.size(), 4);
    QAction *item = items.at(position);
    QCOMPARE(item->objectName(), name);
    QCOMPARE(item->text(), caption);
    QCOMPARE(MainMenuBar::shortcutOf(item), shortcut);
    // Nothing has opened the About or preferences window yet.
    QCOMPARE(item->isVisible(), visibleAtStart);
    QCOMPARE(item->property("Index"), index);
    QVERIFY(!item->isCheckable());
    QVERIFY(!item->menu());
}

void TestWindowFace::menuLookupByName()
{
    MainMenuBar *bar = MainMenuBar::instance();
    QCOMPARE(MainMenuBar::instance(), bar);
    QCOMPARE(bar->FileMenu()->title(), QStringLiteral("&File"));
    QVERIFY(bar->FileMenu()->menuAction()->isVisible());

    QAction *menu = bar->Child(QStringLiteral("FileMenu"));
    QVERIFY(menu);
    QCOMPARE(menu->menu(), bar->FileMenu());
    for (const char *name : {"FileAbout", "FilePrefs", "FileClose", "FileQuit"}) {
        QAction *item = bar->Child(QLatin1String(name));
        QVERIFY2(item, name);
        QCOMPARE(item->objectName(), QLatin1String(name));
        QVERIFY(bar->FileMenu()->actions().contains(item));
    }
    QVERIFY(!bar->Child(QStringLiteral("FileOpen")));
    QCOMPARE(FileClose(), bar->Child(QStringLiteral("FileClose")));

    // The main window shows the one shared menu, as its only menu, above its content.
    QMenuBar *windowBar = m_window->menuBar();
    QVERIFY(windowBar);
    QCOMPARE(windowBar->actions().size(), 1);
    QCOMPARE(windowBar->actions().constFirst()->menu(), bar->FileMenu());
    QVERIFY(m_window->content()->geometry().top() >= windowBar->geometry().bottom());
}

// ---- Pictures ----

void TestWindowFace::missingPictureIsTriedAgain()
{
    const QString file = m_resources + QStringLiteral("/AppStrap.png");
    QVERIFY(!QFile::exists(file));
    QVERIFY(AppStrap().isNull());
    QVERIFY(AppStrap().isNull());

    const QString source = qEnvironmentVariable("BRENVALE_SOURCE_DIR") + QStringLiteral("/resources/AppStrap.png");
    QVERIFY(QFile::copy(source, file));
    const QPixmap loaded = AppStrap();
    QVERIFY(!loaded.isNull());
    QCOMPARE(loaded.size(), QImage(source).size());

    // Once loaded, the slot keeps its picture: the file is not read again.
    QVERIFY(QFile::remove(file));
    QCOMPARE(AppStrap().cacheKey(), loaded.cacheKey());
    QVERIFY(QFile::copy(source, file));
}

void TestWindowFace::buttonBackdropIsOneSharedPicture()
{
    QCOMPARE(m_backdropKeysAtCreation.size(), 6);
    const qint64 key = buttonBD().cacheKey();
    QVERIFY(!buttonBD().isNull());
    for (qint64 buttonKey : std::as_const(m_backdropKeysAtCreation))
        QCOMPARE(buttonKey, key);
    QCOMPARE(buttonBD().cacheKey(), key);

    // The buttons' painting drops the picture; the logo keeps its own.
    const auto buttons = m_window->findChildren<medButton *>();
    for (medButton *button : buttons) {
        if (!button->isVisible())
            continue;
        button->repaint();
        QVERIFY(button->backdrop().isNull());
    }
    QVERIFY(!pixl1x().isNull());
    m_window->CTlogo->repaint();
    QCOMPARE(m_window->CTlogo->Backdrop().cacheKey(), pixl1x().cacheKey());
}

// ---- Layout ----

void TestWindowFace::controlPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("collapsed");
    QTest::addColumn<QRect>("expanded700x500");

    const auto row = [](const char *name, QRect collapsed, QRect expanded) {
        QTest::newRow(name) << QString::fromLatin1(name) << collapsed << expanded;
    };
    // Top-left controls keep their places; the status row follows the bottom (and, for the
    // version and the logo, the right) edge.
    row("RedTallyLED", {0, 0, 214, 30}, {0, 0, 214, 30});
    row("GreenTallyLED", {214, 0, 214, 30}, {214, 0, 214, 30});
    row("Label2", {164, 6, 100, 20}, {164, 6, 100, 20});
    row("Enable", {20, 34, 188, 70}, {20, 34, 188, 70});
    row("Disable", {219, 34, 188, 70}, {219, 34, 188, 70});
    row("key1on", {20, 109, 90, 33}, {20, 109, 90, 33});
    row("key1off", {120, 109, 90, 33}, {120, 109, 90, 33});
    row("key2on", {219, 109, 90, 33}, {219, 109, 90, 33});
    row("key2off", {318, 109, 90, 33}, {318, 109, 90, 33});
    row("DisclosureTriangle1", {0, 140, 18, 18}, {0, 140, 18, 18});
    row("playButton", {20, 146, 90, 33}, {20, 146, 90, 33});
    row("MarkLog", {318, 146, 90, 33}, {318, 146, 90, 33});
    row("tallyStart", {120, 154, 100, 20}, {120, 154, 100, 20});
    row("tallyEnable", {220, 154, 100, 20}, {220, 154, 100, 20});
    row("StaticText1", {23, 155, 86, 21}, {23, 455, 86, 21});
    row("currAddress", {105, 155, 100, 20}, {105, 455, 100, 20});
    row("Label1", {23, 173, 39, 21}, {23, 473, 39, 21});
    row("VTid_disp", {105, 173, 100, 20}, {105, 473, 100, 20});
    row("version", {214, 173, 146, 20}, {486, 473, 146, 20});
    row("CTlogo", {372, 149, 37, 47}, {644, 449, 37, 47});
    row("Log", {20, 186, 388, -40}, {20, 186, 660, 260});
}

void TestWindowFace::controlPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, collapsed);
    QFETCH(QRect, expanded700x500);

    QWidget *widget = control(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), m_window->content());

    setExpanded(false);
    QCOMPARE(m_window->Height(), 200);
    if (name != QLatin1String("Log")) // hidden and squeezed to nothing while collapsed
        QCOMPARE(widget->geometry(), collapsed);

    setExpanded(true);
    m_window->setWidth(700);
    m_window->setHeight(500);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(700, 500));
    QCOMPARE(widget->geometry(), expanded700x500);

    // Back to the design size for the tests that follow.
    m_window->setWidth(428);
    m_window->setHeight(354);
    setExpanded(false);
}

void TestWindowFace::buttonLooks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<qint64>("textSize");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("toolTip");

    const QColor keyText(0x4B, 0x4B, 0x4B);
    QTest::newRow("Enable") << "Enable"
                            << "Enable" << QColor(0, 0, 0) << kTriggerFill << qint64(40) << "normal"
                            << "";
    QTest::newRow("Disable") << "Disable"
                             << "Disable" << QColor(0x09, 0xAC, 0xAD) << kTriggerFill << qint64(40) << "pushed"
                             << "";
    QTest::newRow("key1on") << "key1on"
                            << "Key 1 On" << keyText << kKeyFill << qint64(0) << "normal"
                            << "";
    QTest::newRow("key1off") << "key1off"
                             << "Key 1 Off" << keyText << kKeyFill << qint64(0) << "normal"
                             << "";
    QTest::newRow("key2on") << "key2on"
                            << "Key 2 On" << keyText << kKeyFill << qint64(0) << "normal"
                            << "";
    QTest::newRow("key2off") << "key2off"
                             << "Key 2 Off" << keyText << kKeyFill << qint64(0) << "normal"
                             << "";
    QTest::newRow("playButton") << "playButton"
                                << "Play" << keyText << kKeyFill << qint64(0) << "normal"
                                << "start playlist";
    QTest::newRow("MarkLog") << "MarkLog"
                             << "Mark Log" << keyText << kKeyFill << qint64(0) << "normal"
                             << "enter a mark in OTA log";
}

void TestWindowFace::buttonLooks()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(qint64, textSize);
    QFETCH(QString, state);
    QFETCH(QString, toolTip);

    auto *button = qobject_cast<CanvasButton *>(control(name));
    QVERIFY(button);
    QCOMPARE(button->caption(), caption);
    QCOMPARE(button->textColor(), text);
    QCOMPARE(button->bgColor(), background);
    QCOMPARE(button->textSize(), textSize);
    QCOMPARE(button->state(), state);
    QCOMPARE(button->toolTip(), toolTip);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(qobject_cast<largeButton *>(button) != nullptr,
        name == QLatin1String("Enable") || name == QLatin1String("Disable"));
}

void TestWindowFace::textsFitTheirControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text"); // shown in place of the control's own text, where given
    for (const char *name : {"StaticText1", "Label1", "Label2", "currAddress", "VTid_disp", "tallyStart", "tallyEnable",
             "Enable", "Disable", "key1on", "key1off", "key2on", "key2off", "playButton", "MarkLog"})
        QTest::newRow(name) << QString::fromLatin1(name) << QString();
    QTest::newRow("currAddress, widest address") << "currAddress"
                                                 << "255.255.255.255";
    QTest::newRow("currAddress, design text") << "currAddress"
                                              << "192.168.000.001";
    QTest::newRow("VTid_disp, design text") << "VTid_disp"
                                            << "Untitled";
}

void TestWindowFace::textsFitTheirControls()
{
    // The operator must be able to read every fixed text whole: "Connected to:", not
    // "Connected", and every address: "192.168.100.200", not "192.168.100.20".
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget *widget = control(name);
    QVERIFY(widget);
    setExpanded(true); // every control shown, at the design size
    int needed = 0;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (text.isEmpty())
            text = label->text();
        needed = label->fontMetrics().horizontalAdvance(text);
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        text = box->text();
        needed = box->sizeHint().width();
    } else if (auto *button = qobject_cast<CanvasButton *>(widget)) {
        text = button->caption();
        needed = QFontMetrics(button->captionFont()).horizontalAdvance(text);
    }
    QVERIFY(!text.isEmpty());
    verifyFits(widget, text, needed);
    setExpanded(false);
}

void TestWindowFace::dialogTextsFitTheirLabels_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("labels");
    QTest::newRow("preferences") << "preferences" << 9;
    QTest::newRow("About") << "About" << 6;
}

void TestWindowFace::dialogTextsFitTheirLabels()
{
    QFETCH(QString, window);
    QFETCH(int, labels);
    QWidget *dialog
        = window == QLatin1String("About") ? static_cast<QWidget *>(About::instance()) : PrefsWindow::instance();
    const auto found = dialog->findChildren<QLabel *>();
    QCOMPARE(found.size(), labels);
    for (QLabel *label : found) {
        verifyFits(label, label->text(), label->fontMetrics().horizontalAdvance(label->text()));
        if (QTest::currentTestFailed())
            break;
    }
    dialog->close();
}

void TestWindowFace::opensCollapsed()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Brenvale Control"));
    QVERIFY(!m_window->expandTriangle->Value());
    QCOMPARE(m_window->Width(), 428);
    QCOMPARE(m_window->Height(), 200);
    QCOMPARE(m_window->MaximumWidth, 428);
    QCOMPARE(m_window->MaximumHeight, 200);
    QCOMPARE(m_window->MinimumWidth, 428);
    QCOMPARE(m_window->MinimumHeight, 354);
    QCOMPARE(m_window->windowWidth, 428);
    QCOMPARE(m_window->windowHeight, 354);

    for (QWidget *hidden : {static_cast<QWidget *>(m_window->Log), static_cast<QWidget *>(m_window->MarkLog),
             static_cast<QWidget *>(m_window->playButton), static_cast<QWidget *>(m_window->tallyStart),
             static_cast<QWidget *>(m_window->tallyEnable)})
        QVERIFY(!hidden->isVisible());
    for (const char *name :
        {"RedTallyLED", "GreenTallyLED", "Label2", "Enable", "Disable", "key1on", "key1off", "key2on", "key2off",
            "DisclosureTriangle1", "StaticText1", "currAddress", "Label1", "VTid_disp", "version", "CTlogo"})
        QVERIFY2(control(QLatin1String(name))->isVisible(), name);

    // The status row shows the preferences; without an application object there is no
    // version to show.
    QCOMPARE(m_window->connectedToCaption->text(), QStringLiteral("Connected to:"));
    QCOMPARE(m_window->vtIdCaption->text(), QStringLiteral("VT ID:"));
    QCOMPARE(m_window->currAddress->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(m_window->VTid_disp->text(), QStringLiteral("7"));
    QCOMPARE(m_window->controller()->logPath, m_logFolder);
    QCOMPARE(m_window->expandTriangle->toolTip(), QStringLiteral("click for more"));
    QCOMPARE(m_window->tallyStart->text(), QStringLiteral("Tally Start"));
    QCOMPARE(m_window->tallyEnable->text(), QStringLiteral("Tally Enable"));
    QCOMPARE(m_window->tallyStart->toolTip(), QStringLiteral("auto start playlist"));
    QCOMPARE(m_window->tallyEnable->toolTip(), QStringLiteral("auto enable control"));
    QVERIFY(!m_window->tallyStart->isChecked());
    QVERIFY(!m_window->tallyEnable->isChecked());
    QCOMPARE(m_window->RedTallyLED->FillColor(), kGrey);
    QCOMPARE(m_window->GreenTallyLED->FillColor(), kGrey);
    QVERIFY(!m_window->controller()->Enabled);
}

void TestWindowFace::firstExpansionGivesDesignSize()
{
    // Runs before any other test has resized the window and collapsed it again.
    QCOMPARE(m_window->windowHeight, 354);
    QCOMPARE(m_window->windowWidth, 428);
    setExpanded(true);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(428, 354));
    QCOMPARE(m_window->MaximumWidth, 1024);
    QCOMPARE(m_window->MaximumHeight, 1024);
    QCOMPARE(m_window->MinimumWidth, 428);
    QCOMPARE(m_window->MinimumHeight, 354);
    for (QWidget *shown : {static_cast<QWidget *>(m_window->Log), static_cast<QWidget *>(m_window->MarkLog),
             static_cast<QWidget *>(m_window->playButton), static_cast<QWidget *>(m_window->tallyStart),
             static_cast<QWidget *>(m_window->tallyEnable)})
        QVERIFY(shown->isVisible());
    QCOMPARE(m_window->Log->geometry(), QRect(20, 186, 388, 114));
    setExpanded(false);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(428, 200));
}

void TestWindowFace::resizedSizeIsSavedAndRestored()
{
    setExpanded(true);
    m_window->setWidth(700);
    m_window->setHeight(500);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(700, 500));

    setExpanded(false);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(428, 200));
    QCOMPARE(m_window->windowHeight, 500);
    QCOMPARE(m_window->windowWidth, 700);
    QCOMPARE(m_window->MaximumWidth, 428);
    QCOMPARE(m_window->MaximumHeight, 200);
    QVERIFY(!m_window->Log->isVisible());
    QVERIFY(!m_window->MarkLog->isVisible());
    QVERIFY(!m_window->playButton->isVisible());
    QVERIFY(!m_window->tallyStart->isVisible());
    QVERIFY(!m_window->tallyEnable->isVisible());

    setExpanded(true);
    QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(700, 500));
    QCOMPARE(m_window->Log->geometry(), QRect(20, 186, 660, 260));

    m_window->setWidth(428);
    m_window->setHeight(354);
    setExpanded(false);
}

void TestWindowFace::collapseAndExpandWithoutResizing()
{
    setExpanded(true);
    m_window->setWidth(512);
    m_window->setHeight(400);
    for (int round = 0; round < 2; ++round) {
        setExpanded(false);
        QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(428, 200));
        setExpanded(true);
        QCOMPARE(QSize(m_window->Width(), m_window->Height()), QSize(512, 400));
    }
    m_window->setWidth(428);
    m_window->setHeight(354);
    setExpanded(false);
}

void TestWindowFace::renderedWindow()
{
    const QString buildDir = qEnvironmentVariable("BRENVALE_BUILD_DIR");
    QVERIFY(!buildDir.isEmpty());

    setExpanded(false);
    const QImage collapsed = grabContent();
    QCOMPARE(collapsed.size(), QSize(428, 200));
    QVERIFY(collapsed.save(buildDir + QStringLiteral("/window-collapsed.png")));

    setExpanded(true);
    const QImage expanded = grabContent();
    QCOMPARE(expanded.size(), QSize(428, 354));
    QVERIFY(expanded.save(buildDir + QStringLiteral("/window-expanded.png")));
    setExpanded(false);

    // The two dialogs, for a look at their texts.
    About *about = About::instance();
    about->show();
    QVERIFY(about->grab().save(buildDir + QStringLiteral("/window-about.png")));
    about->close();
    PrefsWindow *prefs = PrefsWindow::instance();
    QVERIFY(prefs->grab().save(buildDir + QStringLiteral("/window-preferences.png")));
    prefs->close();

    for (const QImage &image : {collapsed, expanded}) {
        // The lamp strip: two grey halves, beside and under the "Tally" label.
        QCOMPARE(image.pixelColor(0, 2), kGrey);
        QCOMPARE(image.pixelColor(213, 2), kGrey);
        QCOMPARE(image.pixelColor(214, 2), kGrey);
        QCOMPARE(image.pixelColor(427, 29), kGrey);
        QCOMPARE(image.pixelColor(100, 31), kBackground);
        // Enable (normal, full fill) and Disable (pushed: inset by 3, blue).
        QCOMPARE(image.pixelColor(20 + 6, 34 + 6), kTriggerFill);
        QCOMPARE(image.pixelColor(20 + 94, 34 + 1), kTriggerFill);
        QCOMPARE(image.pixelColor(219 + 6, 34 + 6), kPushedFill);
        QCOMPARE(image.pixelColor(219 + 94, 34 + 1), kBackground);
        QCOMPARE(image.pixelColor(219 + 94, 34 + 4), kPushedFill);
        QCOMPARE(image.pixelColor(15, 60), kBackground);
        // Four key buttons in a row with their tops at 109.
        for (int left : {20, 120, 219, 318}) {
            QCOMPARE(image.pixelColor(left + 6, 109 + 6), kKeyFill);
            QCOMPARE(image.pixelColor(left + 45, 110), kKeyFill);
            QCOMPARE(image.pixelColor(left + 45, 107), kBackground);
            QCOMPARE(image.pixelColor(left + 88, 109 + 16), kKeyFill);
        }
        QCOMPARE(image.pixelColor(115, 125), kBackground);
    }
    // Collapsed, the place of the log shows the window's background; expanded, the log.
    QCOMPARE(collapsed.pixelColor(5, 190), kBackground);
    QCOMPARE(expanded.pixelColor(200, 250), QColor(0x00, 0x24, 0x51));
    QCOMPARE(expanded.pixelColor(20 + 6, 146 + 6), kKeyFill);
    QCOMPARE(collapsed.pixelColor(20 + 6, 146 + 6), kBackground);
}

// ---- Close item ----

void TestWindowFace::closeItemVisibility_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("visible");

    // A+/A- open/close the About window, P+/P- the preferences window.
    QTest::newRow("about opened") << "A+" << true;
    QTest::newRow("about opened and closed") << "A+ A-" << false;
    QTest::newRow("preferences opened") << "P+" << true;
    QTest::newRow("preferences opened and closed") << "P+ P-" << false;
    QTest::newRow("both open, about closed") << "A+ P+ A-" << false;
    QTest::newRow("both open, preferences closed") << "P+ A+ P-" << false;
    QTest::newRow("about closed, preferences open") << "P+ A+ A- P- P+" << true;
    QTest::newRow("preferences closed, about reopened") << "P+ P- A+" << true;
}

void TestWindowFace::closeItemVisibility()
{
    QFETCH(QString, steps);
    QFETCH(bool, visible);

    QAction *item = FileClose();
    QVERIFY(item);
    const QStringList stepList = steps.split(QLatin1Char(' '));
    for (const QString &step : stepList) {
        if (step == QLatin1String("A+")) {
            About *about = About::instance();
            about->show();
        } else if (step == QLatin1String("A-")) {
            QVERIFY(About::openInstance());
            About::openInstance()->close();
        } else if (step == QLatin1String("P+")) {
            PrefsWindow::instance();
        } else {
            QVERIFY(PrefsWindow::openInstance());
            PrefsWindow::openInstance()->close();
        }
        QCoreApplication::processEvents();
    }
    QCOMPARE(item->isVisible(), visible);

    if (About *about = About::openInstance())
        about->close();
    if (PrefsWindow *prefs = PrefsWindow::openInstance())
        prefs->close();
    QCOMPARE(item->isVisible(), false);
}

// ---- Play and Mark Log ----

void TestWindowFace::playRunsTheScriptEveryClick()
{
    QFile::remove(m_marker);
    setExpanded(true);
    const bool enabledBefore = m_window->controller()->Enabled;
    const int rowsBefore = m_window->Log->count();

    QTest::mouseClick(m_window->playButton, Qt::LeftButton);
    QCOMPARE(screenMessage(m_window->Log, 0), QStringLiteral("Manual Play Sent"));
    QTest::mouseClick(m_window->playButton, Qt::LeftButton);
    QCOMPARE(m_window->Log->count(), rowsBefore + 2);
    QCOMPARE(screenMessage(m_window->Log, 1), QStringLiteral("Manual Play Sent"));

    QTRY_COMPARE(markerCount(m_marker), 2);
    QFile marker(m_marker);
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QCOMPARE(marker.readAll(), QByteArray("play \nplay \n")); // run with no arguments
    QCOMPARE(m_window->controller()->Enabled, enabledBefore);
    QVERIFY(!m_window->controller()->RedTally);
    QVERIFY(!m_window->controller()->GreenTally);
    QVERIFY(m_reports.isEmpty());
    setExpanded(false);
}

void TestWindowFace::playFailureIsReported_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::newRow("script missing") << "missing";
    QTest::newRow("script not executable") << "not executable";
    QTest::newRow("a folder in its place") << "folder";
}

void TestWindowFace::playFailureIsReported()
{
    QFETCH(QString, breakage);
    const QString script = m_resources + QStringLiteral("/Play.scpt");
    QFile::remove(m_marker);
    QVERIFY(QFile::remove(script));
    if (breakage == QLatin1String("not executable")) {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexit 0\n");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    } else if (breakage == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(script));
    }

    setExpanded(true);
    const int rowsBefore = m_window->Log->count();
    QTest::mouseClick(m_window->playButton, Qt::LeftButton);

    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.constFirst().where, QStringLiteral("Window1.playButton_Action"));
    QCOMPARE(m_reports.constFirst().kind, QStringLiteral("RuntimeException"));
    QVERIFY2(m_reports.constFirst().message.contains(QLatin1String("Play.scpt")),
        qPrintable(m_reports.constFirst().message));
    QCOMPARE(m_window->Log->count(), rowsBefore); // no "Manual Play Sent"

    // The program goes on: once the script is back, the next click plays.
    if (breakage == QLatin1String("folder"))
        QVERIFY(QDir(script).removeRecursively());
    writeMarkerScript(script, m_marker);
    QTest::mouseClick(m_window->playButton, Qt::LeftButton);
    QCOMPARE(m_window->Log->count(), rowsBefore + 1);
    QCOMPARE(screenMessage(m_window->Log, 0), QStringLiteral("Manual Play Sent"));
    QTRY_COMPARE(markerCount(m_marker), 1);
    QCOMPARE(m_reports.size(), 1);
    setExpanded(false);
}

void TestWindowFace::markLogAppendsMark()
{
    setExpanded(true);
    const QStringList before = dailyLogMessages(m_logFolder);
    const bool enabledBefore = m_window->controller()->Enabled;
    QTest::mouseClick(m_window->MarkLog, Qt::LeftButton);
    QTest::mouseClick(m_window->MarkLog, Qt::LeftButton);

    const QStringList after = dailyLogMessages(m_logFolder);
    QCOMPARE(after.size(), before.size() + 2);
    QCOMPARE(after.mid(before.size()), (QStringList {QStringLiteral("Mark"), QStringLiteral("Mark")}));
    QVERIFY(dailyLogLines(m_logFolder).constLast().endsWith(QLatin1String("Mark on VT 7")));
    QVERIFY(screenMessage(m_window->Log, 0)
                .startsWith(QLatin1String("Logged Mark to ") + m_logFolder + QLatin1String("OnTheAirVideo Log ")));
    QCOMPARE(m_window->controller()->Enabled, enabledBefore);
    QCOMPARE(m_window->RedTallyLED->FillColor(), kGrey);
    setExpanded(false);
}

QTEST_MAIN(TestWindowFace)
#include "TestWindowFace.moc"
