// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/Playout.h"

#include "core/platform/Bundle.h"
#include "core/platform/ScriptRunner.h"

#include <QStringList>

qint64 Play(const QVariantList &args)
{
    QStringList scriptArgs;
    scriptArgs.reserve(args.size());
    for (const QVariant &arg : args)
        scriptArgs.append(arg.toString());
    return ScriptRunner::runScript(Bundle::contentsFolder() + QStringLiteral("/Resources/Play.scpt"), scriptArgs);
}
