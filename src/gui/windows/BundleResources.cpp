// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/windows/BundleResources.h"

#include "gui/framework/BundlePictures.h"

namespace {
QPixmap fromSlot(QPixmap &slot, const QString &resourceName)
{
    if (slot.isNull())
        slot = BundlePictures::loadBundlePicture(resourceName);
    return slot;
}
} // namespace

QPixmap AppStrap()
{
    static QPixmap slot;
    return fromSlot(slot, QStringLiteral("AppStrap"));
}

QPixmap buttonBD()
{
    static QPixmap slot;
    return fromSlot(slot, QStringLiteral("buttonBD"));
}

QPixmap pixl1x()
{
    static QPixmap slot;
    return fromSlot(slot, QStringLiteral("pixl1x"));
}
