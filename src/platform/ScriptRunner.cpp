// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "ScriptRunner.h"

#include "Exceptions.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ScriptRunner {

void runScript(const QString &scriptFile, const QStringList &args)
{
    if (scriptFile.isEmpty())
        throw RuntimeException(QStringLiteral("Cannot run script: no file given"));

    const QFileInfo info(scriptFile);
    // An absolute path keeps QProcess from looking a bare file name up on the PATH.
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        throw RuntimeException(QStringLiteral("Cannot run script %1: no such file").arg(path));
    if (info.isDir())
        throw RuntimeException(QStringLiteral("Cannot run script %1: it is a folder").arg(path));

    QProcess process;
    const QString osascript = QStandardPaths::findExecutable(QStringLiteral("osascript"));
    if (!osascript.isEmpty()) {
        process.setProgram(osascript);
        process.setArguments(QStringList{path} + args);
    } else {
        if (!info.isExecutable())
            throw RuntimeException(QStringLiteral("Cannot run script %1: the file is not executable").arg(path));
        process.setProgram(path);
        process.setArguments(args);
    }
    // The script must not wait on the terminal the program was started from.
    process.setStandardInputFile(QProcess::nullDevice());

    // startDetached reports a failed exec (bad #! line, permission denied) through its result.
    if (!process.startDetached())
        throw RuntimeException(QStringLiteral("Cannot run script %1: %2").arg(path, process.errorString()));
}

} // namespace ScriptRunner
