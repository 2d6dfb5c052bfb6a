// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/DebugLog.h"

#include "core/platform/SystemLogSink.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

QString escapeControlCharacters(const QString &text)
{
    // C0, DEL and C1 (NEL and CSI among them), and the two Unicode separators: every character
    // a terminal or a text reader may take as a line break or a control sequence.
    const auto needsEscape = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
    };
    if (std::none_of(text.cbegin(), text.cend(), needsEscape))
        return text;

    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!needsEscape(c)) {
            out.append(c);
            continue;
        }
        switch (c.unicode()) {
        case '\r':
            out.append(QLatin1String("\\r"));
            break;
        case '\n':
            out.append(QLatin1String("\\n"));
            break;
        case '\t':
            out.append(QLatin1String("\\t"));
            break;
        case 0x2028:
        case 0x2029:
            out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
            break;
        default:
            out.append(QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')));
        }
    }
    return out;
}

void DebugLog(const QString &message)
{
    SystemLogSink::write(escapeControlCharacters(message).toUtf8());
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
    SystemLogSink::writeStandardError(escapeControlCharacters(qFormatLogMessage(type, context, message)).toUtf8());
}
} // namespace

void routeToolkitMessages()
{
    if (!s_toolkitHandler)
        s_toolkitHandler = qInstallMessageHandler(toolkitMessage);
}
