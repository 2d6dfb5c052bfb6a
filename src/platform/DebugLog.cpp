// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "DebugLog.h"

#include "SystemLogSink.h"

#include <algorithm>

QString escapeControlCharacters(const QString &text)
{
    const auto needsEscape = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
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
