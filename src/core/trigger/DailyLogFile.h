// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The playout application's daily log: one file per local date in the log folder, one
// tab-separated line per event. Everything of one line (its file name, date, time and weekday)
// comes from the single clock reading the object is made from.
class DailyLogFile
{
public:
    explicit DailyLogFile(const QDateTime &when);

    // YYYY-MM-DD of the local date.
    const QString &date() const { return m_date; }
    // "Sunday" ... "Saturday", in English whatever the system language.
    const QString &weekdayName() const { return m_weekday; }
    // The time of day in the system's long time format.
    const QString &longTime() const { return m_longTime; }

    // "OnTheAirVideo Log YYYY-MM-DD.txt"
    QString fileName() const;
    // The folder text directly followed by the file name: the folder must end with "/".
    QString path(const QString &folder) const;

    // TAB date TAB time TAB weekday TAB ********** TAB msg " on VT " vtId CR LF, as UTF-8.
    // msg and vtId are written escaped (OutsideText::escaped) so that one event stays one line.
    QByteArray line(const QString &msg, const QString &vtId) const;

    // Appends the line to the day's file, creating the file but never the folder. Succeeds
    // when the whole line was written; every failure (unusable folder text, missing folder, no
    // permission, full disk, something other than a regular file at the path, a symbolic link
    // among them) gives its reason.
    Result<> append(const QString &folder, const QString &msg, const QString &vtId) const;

    // The size in bytes of the day's file in `folder`; 0 when there is none.
    qint64 size(const QString &folder) const;

    // A folder text from which a file path can be made at all: not empty and absolute.
    static bool isUsableFolder(const QString &folder);

    // The system's long time format applied to when.
    static QString longTimeText(const QDateTime &when);
    // The on-screen log's row: long time + " : " + msg, msg escaped as in the daily log.
    static QString screenRow(const QDateTime &when, const QString &msg);

private:
    QString m_date;
    QString m_weekday;
    QString m_longTime;
};
