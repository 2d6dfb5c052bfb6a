// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// The graphics servers' command: the words a key switch is given, mapped to the server's action
// and motion, and the request body written as compact JSON. The body is written by hand because
// the servers get exactly this member order and escape set, which QJsonDocument does not give.
class ChrWorksBody
{
public:
    // "play" -> "play_motions", "stop" -> "finish_motions", ignoring letter case; nothing otherwise.
    static std::optional<QString> action(const QString &cmd);
    // "Key 1" -> "motion1Name", "Key 2" -> "motion2Name" (the preference keys), ignoring letter
    // case; nothing otherwise.
    static std::optional<QString> motionPreference(const QString &key);
    // A null preference value (not an empty text) falls back to the key text itself.
    static QString motionName(const QVariant &preferenceValue, const QString &key);

    // {"action":...,"motions":[motion],"channel":"live1"} as UTF-8 bytes.
    static QByteArray body(const QString &action, const QString &motion);
    // One JSON string, quotes included.
    static QByteArray jsonString(const QString &text);

    // "http://" + address + ":5201"; the address goes in unchanged.
    static QString url(const QString &address);
};
