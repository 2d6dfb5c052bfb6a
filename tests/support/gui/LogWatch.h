// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QStringList>

class QListWidget;

// Watches the main window's on-screen log (newest row first) and gives the rows written since
// it started watching, oldest first, without their time. The time is taken from Clock::now(),
// which the tests fix, so a row whose time part differs keeps it and shows up in a mismatch.
class LogWatch
{
public:
    explicit LogWatch(const QListWidget *log);

    QStringList added() const;
    void restart();

    static QString textOf(const QString &row);

private:
    const QListWidget *m_log;
    int m_start = 0;
};
