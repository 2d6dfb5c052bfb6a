// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QDateTime>
#include <QStringList>

class QListWidget;

// Watches the main window's on-screen log (newest row first) and gives the rows written since
// it started watching, oldest first, without their time. The time is the one the test's clock
// gives, so a row whose time part differs keeps it and shows up in a mismatch.
class LogWatch
{
public:
    LogWatch(const QListWidget *log, const QDateTime &now);

    QStringList added() const;
    void restart();

    static QString textOf(const QString &row, const QDateTime &now);

private:
    const QListWidget *m_log;
    QDateTime m_now;
    int m_start = 0;
};
