// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

// One of the simulators (relay box, graphics server) running as a child process. Its events
// (one line each on standard output) are collected as they come; its status lines on standard
// error tell when it is listening.
class ToolProcess : public QObject
{
    Q_OBJECT
public:
    ToolProcess(const QString &program, const QStringList &arguments, QObject *parent = nullptr);
    ~ToolProcess() override;

    // Waits until the tool reports "listening on"; false when it ended or did not get there.
    bool waitUntilListening(int timeoutMs);

    const QStringList &lines() const { return m_lines; }
    qsizetype mark() const { return m_lines.size(); }
    QStringList linesSince(qsizetype mark) const { return m_lines.mid(mark); }
    // What the tool wrote on standard error so far, for failure messages.
    const QString &statusText() const { return m_status; }

private:
    void readEvents();
    void readStatus();

    QProcess m_process;
    QStringList m_lines;
    QByteArray m_partial;
    QString m_status;
};
