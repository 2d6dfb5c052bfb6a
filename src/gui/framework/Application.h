// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Services.h"
#include "gui/framework/MsgBox.h"

#include <QObject>
#include <QString>

// The framework's application object: version data, quit-after-last-window and the orderly
// quit. Quit closes every window first (each runs its Close event), then raises the
// application's Close event, then ends the event loop. The quit is carried out from the main
// event loop once no message box is open: one asked for during start-up (in a box's loop, or
// before the loop runs) waits until the Open event and the late start-up have finished.
// SIGTERM, SIGINT and SIGHUP dismiss any open box and quit the same way; the first one does it,
// the ones after it find nothing more to do.
class Application : public QObject
{
    Q_OBJECT
public:
    // The services the program's parts work with; those not given are the system's, with a
    // client of the application's own for HTTP. The boxes of the program go to boxAnswerer:
    // empty, they are shown on screen.
    explicit Application(Services services = {}, MsgBox::Responder boxAnswerer = {});
    ~Application() override;

    static Application *instance();

    int MajorVersion = 0;
    int MinorVersion = 0;
    int BugVersion = 0;
    int NonReleaseVersion = 0;
    int StageCode = 0;
    QString LongVersion;
    QString ShortVersion;
    QString PackageInfo;

    bool AutoQuit() const { return m_autoQuit; }
    void setAutoQuit(bool on) { m_autoQuit = on; }

    void Quit(int exitCode = 0);
    // Quit for an instance that finds its place on this host taken at start-up: its Close
    // event must leave state that the running instance shares (the preferences file) alone.
    void StandDown(int exitCode = 0);
    bool isQuitting() const { return m_quitRequested; }
    bool isStandingDown() const { return m_standingDown; }
    // True once SIGTERM, SIGINT or SIGHUP asked to quit: nobody may be there to answer a box.
    bool quitBySignal() const { return m_quitBySignal; }

    const Services &services() const { return m_services; }
    const MsgBox::Responder &boxAnswerer() const { return m_boxAnswerer; }
    // The box answerer of the running application; empty without one.
    static MsgBox::Responder currentBoxAnswerer();

    // The location of the program's own executable file.
    QString ExecutableFile() const;

    // Runs the Open event, then the late start-up hook, then the event loop until quit.
    int run();

protected:
    virtual void Event_Open() { }
    virtual void Event_Close() { }
    virtual void lateStartup() { }

private:
    void scheduleQuit(int delayMs);
    void finishQuit();

    Services m_services;
    MsgBox::Responder m_boxAnswerer;
    bool m_autoQuit = false;
    bool m_starting = false;
    bool m_quitRequested = false;
    bool m_quitBySignal = false;
    bool m_standingDown = false;
    int m_exitCode = 0;
};
