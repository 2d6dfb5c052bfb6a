// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/UserFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace UserFolders {

QString applicationSupport()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString documents()
{
    QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty())
        path = QDir::homePath() + QStringLiteral("/Documents");
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace UserFolders
