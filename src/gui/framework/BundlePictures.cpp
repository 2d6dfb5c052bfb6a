// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/BundlePictures.h"

#include "core/platform/Bundle.h"

#include <QFileInfo>

namespace BundlePictures {

QPixmap loadBundlePicture(const QString &resourceName)
{
    // A name with a path separator would reach outside the resources folder.
    if (resourceName.isEmpty() || resourceName.contains(QLatin1Char('/')))
        return QPixmap();

    const QString file
        = Bundle::contentsFolder() + QStringLiteral("/Resources/") + resourceName + QStringLiteral(".png");
    if (!QFileInfo(file).isFile())
        return QPixmap();

    QPixmap picture;
    if (!picture.load(file, "PNG"))
        return QPixmap();
    return picture;
}

} // namespace BundlePictures
