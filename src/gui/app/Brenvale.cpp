// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/app/Brenvale.h"

#include "core/platform/DebugLog.h"
#include "core/platform/Exceptions.h"
#include "core/platform/RemoteControl.h"
#include "core/platform/UserFolders.h"
#include "core/prefs/ModernPreferences.h"
#include "core/trigger/TriggerController.h"
#include "gui/app/bmNoNap.h"
#include "gui/framework/MsgBox.h"
#include "gui/windows/About.h"
#include "gui/windows/MainMenuBar.h"
#include "gui/windows/PrefsWindow.h"
#include "gui/windows/Window1.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {
struct RemoteKey
{
    const char *eventID;
    const char *logLine;
    const char *cmd;
    const char *key;
    int relayCode;
};
constexpr RemoteKey kRemoteKeys[] = {
    {"Rel0", "Rx AppleScript : Key 1 On", "play", "Key 1", 0},
    {"Rel1", "Rx AppleScript : Key 1 Off", "stop", "Key 1", 1},
    {"Rel2", "Rx AppleScript : Key 2 On", "play", "Key 2", 2},
    {"Rel3", "Rx AppleScript : Key 2 Off", "stop", "Key 2", 3},
};
} // namespace

Brenvale::Brenvale(Services services, MsgBox::Responder boxAnswerer)
    : Application(std::move(services), std::move(boxAnswerer))
{
    MajorVersion = 1;
    MinorVersion = 0;
    BugVersion = 0;
    NonReleaseVersion = 116;
    StageCode = 3;
    LongVersion = QStringLiteral("marsh lantern");
    ShortVersion = QStringLiteral("2");
    PackageInfo = QStringLiteral("Brenvale Control: TSL tally trigger for a video playout machine");
    MainMenuBar::instance();
}

Brenvale::~Brenvale() = default;

Brenvale *Brenvale::App()
{
    return qobject_cast<Brenvale *>(Application::instance());
}

void Brenvale::applicationAddMenuHandlers()
{
    MainMenuBar *menu = MainMenuBar::instance();
    menu->AddMenuHandler(QStringLiteral("FileAbout"), [this](int) { return FileAbout_Action(); });
    menu->AddMenuHandler(QStringLiteral("FilePrefs"), [this](int index) { return FilePrefs_Action(index); });
    menu->AddMenuHandler(QStringLiteral("FileClose"), [this](int) { return FileClose_Action(); });
}

void Brenvale::Event_Open()
{
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    auto &prefs = ModernPreferences::Preferences;
    bool loaded = false;
    try {
        loaded = prefs->Load();
    } catch (const IOException &error) {
        // The error goes on to the unhandled-error report (the system log); the operator, who
        // would otherwise only see empty settings, is told on screen too, once the main window
        // is up, so the box holds up neither the start nor a quit that comes first.
        const QString text = QStringLiteral("The preferences could not be read, and will not be saved while the "
                                            "program runs.\n\n%1")
                                 .arg(error.message());
        QTimer::singleShot(0, this, [this, text] {
            if (!isQuitting())
                MsgBox::show(text, boxAnswerer());
        });
        throw;
    }
    if (!loaded) {
        prefs[QStringLiteral("chrWorksIP")] = QStringLiteral("192.168.0.1");
        prefs[QStringLiteral("chrWorksIPBup")] = QStringLiteral("192.168.0.2");
        prefs[QStringLiteral("motion1Name")] = QStringLiteral("motion1");
        prefs[QStringLiteral("motion2Name")] = QStringLiteral("motion2");
        prefs[QStringLiteral("IPAddr")] = QStringLiteral("10.1.13.50");
        prefs[QStringLiteral("LogPath")] = UserFolders::documents() + QStringLiteral("/OnTheAir Video Logs/");
        prefs[QStringLiteral("VTid")] = QStringLiteral("1");
    }
    bmNoNap::token = bmNoNap::NSProcessInfo::processInfo()->beginActivityWithOptions(
        0xEFFFFF, QStringLiteral("Allowing my app to process in the background!"));
    setAutoQuit(true);
}

void Brenvale::lateStartup()
{
    makeDefaultView();
    // An instance that already quits has no use for the remote control, and a second one on
    // this host must not take its name on the bus from the first.
    if (isQuitting())
        return;
    m_remoteControl = new RemoteControl(this);
    const auto handle = [this](const QString &eventClass, const QString &eventID) {
        return Event_HandleAppleEvent(eventClass, eventID);
    };
    m_remoteControl->start(handle, "Brenvale.HandleAppleEvent");
}

void Brenvale::makeDefaultView()
{
    Window1::instance();
}

void Brenvale::Event_Close()
{
    // Standing down, this instance has changed nothing (the bind failure's box is modal and
    // the quit follows the Open event), and the file it loaded may be another instance's, which
    // has saved since: writing the values read at start would undo that.
    if (!ModernPreferences::Preferences || isStandingDown())
        return;
    if (ModernPreferences::Preferences->Save())
        return;
    // Stopped by a signal (a service manager, a logout), no one may be there to dismiss a box
    // and the process would never end: the failure goes to the system log instead.
    if (quitBySignal())
        DebugLog(QStringLiteral("Could not save preferences."));
    else
        MsgBox::show(QStringLiteral("Could not save preferences."), boxAnswerer());
}

bool Brenvale::Event_HandleAppleEvent(const QString &eventClass, const QString &eventID)
{
    if (eventClass != QLatin1String("Bvrq"))
        return false;
    for (const RemoteKey &remote : kRemoteKeys) {
        if (eventID != QLatin1String(remote.eventID))
            continue;
        // Each step goes to the main window open at that moment: one the step before closed
        // is made again.
        if (Window1 *window = Window1::instance())
            window->controller()->LogCommand(QString::fromLatin1(remote.logLine));
        if (Window1 *window = Window1::instance())
            window->controller()->chrWorksCommand(QString::fromLatin1(remote.cmd), QString::fromLatin1(remote.key));
        if (Window1 *window = Window1::instance())
            window->controller()->SendMessage(remote.relayCode);
        return true;
    }
    if (Window1 *window = Window1::instance())
        window->controller()->LogCommand(QStringLiteral("Error Malformed Applescript!"));
    return false;
}

bool Brenvale::FileAbout_Action()
{
    About *about = About::instance();
    about->centreOnMainScreen();
    about->show();
    about->raise();
    about->activateWindow();
    about->versionLabel->setText(QStringLiteral("v %1.%2").arg(MinorVersion).arg(NonReleaseVersion));
    return true;
}

bool Brenvale::FilePrefs_Action(int)
{
    PrefsWindow *prefs = PrefsWindow::instance();
    prefs->show();
    prefs->raise();
    prefs->activateWindow();
    return true;
}

bool Brenvale::FileClose_Action()
{
    // The front window: the active one, else the topmost visible window.
    QWidget *front = QApplication::activeWindow();
    if (!front) {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (window->isVisible() && qobject_cast<Window *>(window)) {
                front = window;
                break;
            }
        }
    }
    if (front)
        front->close();
    return true;
}
