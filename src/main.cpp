// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/DebugLog.h"
#include "core/platform/HttpClient.h"
#include "core/platform/Services.h"
#include "gui/app/Brenvale.h"
#include "gui/app/FileTypes1.h"
#include "gui/framework/GuardedApplication.h"

int main(int argc, char *argv[])
{
    // Qt's own event loop rather than GLib's: it wakes for the 10 ms tally poll at less cost.
    // The setting is this process's own: the playout script gets the environment as it was
    // before it (ScriptRunner keeps a copy made before main).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    GuardedApplication application(argc, argv);
    routeToolkitMessages();
    QApplication::setApplicationName(QStringLiteral("Brenvale"));
    FileTypes1::initialize();
    // The clock, the host's interfaces and the HTTP client the program works with, handed in
    // once here. The client ends before the application object, while the event loop it
    // works with is still there, and after everything that starts requests.
    HttpClient http;
    Brenvale app(Services::system(&http));
    app.applicationAddMenuHandlers();
    return app.run();
}
