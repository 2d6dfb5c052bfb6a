// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/DebugLog.h"

#include "core/platform/OutsideText.h"
#include "core/platform/SystemLogSink.h"

#include <QCoreApplication>
#include <QThread>

void DebugLog(const QString &message)
{
    SystemLogSink::write(OutsideText::escaped(message).toUtf8());
}

namespace {
QtMessageHandler s_toolkitHandler = nullptr;

void toolkitMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QCoreApplication *application = QCoreApplication::instance();
    if (type == QtFatalMsg || !application || QThread::currentThread() != application->thread()) {
        s_toolkitHandler(type, context, message);
        return;
    }
    SystemLogSink::writeStandardError(OutsideText::escaped(qFormatLogMessage(type, context, message)).toUtf8());
}
} // namespace

void routeToolkitMessages()
{
    if (!s_toolkitHandler)
        s_toolkitHandler = qInstallMessageHandler(toolkitMessage);
}
