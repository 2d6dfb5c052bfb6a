// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/ScriptRunner.h"

#include "core/platform/Exceptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace ScriptRunner {
namespace {

std::vector<std::string> copyOfEnvironment()
{
    std::vector<std::string> copy;
    for (char **entry = environ; entry && *entry; ++entry)
        copy.emplace_back(*entry);
    return copy;
}

// The environment as the program was started with it, copied while static objects are built,
// before main sets anything for the program itself. Scripts get this one.
const std::vector<std::string> startEnvironment = copyOfEnvironment();

// Started scripts are children of the program until they end; an ended one stays a zombie
// until it is waited for. They are collected after every start and twice a second while any
// is left, without ever waiting on one that still runs.
QList<pid_t> &unreaped()
{
    static QList<pid_t> pids;
    return pids;
}

void reapEnded()
{
    QList<pid_t> &pids = unreaped();
    pids.removeIf([](pid_t pid) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    });
}

void watchChild(pid_t pid)
{
    static QPointer<QTimer> timer;
    unreaped().append(pid);
    reapEnded();
    if (unreaped().isEmpty() || !QCoreApplication::instance())
        return;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setInterval(500);
        QObject::connect(timer, &QTimer::timeout, timer, [] {
            reapEnded();
            if (unreaped().isEmpty())
                timer->stop();
        });
    }
    if (!timer->isActive())
        timer->start();
}

[[noreturn]] void cannotRun(const QString &path, const QString &why)
{
    throw RuntimeException(QStringLiteral("Cannot run script %1: %2").arg(path, why));
}

// Starts argv[0] (a path) as a child of the program. Gives 0 and the child's id, or the errno
// value of the failed start.
int spawn(const QStringList &argv, pid_t *pid)
{
    QList<QByteArray> encoded;
    encoded.reserve(argv.size());
    for (const QString &arg : argv)
        encoded.append(QFile::encodeName(arg));
    std::vector<char *> argPointers;
    argPointers.reserve(encoded.size() + 1);
    for (QByteArray &arg : encoded)
        argPointers.push_back(arg.data());
    argPointers.push_back(nullptr);
    std::vector<char *> environmentPointers;
    environmentPointers.reserve(startEnvironment.size() + 1);
    for (const std::string &entry : startEnvironment)
        environmentPointers.push_back(const_cast<char *>(entry.c_str()));
    environmentPointers.push_back(nullptr);

    // posix_spawn lets the child share the parent's memory until its exec, so the program
    // pauses only for the exec itself, not for copying itself as fork would, and a failed exec
    // (a bad #! line, no permission) comes back as the result. The child gets a session of its
    // own, so a signal to the program's process group does not reach it, stdin from the null
    // device, so it never waits on the terminal, every signal at its default (not the SIGPIPE
    // the program ignores, nor a SIGHUP ignored under nohup), and no descriptor above standard
    // error: a socket or pipe of the program left open in the child would keep a connection
    // alive after its end, or let the child write into the program's own pipes.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(
        &attributes, static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));

    const int error = ::posix_spawn(
        pid, argPointers.front(), &actions, &attributes, argPointers.data(), environmentPointers.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0)
        watchChild(*pid);
    return error;
}

} // namespace

qint64 runScript(const QString &scriptFile, const QStringList &args)
{
    if (scriptFile.isEmpty())
        throw RuntimeException(QStringLiteral("Cannot run script: no file given"));

    const QFileInfo info(scriptFile);
    // An absolute path keeps the start from looking a bare file name up on the PATH.
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        cannotRun(path, QStringLiteral("no such file"));
    if (info.isDir())
        cannotRun(path, QStringLiteral("it is a folder"));

    QStringList argv;
    const QString osascript = QStandardPaths::findExecutable(QStringLiteral("osascript"));
    if (!osascript.isEmpty()) {
        argv = QStringList {osascript, path} + args;
    } else {
        if (!info.isExecutable())
            cannotRun(path, QStringLiteral("the file is not executable"));
        argv = QStringList {path} + args;
    }

    pid_t pid = 0;
    if (const int error = spawn(argv, &pid); error != 0)
        cannotRun(path, QString::fromLocal8Bit(std::strerror(error)));
    return pid;
}

qint64 startProgram(const QString &program, const QStringList &args)
{
    pid_t pid = 0;
    if (const int error = spawn(QStringList {program} + args, &pid); error != 0)
        throw RuntimeException(
            QStringLiteral("Cannot run %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(error))));
    return pid;
}

bool isAlive(qint64 pid)
{
    reapEnded();
    return unreaped().contains(static_cast<pid_t>(pid));
}

} // namespace ScriptRunner
