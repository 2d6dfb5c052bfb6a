// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/ToolProcess.h"

#include <QTest>

ToolProcess::ToolProcess(const QString &program, const QStringList &arguments, QObject *parent) : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ToolProcess::readEvents);
    connect(&m_process, &QProcess::readyReadStandardError, this, &ToolProcess::readStatus);
    m_process.start(program, arguments);
}

ToolProcess::~ToolProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool ToolProcess::waitUntilListening(int timeoutMs)
{
    return QTest::qWaitFor(
               [this] {
                   return m_status.contains(QLatin1String("listening on")) || m_process.state() == QProcess::NotRunning;
               },
               timeoutMs)
           && m_status.contains(QLatin1String("listening on"));
}

void ToolProcess::readEvents()
{
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_partial.left(end)));
        m_partial.remove(0, end + 1);
    }
}

void ToolProcess::readStatus()
{
    m_status += QString::fromUtf8(m_process.readAllStandardError());
}
