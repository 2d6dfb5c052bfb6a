// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

// One installation of the built program for an end-to-end test, in a temporary folder of its
// own: a copy of the bundle whose Play.scpt appends a line to a marker file, a HOME with the
// preferences file written before the start and a log folder for the daily log files.
class E2eProgram
{
public:
    // `bundle` is the built Brenvale.app.
    explicit E2eProgram(const QString &bundle = builtBundle());

    // The build folder (BRENVALE_BUILD_DIR), its Brenvale.app and one of its simulators.
    static QString buildDir();
    static QString builtBundle();
    static QString tool(const QString &name);

    // Copies the bundle and writes the preferences; "LogPath" defaults to logFolder().
    bool prepare(const QVariantMap &preferences);
    const QString &errorString() const { return m_error; }

    QString executable() const;
    QString home() const;
    // The log folder, ending in "/", as the program wants it.
    QString logFolder() const;
    QString preferencesFile() const;
    // XDG_RUNTIME_DIR of the program, private to it as Qt wants.
    QString runtimeFolder() const;

    // Offscreen, this HOME and runtime folder, no display, and the session bus at `busAddress` (a bus that is not
    // there when empty, so the program never reaches the caller's own bus).
    QProcessEnvironment environment(const QString &busAddress = {}) const;

    // The message field of every daily log line so far (all dates), e.g.
    // "Tally Red On on VT 1", in file order.
    QStringList dailyLogMessages() const;
    qsizetype dailyLogCount(const QString &message) const;
    // Whole daily log lines that are not of the program's line form (for failure messages).
    QStringList malformedDailyLogLines() const;
    // One line per playout start.
    QStringList playStarts() const;
    // The preferences file as the program last saved it.
    QVariantMap savedPreferences() const;

private:
    QString m_bundle;
    QTemporaryDir m_dir;
    QString m_error;
};
