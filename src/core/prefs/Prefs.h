// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The preferences store: text keys to dynamically typed values, kept as one JSON object in
// "<Application Support>/<appName>/<appName>.prefs". Values keep the JSON type they had in the
// file; the program itself stores text and Booleans.
class Prefs
{
public:
    // The dynamic member access: `store["VTid"]` reads the key through Get (with its
    // fallback), assigning to it writes the key through Set.
    class Member
    {
    public:
        Member(Prefs &store, QString key) : m_store(store), m_key(std::move(key)) { }
        operator QVariant() const { return value(); }
        QVariant value() const;
        QString toString() const { return value().toString(); }
        bool toBool() const { return value().toBool(); }
        Member &operator=(const QVariant &value);
        Member &operator=(const QString &value) { return *this = QVariant(value); }
        Member &operator=(bool value) { return *this = QVariant(value); }

    private:
        Prefs &m_store;
        QString m_key;
    };

    explicit Prefs(const QString &appName);

    QVariant Get(const QString &key);
    bool Load();
    QVariant Operator_Lookup(const QString &key) { return Get(key); }
    void Operator_Lookup(const QString &key, const QVariant &value) { Set(key, value); }
    // Writes the whole store in place of the file. Gives false and writes nothing before Load,
    // after a Load that found a file it could not read, or with anything but a regular file
    // (through links) at the file's place.
    bool Save();
    void Set(const QString &key, const QVariant &value);

    Member operator[](const QString &key) { return Member(*this, key); }

    // The store that missing keys' fallbacks are written into: the program's one shared
    // store, which ModernPreferences names here when it makes it; none before that.
    static void setShared(Prefs *store);

    // The file Load found or will create; empty until Load has run.
    const QString &preferencesFile() const { return mPreferencesFile; }

    QVariantMap mPreferences;

private:
    // Writes the content of a file the last Load rejected beside it, before a save replaces
    // it; false when that failed.
    bool keepRejectedFile();
    // Notes that the file at mPreferencesFile exists but could not be read, so that no save
    // replaces it, and throws the I/O error that leaves Load.
    [[noreturn]] void refuseUnread(const QString &reason);

    QString mAppName;
    QString mPreferencesFile;
    std::optional<QByteArray> m_rejectedContent;
    // Why the last Load could not read the file that is there; empty when it could, or when
    // there was none.
    QString m_unreadReason;
};
