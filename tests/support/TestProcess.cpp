// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/TestProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

TestProcess::TestProcess() : m_executable(defaultExecutable()), m_environment(QProcessEnvironment::systemEnvironment())
{
    m_environment.insert(QStringLiteral("HOME"), home());
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Folders of the real user that would otherwise leak in through the XDG variables.
    for (const char *name :
        {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"})
        m_environment.remove(QString::fromLatin1(name));
}

TestProcess::~TestProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString TestProcess::defaultExecutable()
{
    return qEnvironmentVariable("BRENVALE_BUILD_DIR") + QStringLiteral("/Brenvale.app/Contents/MacOS/Brenvale");
}

QString TestProcess::configHome() const
{
    return home() + QStringLiteral("/.config");
}

QString TestProcess::preferencesFile() const
{
    return configHome() + QStringLiteral("/Brenvale/Brenvale.prefs");
}

QString TestProcess::defaultLogFolder() const
{
    return home() + QStringLiteral("/Documents/OnTheAir Video Logs/");
}

bool TestProcess::createLogFolder() const
{
    return QDir().mkpath(defaultLogFolder());
}

bool TestProcess::writePreferences(const QByteArray &content) const
{
    if (!QDir().mkpath(QFileInfo(preferencesFile()).path()))
        return false;
    QFile file(preferencesFile());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray TestProcess::readPreferences() const
{
    QFile file(preferencesFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray TestProcess::dailyLog(const QString &folder) const
{
    const QDir dir(folder.isEmpty() ? defaultLogFolder() : folder);
    QByteArray all;
    const QStringList names = dir.entryList({QStringLiteral("OnTheAirVideo Log *.txt")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

bool TestProcess::waitForDailyLog(const QByteArray &text, int timeoutMs, const QString &folder)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (dailyLog(folder).contains(text))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return dailyLog(folder).contains(text);
        m_process.waitForFinished(50);
    }
    return dailyLog(folder).contains(text);
}

bool TestProcess::start()
{
    m_process.setProcessEnvironment(m_environment);
    m_process.setProgram(m_executable);
    m_process.setArguments({});
    m_process.setWorkingDirectory(home());
    m_process.start();
    return m_process.waitForStarted(10000);
}

bool TestProcess::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (m_process.waitForFinished(timeoutMs))
        return true;
    m_process.kill();
    m_process.waitForFinished(5000);
    return false;
}

QByteArray TestProcess::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}
