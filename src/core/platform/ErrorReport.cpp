// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/ErrorReport.h"

#include "core/platform/DebugLog.h"
#include "core/platform/Exceptions.h"

namespace ErrorReport {
namespace {
Observer &observer()
{
    static Observer instance;
    return instance;
}

void emitReport(const char *where, const QString &kind, const QString &message)
{
    DebugLog(QStringLiteral("Unhandled %1 in %2: %3").arg(kind, QString::fromUtf8(where), message));
    if (observer())
        observer()(QString::fromUtf8(where), kind, message);
}
} // namespace

void report(const char *where, const std::exception &error)
{
    if (const auto *framework = dynamic_cast<const FrameworkException *>(&error))
        emitReport(where, QString::fromUtf8(framework->kind()), framework->message());
    else
        emitReport(where, QStringLiteral("std::exception"), QString::fromUtf8(error.what()));
}

void reportUnknown(const char *where)
{
    emitReport(where, QStringLiteral("unknown"), QString());
}

void setObserver(Observer newObserver)
{
    observer() = std::move(newObserver);
}

} // namespace ErrorReport
