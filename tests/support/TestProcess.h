// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// The built program run as an operator would run it: offscreen, with a HOME (and
// configuration folder) of its own in a temporary folder, so it never sees the real user's
// settings. Gives the places the program reads and writes and a bounded wait on its daily log.
class TestProcess
{
public:
    // The executable defaults to the bundle in $BRENVALE_BUILD_DIR.
    TestProcess();
    ~TestProcess();

    bool isValid() const { return m_home.isValid(); }

    static QString defaultExecutable();
    void setExecutable(const QString &path) { m_executable = path; }
    const QString &executable() const { return m_executable; }

    // Extra variables for the child; HOME, XDG_CONFIG_HOME and QT_QPA_PLATFORM are already set
    // and no session bus is inherited.
    QProcessEnvironment &environment() { return m_environment; }

    QString home() const { return m_home.path(); }
    QString configHome() const;
    // <config>/Brenvale/Brenvale.prefs
    QString preferencesFile() const;
    // The default log folder the first start stores, with its trailing "/".
    QString defaultLogFolder() const;

    // Creates the default log folder; the program itself never creates it.
    bool createLogFolder() const;
    // Writes the preferences file (making its folder) before the start.
    bool writePreferences(const QByteArray &content) const;
    QByteArray readPreferences() const;

    // Every daily log file in folder (default: the default log folder), oldest date first,
    // joined, so a run that crosses midnight reads as one log.
    QByteArray dailyLog(const QString &folder = QString()) const;
    // Polls the daily log until it holds text; false when timeoutMs passes or the program ends.
    bool waitForDailyLog(const QByteArray &text, int timeoutMs = 15000, const QString &folder = QString());

    bool start();
    // SIGTERM, then waits for the exit; false when the program is still running after
    // timeoutMs (it is then killed).
    bool terminate(int timeoutMs = 15000);
    QProcess &process() { return m_process; }
    // Everything the program wrote to standard error so far.
    QByteArray standardError();

private:
    QTemporaryDir m_home;
    QString m_executable;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QByteArray m_stderr;
};
