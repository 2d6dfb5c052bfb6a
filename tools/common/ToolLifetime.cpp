// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "ToolLifetime.h"

#include "ToolArgs.h"
#include "ToolOutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>

namespace {

volatile std::sig_atomic_t g_caughtSignal = 0;

extern "C" void onSignal(int signalNumber)
{
    g_caughtSignal = signalNumber;
}

const QString quitAfterOption = QStringLiteral("quit-after");

} // namespace

ToolLifetime::ToolLifetime(QObject *parent) : QObject(parent)
{
    m_signalWatch.setInterval(20);
    connect(&m_signalWatch, &QTimer::timeout, this, &ToolLifetime::checkSignal);
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [] {
        ToolOutput::status(QStringLiteral("time is up, quitting"));
        QCoreApplication::quit();
    });
}

void ToolLifetime::addOptions(QCommandLineParser &parser)
{
    parser.addOption(
        {quitAfterOption, QStringLiteral("Quit after <seconds> (fractions allowed)."), QStringLiteral("seconds")});
}

void ToolLifetime::start(const QCommandLineParser &parser)
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    m_signalWatch.start();
    if (parser.isSet(quitAfterOption)) {
        const double seconds = ToolArgs::number(parser, quitAfterOption, 0.0, 86400.0 * 365);
        m_hasDeadline = true;
        m_deadline.start(static_cast<int>(seconds * 1000.0 + 0.5));
    }
}

void ToolLifetime::checkSignal()
{
    if (g_caughtSignal == 0)
        return;
    ToolOutput::status(QStringLiteral("signal %1, quitting").arg(static_cast<int>(g_caughtSignal)));
    g_caughtSignal = 0;
    QCoreApplication::quit();
}
