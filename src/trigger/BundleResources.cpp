// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "BundleResources.h"

#include "BundlePictures.h"
#include "ScriptRunner.h"

#include <QStringList>

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

void Play(const QVariantList &args)
{
    QStringList scriptArgs;
    scriptArgs.reserve(args.size());
    for (const QVariant &arg : args)
        scriptArgs.append(arg.toString());
    ScriptRunner::runScript(BundlePictures::bundleContentsFolder() + QStringLiteral("/Resources/Play.scpt"), scriptArgs);
}
