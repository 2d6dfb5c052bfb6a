// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A program a test starts beside itself (the built program, a simulator, a bus), optionally
// inside a network namespace with `ip netns exec` (which execs the program, so the process is
// the program itself). Its standard output and error are kept line by line while the test's
// event loop runs. stop() and the destructor end it: SIGTERM first, SIGKILL when it does not go
// within the grace time.
class ChildProcess : public QObject
{
    Q_OBJECT
public:
    explicit ChildProcess(const QString &name, QObject *parent = nullptr);
    ~ChildProcess() override;

    // `netns` empty runs the program in the caller's namespace. Returns whether it started.
    bool start(const QString &netns, const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Ends the program; returns whether it quit on SIGTERM with exit code 0 within graceMs.
    bool stop(int graceMs = 5000);
    bool isRunning() const;
    // The process id of what was started (with a namespace, the program itself: `ip netns exec`
    // execs it).
    qint64 pid() const { return m_process.processId(); }
    // Whether it has ended by itself with exit code 0.
    bool exitedWithZero() const
    {
        return !isRunning() && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    const QString &name() const { return m_name; }
    const QStringList &lines() const { return m_out; }
    const QStringList &errorLines() const { return m_err; }
    // A position in standard output, and the lines that came after it.
    qsizetype mark() const { return m_out.size(); }
    QStringList linesSince(qsizetype mark) const { return m_out.mid(mark); }
    // Lines of standard output (or error) that contain `needle`.
    qsizetype count(const QString &needle) const;
    qsizetype errorCount(const QString &needle) const;
    // Waits, running the event loop, until at least `atLeast` lines of standard output (or
    // error) contain `needle`, the program ends or timeoutMs pass; returns whether it got there.
    bool waitFor(const QString &needle, qsizetype atLeast = 1, int timeoutMs = 10000);
    bool waitForError(const QString &needle, qsizetype atLeast = 1, int timeoutMs = 10000);
    // The simulators say "listening on ..." on standard error once their sockets are open.
    bool waitUntilListening(int timeoutMs = 10000);
    // The last lines of both streams, for failure messages.
    QString tail(int lines = 12) const;

private:
    void collect(QProcess::ProcessChannel channel);

    QString m_name;
    QProcess m_process;
    QByteArray m_pendingOut;
    QByteArray m_pendingErr;
    QStringList m_out;
    QStringList m_err;
};
