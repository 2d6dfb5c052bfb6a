// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/ChrWorksBody.h"

#include <QStringView>

namespace {

// Characters written as \u00XX: the controls without a short escape, and the invisible or
// line-breaking characters some JSON consumers (JavaScript in particular) stumble on.
bool needsUnicodeEscape(char32_t c)
{
    return c < 0x20 || c == 0x7F || c == 0xAD || (c >= 0x600 && c <= 0x604) || c == 0x70F || c == 0x17B4 || c == 0x17B5
        || (c >= 0x200C && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF
        || (c >= 0xFFF0 && c <= 0xFFFF);
}

// The two-character escape of c, or 0 when it has none.
char shortEscape(char32_t c)
{
    switch (c) {
    case U'\\':
        return '\\';
    case U'"':
        return '"';
    case U'/':
        return '/';
    case U'\b':
        return 'b';
    case U'\f':
        return 'f';
    case U'\n':
        return 'n';
    case U'\r':
        return 'r';
    case U'\t':
        return 't';
    default:
        return 0;
    }
}

} // namespace

std::optional<QString> ChrWorksBody::action(const QString &cmd)
{
    if (cmd.compare(QLatin1String("play"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("play_motions");
    if (cmd.compare(QLatin1String("stop"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("finish_motions");
    return std::nullopt;
}

std::optional<QString> ChrWorksBody::motionPreference(const QString &key)
{
    if (key.compare(QLatin1String("Key 1"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("motion1Name");
    if (key.compare(QLatin1String("Key 2"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("motion2Name");
    return std::nullopt;
}

QString ChrWorksBody::motionName(const QVariant &preferenceValue, const QString &key)
{
    // Since Qt 6 isNull() is true only for an empty variant or a stored null (a JSON null from
    // the preferences file), not for an empty text, which is sent as an empty name.
    if (preferenceValue.isNull())
        return key;
    return preferenceValue.toString();
}

QByteArray ChrWorksBody::jsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append('"');

    const QStringView view(text);
    qsizetype runStart = 0; // characters written raw are gathered and encoded in one go
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out.append(view.sliced(runStart, end - runStart).toUtf8());
    };

    qsizetype i = 0;
    while (i < view.size()) {
        const QChar unit = view.at(i);
        if (unit.isHighSurrogate() && i + 1 < view.size() && view.at(i + 1).isLowSurrogate()) {
            // Outside the basic plane: nothing there is escaped.
            i += 2;
            continue;
        }
        // A lone surrogate has no UTF-8 form; it goes out as the replacement character, which
        // falls in the escaped range.
        const char32_t c = unit.isSurrogate() ? char32_t(0xFFFD) : char32_t(unit.unicode());
        const char shortForm = shortEscape(c);
        if (shortForm == 0 && !needsUnicodeEscape(c)) {
            ++i;
            continue;
        }
        flushRun(i);
        if (shortForm != 0) {
            out.append('\\').append(shortForm);
        } else {
            static const char hex[] = "0123456789abcdef";
            out.append("\\u", 2);
            for (int shift = 12; shift >= 0; shift -= 4)
                out.append(hex[(c >> shift) & 0xF]);
        }
        runStart = ++i;
    }
    flushRun(view.size());
    out.append('"');
    return out;
}

QByteArray ChrWorksBody::body(const QString &action, const QString &motion)
{
    return QByteArrayLiteral("{\"action\":") + jsonString(action) + QByteArrayLiteral(",\"motions\":[")
        + jsonString(motion) + QByteArrayLiteral("],\"channel\":\"live1\"}");
}

QString ChrWorksBody::url(const QString &address)
{
    return QStringLiteral("http://") + address + QStringLiteral(":5201");
}
