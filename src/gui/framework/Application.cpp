// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Application.h"

#include "core/platform/ErrorReport.h"
#include "core/platform/HttpClient.h"
#include "core/platform/TerminationSignals.h"
#include "gui/framework/MsgBox.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {
Application *s_instance = nullptr;
}

Application::Application(Services services, MsgBox::Responder boxAnswerer)
    : m_services(std::move(services)), m_boxAnswerer(std::move(boxAnswerer))
{
    const Services system = Services::system(m_services.http ? m_services.http.data() : new HttpClient(this));
    if (!m_services.clock)
        m_services.clock = system.clock;
    if (!m_services.monotonicMs)
        m_services.monotonicMs = system.monotonicMs;
    if (!m_services.network.interfaceCount)
        m_services.network.interfaceCount = system.network.interfaceCount;
    // The host's fresh list and its news of changes go with the host's own list: a view of the
    // network that the caller gave is not read past.
    if (!m_services.network.ipv4Addresses) {
        m_services.network.ipv4Addresses = system.network.ipv4Addresses;
        if (!m_services.network.freshIPv4Addresses)
            m_services.network.freshIPv4Addresses = system.network.freshIPv4Addresses;
        if (!m_services.network.watchChanges)
            m_services.network.watchChanges = system.network.watchChanges;
    }
    m_services.http = system.http;
    s_instance = this;
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
        if (m_autoQuit)
            Quit(0);
    });
    TerminationSignals::install(this, [this] {
        // Boxes opened after the first signal are answered by nobody, so a burst of signals
        // dismisses and logs each box once.
        if (m_quitBySignal)
            return;
        m_quitBySignal = true;
        MsgBox::dismissOpen();
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

MsgBox::Responder Application::currentBoxAnswerer()
{
    return s_instance ? s_instance->m_boxAnswerer : MsgBox::Responder();
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
    m_exitCode = exitCode;
    // Queued, so that the handler asking to quit finishes first; during start-up run() queues
    // it once the main event loop is about to run.
    if (!m_starting)
        scheduleQuit(0);
}

void Application::StandDown(int exitCode)
{
    m_standingDown = true;
    Quit(exitCode);
}

void Application::scheduleQuit(int delayMs)
{
    QTimer::singleShot(delayMs, this, [this] { finishQuit(); });
}

void Application::finishQuit()
{
    // Carried out inside a box's loop, the Close events would run in the middle of the handler
    // that opened the box, and ending the event loop there would end only the box's.
    if (MsgBox::isOpen()) {
        scheduleQuit(10);
        return;
    }
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        QPointer<QWidget> guard(window);
        if (guard && guard->isWindow() && (guard->isVisible() || guard->testAttribute(Qt::WA_DeleteOnClose)))
            guard->close(); // a window guards its own Close event
    }
    ErrorReport::guarded("Application Close", [this] { Event_Close(); });
    QCoreApplication::exit(m_exitCode);
}

int Application::run()
{
    m_starting = true;
    ErrorReport::guarded("Application Open", [this] { Event_Open(); });
    ErrorReport::guarded("Late start-up", [this] { lateStartup(); });
    m_starting = false;
    if (m_quitRequested)
        scheduleQuit(0);
    return QApplication::exec();
}
