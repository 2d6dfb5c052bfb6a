// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>

// The relay box's text protocol: one datagram per command, "cmdkey" + the decimal code + LF,
// and the texts the window logs for each code; plus the reading of the box's replies.
class RelayCommand
{
public:
    static constexpr int Key1On = 0;
    static constexpr int Key1Off = 1;
    static constexpr int Key2On = 2;
    static constexpr int Key2Off = 3;
    static constexpr int NewAddress = 99;

    // For NewAddress the new address follows the first LF exactly as typed (UTF-8), then a
    // second LF; other codes ignore newAddress.
    static QByteArray datagram(int code, const QString &newAddress = QString());

    // On-screen text after sending; empty for codes that log nothing.
    static QString screenText(int code);
    // Daily-log text after sending; empty for codes that write no daily-log line (99 included).
    static QString dailyLogText(int code);

    // A reply is shown and logged with at most this many bytes of its escaped text, so that one
    // datagram (any host may send one, up to 64 KB, of control bytes that escape four to one)
    // gives one short row and a daily-log line of at most 400 bytes.
    static constexpr qsizetype ReplyTextLimit = 256;

    // One reply of the relay box.
    struct Reply
    {
        // The datagram's bytes as UTF-8 text; where its escaped form (as the logs write it)
        // passes ReplyTextLimit bytes it is cut before a whole character and " [cut N bytes]"
        // tells how many bytes of the datagram were left out.
        QString text;
        double value; // the number at the start of the whole datagram, 0 when there is none
        QString row; // "Rx message: " + text + " " + value as text
        bool dailyLogDue; // value is exactly 1, 2 or 3: the text goes to the daily log as it is kept
    };
    static Reply reply(const QByteArray &data);

    // Whether a reply from `sender` comes from the relay box at `relayBoxAddress` (the
    // preference as typed): the box's own answers are budgeted apart from anyone else's.
    static bool isFromRelayBox(const QString &sender, const QString &relayBoxAddress);
};
