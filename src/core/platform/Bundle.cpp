// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Bundle {

QString contentsFolder()
{
    // applicationFilePath() already has symbolic links resolved; MacOS is its folder and
    // Contents the folder above that.
    const QString executableFolder = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    return QDir::cleanPath(executableFolder + QStringLiteral("/.."));
}

} // namespace Bundle
