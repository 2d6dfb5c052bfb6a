// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Desktop.h"

#include "core/platform/Exceptions.h"

#include <QDesktopServices>
#include <QFileInfo>
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
    if (!QDesktopServices::openUrl(url))
        throw IOException(QStringLiteral("Cannot open %1: the desktop could not open it").arg(posixPath), EIO);
}

void showURL(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace Desktop
