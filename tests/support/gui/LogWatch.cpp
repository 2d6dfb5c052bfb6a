// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/gui/LogWatch.h"

#include "core/trigger/DailyLogFile.h"

#include <QListWidget>

LogWatch::LogWatch(const QListWidget *log, const QDateTime &now) : m_log(log), m_now(now)
{
    restart();
}

void LogWatch::restart()
{
    m_start = m_log->count();
}

QStringList LogWatch::added() const
{
    QStringList rows;
    for (int i = m_log->count() - m_start - 1; i >= 0; --i)
        rows.append(textOf(m_log->item(i)->text(), m_now));
    return rows;
}

QString LogWatch::textOf(const QString &row, const QDateTime &now)
{
    const QString prefix = DailyLogFile::screenRow(now, QString());
    return row.startsWith(prefix) ? row.mid(prefix.size()) : row;
}
