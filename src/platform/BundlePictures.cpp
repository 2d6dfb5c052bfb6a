// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "BundlePictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace BundlePictures {

QString bundleContentsFolder()
{
    // applicationFilePath() already has symbolic links resolved; MacOS is its folder and
    // Contents the folder above that.
    const QString executableFolder = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    return QDir::cleanPath(executableFolder + QStringLiteral("/.."));
}

QPixmap loadBundlePicture(const QString &resourceName)
{
    // A name with a path separator would reach outside the resources folder.
    if (resourceName.isEmpty() || resourceName.contains(QLatin1Char('/')))
        return QPixmap();

    const QString file = bundleContentsFolder() + QStringLiteral("/Resources/") + resourceName
        + QStringLiteral(".png");
    if (!QFileInfo(file).isFile())
        return QPixmap();

    QPixmap picture;
    if (!picture.load(file, "PNG"))
        return QPixmap();
    return picture;
}

} // namespace BundlePictures
