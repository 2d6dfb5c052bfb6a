// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>

// Text that came from outside (tally display texts, relay replies, peer messages) as the logs
// and the boxes take it. Any host can send it, so it is neither trusted to stay on one line nor
// to be short.
namespace OutsideText {

// One event, one line, read as it was sent: CR, LF and TAB become \r, \n and \t, the other C0
// control characters, DEL and the C1 control characters \xNN; the line and paragraph separators
// U+2028 and U+2029 and the format characters (Unicode category Cf: direction marks, embeddings,
// overrides and isolates, zero-width characters, the soft hyphen, the byte-order mark...) become
// \uNNNN, or \UNNNNNNNN above U+FFFF. Everything else is left as it is. The daily log, the
// on-screen log and the system log all write through this one escaping, so that no viewer of
// any of them shows a line broken, coloured or reversed by what a sender put in it.
QString escaped(const QString &text);

// What cut() counts against its limit.
enum class Measure {
    // The UTF-8 bytes of the kept text once escaped(): what a log line takes.
    EscapedBytes,
    // Characters (code points): what a box has to lay out.
    Characters,
};

// `data` read as UTF-8: whole when it measures at most `limit`, otherwise its longest start of
// whole characters that does, followed by " [cut N bytes]", N being the bytes of `data` left
// out. A byte that starts no valid UTF-8 sequence counts as the U+FFFD it is read as.
QString cut(const QByteArray &data, qsizetype limit, Measure measure);

} // namespace OutsideText
