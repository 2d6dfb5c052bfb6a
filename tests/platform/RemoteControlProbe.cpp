// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// A small program that starts the remote control the way the application does, says on
// standard output whether it started, keeps its event loop running for a moment and ends
// normally. Its standard error carries what went to the system log.
#include "core/platform/RemoteControl.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    RemoteControl remote;
    const bool started = remote.start([](const QString &, const QString &) { return true; });
    QTextStream out(stdout);
    out << (started ? "started: yes" : "started: no") << Qt::endl;
    QTimer::singleShot(200, &app, [&out] {
        out << "still running" << Qt::endl;
        QCoreApplication::quit();
    });
    return app.exec();
}
