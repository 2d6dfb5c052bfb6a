// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/OutsideText.h"

namespace {

// Writes the escape of `cp` to `out` (room for 10 characters) and gives its length, or 0 when
// `cp` is written as it is.
int escapeOf(char32_t cp, char *out)
{
    static constexpr char hex[] = "0123456789abcdef";
    const auto hexDigits = [&](char kind, int digits) {
        out[0] = '\\';
        out[1] = kind;
        for (int i = 0; i < digits; ++i)
            out[2 + i] = hex[(cp >> (4 * (digits - 1 - i))) & 0xF];
        return 2 + digits;
    };
    if (cp >= 0x20 && cp < 0x7F)
        return 0;
    switch (cp) {
    case '\r':
        out[0] = '\\';
        out[1] = 'r';
        return 2;
    case '\n':
        out[0] = '\\';
        out[1] = 'n';
        return 2;
    case '\t':
        out[0] = '\\';
        out[1] = 't';
        return 2;
    default:
        break;
    }
    // C0, DEL and C1 (NEL and CSI among them): what a terminal takes as a line break or the
    // start of a control sequence.
    if (cp < 0xA0)
        return hexDigits('x', 2);
    // The two separators break lines in text readers; the format characters are invisible and
    // may reorder what follows them (U+202E shows the rest of the line reversed).
    if (cp == 0x2028 || cp == 0x2029 || QChar::category(cp) == QChar::Other_Format)
        return cp > 0xFFFF ? hexDigits('U', 8) : hexDigits('u', 4);
    return 0;
}

int utf8Length(char32_t cp)
{
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

struct Decoded
{
    char32_t cp;
    int length;
};

// The character that starts at data[i]. A byte that starts no valid sequence (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate or a value past
// U+10FFFF) is read alone, as U+FFFD.
Decoded decodeAt(const QByteArray &data, qsizetype i)
{
    const auto byte = [&](qsizetype at) { return static_cast<unsigned char>(data.at(at)); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return {lead, 1};
    int length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        least = 0x10000;
    } else {
        return {0xFFFD, 1};
    }
    if (i + length > data.size())
        return {0xFFFD, 1};
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80)
            return {0xFFFD, 1};
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {0xFFFD, 1};
    return {cp, length};
}

} // namespace

namespace OutsideText {

QString escaped(const QString &text)
{
    QString out;
    // Everything of `text` before `copied` is in `out`; nothing is copied until something
    // needs escaping, so ordinary text costs one pass and no allocation.
    qsizetype copied = 0;
    char sequence[10];
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = text.at(i);
        char32_t cp = c.unicode();
        qsizetype width = 1;
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text.at(i + 1));
            width = 2;
        }
        const int length = escapeOf(cp, sequence);
        if (length > 0) {
            if (copied == 0)
                out.reserve(size + 16);
            out.append(QStringView(text).sliced(copied, i - copied));
            out.append(QLatin1StringView(sequence, length));
            copied = i + width;
        }
        i += width;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(text).sliced(copied));
    return out;
}

QString cut(const QByteArray &data, qsizetype limit, Measure measure)
{
    char sequence[10];
    qsizetype used = 0;
    qsizetype kept = 0;
    while (kept < data.size()) {
        const Decoded next = decodeAt(data, kept);
        qsizetype cost = 1;
        if (measure == Measure::EscapedBytes) {
            const int length = escapeOf(next.cp, sequence);
            cost = length > 0 ? length : utf8Length(next.cp);
        }
        if (used + cost > limit)
            break;
        used += cost;
        kept += next.length;
    }
    if (kept == data.size())
        return QString::fromUtf8(data);
    return QString::fromUtf8(data.first(kept)) + QStringLiteral(" [cut %1 bytes]").arg(data.size() - kept);
}

} // namespace OutsideText
