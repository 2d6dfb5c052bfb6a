// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "Application.h"

#include "ErrorReport.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {
Application *s_instance = nullptr;
}

Application::Application()
{
    s_instance = this;
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
        if (m_autoQuit)
            Quit(0);
    });
    TerminationSignals::install(this, [this] {
        if (!m_quitRequested)
            m_quitBySignal = true;
        Quit(0);
    });
}

Application::~Application()
{
    if (s_instance == this)
        s_instance = nullptr;
}

Application *Application::instance()
{
    return s_instance;
}

QString Application::ExecutableFile() const
{
    return QCoreApplication::applicationFilePath();
}

void Application::Quit(int exitCode)
{
    if (m_quitRequested)
        return;
    m_quitRequested = true;
    // Queued, so that the handler asking to quit finishes first and a request made before the
    // event loop runs is not lost.
    QTimer::singleShot(0, this, [this, exitCode] { finishQuit(exitCode); });
}

void Application::finishQuit(int exitCode)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        QPointer<QWidget> guard(window);
        if (guard && guard->isWindow() && (guard->isVisible() || guard->testAttribute(Qt::WA_DeleteOnClose)))
            ErrorReport::guarded("Window close", [&] { guard->close(); });
    }
    ErrorReport::guarded("Application Close", [this] { Event_Close(); });
    QCoreApplication::exit(exitCode);
}

int Application::run()
{
    bool opened = false;
    ErrorReport::guarded("Application Open", [&] {
        Event_Open();
        opened = true;
    });
    (void)opened;
    ErrorReport::guarded("Late start-up", [this] { lateStartup(); });
    return QApplication::exec();
}
