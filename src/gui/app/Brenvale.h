// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "gui/framework/Application.h"

class RemoteControl;

// The application object: start-up and shut-down, remote-control events and the menu
// commands.
class Brenvale : public Application
{
    Q_OBJECT
public:
    explicit Brenvale(Services services = {}, MsgBox::Responder boxAnswerer = {});
    ~Brenvale() override;

    static Brenvale *App();

    // A remote-control event: class "Bvrq" with the IDs "Rel0" to "Rel3" switches the keys.
    // Answers whether the event was handled.
    bool Event_HandleAppleEvent(const QString &eventClass, const QString &eventID);

    bool FileAbout_Action();
    bool FilePrefs_Action(int index);
    bool FileClose_Action();

    // Binds the menu items to the commands above by name.
    void applicationAddMenuHandlers();

protected:
    void Event_Open() override;
    void Event_Close() override;
    void lateStartup() override;

private:
    void makeDefaultView();

    RemoteControl *m_remoteControl = nullptr;
};
