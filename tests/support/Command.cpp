// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/Command.h"

#include <QProcess>

namespace Command {

bool run(const QString &program, const QStringList &arguments, QString *output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        if (output)
            *output = process.errorString();
        return false;
    }
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(3000);
    }
    if (output)
        *output = QString::fromUtf8(process.readAll()).trimmed();
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace Command
