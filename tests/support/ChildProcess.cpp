// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/ChildProcess.h"

#include <QTest>

ChildProcess::ChildProcess(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] { collect(QProcess::StandardOutput); });
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] { collect(QProcess::StandardError); });
}

ChildProcess::~ChildProcess()
{
    stop(3000);
}

bool ChildProcess::start(
    const QString &netns, const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    if (netns.isEmpty()) {
        m_process.start(program, arguments);
    } else {
        m_process.start(QStringLiteral("ip"),
            QStringList {QStringLiteral("netns"), QStringLiteral("exec"), netns, program} + arguments);
    }
    return m_process.waitForStarted(10000);
}

bool ChildProcess::stop(int graceMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    m_process.terminate();
    bool quit = m_process.waitForFinished(graceMs);
    if (!quit) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    collect(QProcess::StandardOutput);
    collect(QProcess::StandardError);
    return quit && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool ChildProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

void ChildProcess::collect(QProcess::ProcessChannel channel)
{
    m_process.setReadChannel(channel);
    const bool isOut = channel == QProcess::StandardOutput;
    QByteArray &pending = isOut ? m_pendingOut : m_pendingErr;
    QStringList &lines = isOut ? m_out : m_err;
    pending += m_process.readAll();
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        lines.append(QString::fromUtf8(pending.left(end)));
        pending.remove(0, end + 1);
    }
}

qsizetype ChildProcess::count(const QString &needle) const
{
    return m_out.filter(needle).size();
}

qsizetype ChildProcess::errorCount(const QString &needle) const
{
    return m_err.filter(needle).size();
}

bool ChildProcess::waitFor(const QString &needle, qsizetype atLeast, int timeoutMs)
{
    return QTest::qWaitFor([&] { return count(needle) >= atLeast || !isRunning(); }, timeoutMs)
        && count(needle) >= atLeast;
}

bool ChildProcess::waitForError(const QString &needle, qsizetype atLeast, int timeoutMs)
{
    return QTest::qWaitFor([&] { return errorCount(needle) >= atLeast || !isRunning(); }, timeoutMs)
        && errorCount(needle) >= atLeast;
}

bool ChildProcess::waitUntilListening(int timeoutMs)
{
    return waitForError(QStringLiteral("listening on"), 1, timeoutMs);
}

QString ChildProcess::tail(int lines) const
{
    QString text = m_name + QStringLiteral(" (") + (isRunning() ? QStringLiteral("running") : QStringLiteral("ended"))
        + QStringLiteral(")\n  stdout:");
    for (const QString &line : m_out.mid(qMax<qsizetype>(0, m_out.size() - lines)))
        text += QStringLiteral("\n    ") + line;
    text += QStringLiteral("\n  stderr:");
    for (const QString &line : m_err.mid(qMax<qsizetype>(0, m_err.size() - lines)))
        text += QStringLiteral("\n    ") + line;
    return text;
}
