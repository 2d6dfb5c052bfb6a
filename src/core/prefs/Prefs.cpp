// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/prefs/Prefs.h"

#include "core/platform/DebugLog.h"
#include "core/platform/Exceptions.h"
#include "core/platform/RegularFile.h"
#include "core/platform/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcPrefs, "brenvale.prefs")

namespace {
// A name that is a symbolic link stands for its target, as an alias does.
QString followLink(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.symLinkTarget();
    return target.isEmpty() ? path : target;
}
} // namespace

QVariant Prefs::Member::value() const
{
    return m_store.Operator_Lookup(m_key);
}

Prefs::Member &Prefs::Member::operator=(const QVariant &value)
{
    m_store.Operator_Lookup(m_key, value);
    return *this;
}

namespace {
Prefs *&sharedStore()
{
    static Prefs *store = nullptr;
    return store;
}
} // namespace

void Prefs::setShared(Prefs *store)
{
    sharedStore() = store;
}

Prefs::Prefs(const QString &appName) : mAppName(appName) { }

bool Prefs::Load()
{
    const QString folder = followLink(UserFolders::applicationSupport() + QLatin1Char('/') + mAppName);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw IOException(QStringLiteral("Could not create the folder %1").arg(folder));

    mPreferencesFile = followLink(folder + QLatin1Char('/') + mAppName + QStringLiteral(".prefs"));
    m_unreadReason.clear();
    QFile file(mPreferencesFile);
    if (!file.exists())
        return false;
    // A FIFO or a device at the path would hold start-up (or never end): only a regular file
    // is read, anything else is as unreadable as a file without permission.
    const Result<> opened = RegularFile::open(file, QIODevice::ReadOnly);
    if (!opened.ok())
        refuseUnread(opened.error());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        refuseUnread(file.errorString());
    file.close();
    QByteArray text = content;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    // A file whose top-level value is not an object is as unusable as one that is not JSON:
    // the defaults take over and the next save replaces it.
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcPrefs) << "ignoring" << mPreferencesFile << ":"
                           << (error.error != QJsonParseError::NoError ? error.errorString()
                                                                       : QStringLiteral("not a JSON object"));
        // The next save replaces it with what is in memory (the defaults, as a rule); one bad
        // byte must not cost the operator every setting, so it is kept until then.
        m_rejectedContent = content;
        return false;
    }
    m_rejectedContent.reset();
    mPreferences = document.object().toVariantMap();
    return true;
}

void Prefs::refuseUnread(const QString &reason)
{
    m_unreadReason = reason;
    throw IOException(QStringLiteral("Could not read %1: %2").arg(mPreferencesFile, reason));
}

bool Prefs::Save()
{
    if (mPreferencesFile.isEmpty())
        return false;
    // The file holds the operator's settings, which this run never saw: what is in memory (the
    // fallbacks, as a rule) must not take their place.
    if (!m_unreadReason.isEmpty()) {
        DebugLog(QStringLiteral("The preferences were not saved: %1 could not be read at start (%2)")
                     .arg(mPreferencesFile, m_unreadReason));
        return false;
    }
    // A save renames a new file over the old one: over a FIFO, a device or a socket (or, run as
    // root, a device node that a link names) that would destroy what is there.
    const Result<> replaceable = RegularFile::replaceable(mPreferencesFile);
    if (!replaceable.ok()) {
        DebugLog(QStringLiteral("The preferences were not saved to %1: %2").arg(mPreferencesFile, replaceable.error()));
        return false;
    }
    const QByteArray text = QJsonDocument(QJsonObject::fromVariantMap(mPreferences)).toJson(QJsonDocument::Compact);
    if (!keepRejectedFile())
        return false;

    // Written beside the old file and renamed over it, so a crash or a full disk mid-save
    // leaves the old settings whole. A symbolic link is followed to the file it names.
    QSaveFile file(followLink(mPreferencesFile));
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcPrefs) << "could not save" << mPreferencesFile << ":" << file.errorString();
        return false;
    }
    if (file.write(text) != text.size() || !file.flush() || !file.commit()) {
        qCWarning(lcPrefs) << "could not save" << mPreferencesFile << ":" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool Prefs::keepRejectedFile()
{
    if (!m_rejectedContent)
        return true;
    // Beside the file it was, under one fixed name: the newest rejected file is the one kept.
    const QString keptAs = mPreferencesFile + QStringLiteral(".rejected");
    const Result<> replaceable = RegularFile::replaceable(keptAs);
    QSaveFile kept(keptAs);
    if (!replaceable.ok() || !kept.open(QIODevice::WriteOnly)
        || kept.write(*m_rejectedContent) != m_rejectedContent->size() || !kept.commit()) {
        // Replacing the rejected file now would lose it: this save fails instead.
        DebugLog(QStringLiteral("Could not keep the rejected preferences file as %1: %2")
                     .arg(keptAs, replaceable.ok() ? kept.errorString() : replaceable.error()));
        kept.cancelWriting();
        return false;
    }
    DebugLog(QStringLiteral("The rejected preferences file %1 was kept as %2").arg(mPreferencesFile, keptAs));
    m_rejectedContent.reset();
    return true;
}

QVariant Prefs::Get(const QString &key)
{
    const auto found = mPreferences.constFind(key);
    if (found != mPreferences.constEnd())
        return found.value();

    QVariant fallback;
    if (key == QLatin1String("chrWorksIP"))
        fallback = QStringLiteral("192.168.0.1");
    else if (key == QLatin1String("chrWorksIPBup"))
        fallback = QStringLiteral("192.168.0.2");
    else if (key == QLatin1String("tslPlay") || key == QLatin1String("tslEnable"))
        return false;
    else
        fallback = QString();
    // Fallbacks go into the shared store, which in the program is this very object.
    if (Prefs *shared = sharedStore())
        shared->Set(key, fallback);
    return fallback;
}

void Prefs::Set(const QString &key, const QVariant &value)
{
    mPreferences.insert(key, value);
}
