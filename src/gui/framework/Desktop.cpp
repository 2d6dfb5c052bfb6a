// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Desktop.h"

#include "core/platform/Exceptions.h"
#include "core/platform/ScriptRunner.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>

namespace Desktop {

void openFolder(const QString &posixPath)
{
    if (posixPath.isEmpty())
        throw IOException(QStringLiteral("Cannot open an empty path"), ENOENT);

    const QFileInfo info(posixPath);
    if (!info.exists())
        throw IOException(QStringLiteral("Cannot open %1: no such file or folder").arg(posixPath), ENOENT);

    // A file URL must be absolute; fromLocalFile leaves a relative path relative.
    const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    // The desktop's opener is started as the playout script is, not as a child of the toolkit:
    // it gets no descriptor of ours, the environment we were started with and every signal at
    // its default, so the file browser it starts is not born with our ignored SIGPIPE.
    const IOException refused(QStringLiteral("Cannot open %1: the desktop could not open it").arg(posixPath), EIO);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        throw refused;
    try {
        ScriptRunner::startProgram(opener, {QString::fromLatin1(url.toEncoded())});
    } catch (const RuntimeException &) {
        throw refused;
    }
}

void showURL(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace Desktop
