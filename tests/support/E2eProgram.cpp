// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/E2eProgram.h"

#include "support/Command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString playScript(const QString &marker)
{
    // The marker line carries the arguments, so a start with unexpected arguments shows.
    return QStringLiteral("#!/bin/sh\necho \"play $*\" >> '%1'\n").arg(marker);
}

// TAB date TAB time TAB weekday TAB ********** TAB message CR LF
bool splitDailyLine(const QString &line, QString *message)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\t(\\d{4}-\\d{2}-\\d{2})\\t([^\\t]+)\\t(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)"
        "\\t\\*{10}\\t([^\\t]*)$"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return false;
    *message = match.captured(4);
    return true;
}

QStringList dailyLines(const QString &folder)
{
    QStringList lines;
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("OnTheAirVideo Log *.txt")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = file.readAll();
        // Every line ends with CR LF; a last piece without one is a line being written.
        for (const QByteArray &piece : text.split('\n')) {
            if (piece.endsWith('\r'))
                lines.append(QString::fromUtf8(piece.chopped(1)));
            else if (!piece.isEmpty())
                lines.append(QString::fromUtf8(piece) + QStringLiteral("<no CR>"));
        }
    }
    return lines;
}

} // namespace

E2eProgram::E2eProgram(const QString &bundle) : m_bundle(bundle) { }

QString E2eProgram::buildDir()
{
    return QString::fromLocal8Bit(qgetenv("BRENVALE_BUILD_DIR"));
}

QString E2eProgram::builtBundle()
{
    return buildDir() + QStringLiteral("/Brenvale.app");
}

QString E2eProgram::tool(const QString &name)
{
    return buildDir() + QStringLiteral("/tools/") + name;
}

QString E2eProgram::executable() const
{
    return m_dir.path() + QStringLiteral("/Brenvale.app/Contents/MacOS/Brenvale");
}

QString E2eProgram::home() const
{
    return m_dir.path() + QStringLiteral("/home");
}

QString E2eProgram::logFolder() const
{
    return home() + QStringLiteral("/OnTheAir Video Logs/");
}

QString E2eProgram::runtimeFolder() const
{
    return m_dir.path() + QStringLiteral("/runtime");
}

QString E2eProgram::preferencesFile() const
{
    return home() + QStringLiteral("/.config/Brenvale/Brenvale.prefs");
}

bool E2eProgram::prepare(const QVariantMap &preferences)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    QString out;
    if (!Command::run(
            QStringLiteral("cp"), {QStringLiteral("-a"), m_bundle, m_dir.path() + QStringLiteral("/")}, &out)) {
        m_error = QStringLiteral("cannot copy the bundle ") + m_bundle + QStringLiteral(": ") + out;
        return false;
    }
    if (!QFileInfo(executable()).isExecutable()) {
        m_error = QStringLiteral("no executable in the copied bundle: ") + executable();
        return false;
    }

    QFile play(m_dir.path() + QStringLiteral("/Brenvale.app/Contents/Resources/Play.scpt"));
    if (!play.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || play.write(playScript(m_dir.path() + QStringLiteral("/play-starts")).toUtf8()) < 0
        || !play.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::ExeGroup)) {
        m_error = QStringLiteral("cannot replace Play.scpt: ") + play.errorString();
        return false;
    }
    play.close();

    if (!QDir().mkpath(logFolder()) || !QDir().mkpath(QFileInfo(preferencesFile()).absolutePath())
        || !QDir().mkpath(home() + QStringLiteral("/Documents")) || !QDir().mkpath(runtimeFolder())
        || !QFile::setPermissions(
            runtimeFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("cannot make the folders in ") + home();
        return false;
    }
    QVariantMap values = preferences;
    if (!values.contains(QStringLiteral("LogPath")))
        values.insert(QStringLiteral("LogPath"), logFolder());
    QFile prefs(preferencesFile());
    if (!prefs.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || prefs.write(QJsonDocument(QJsonObject::fromVariantMap(values)).toJson()) < 0) {
        m_error = QStringLiteral("cannot write ") + preferencesFile();
        return false;
    }
    return true;
}

QProcessEnvironment E2eProgram::environment(const QString &busAddress) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
        {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("XDG_DOCUMENTS_DIR")})
        env.remove(name);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
        busAddress.isEmpty() ? QStringLiteral("unix:path=") + m_dir.path() + QStringLiteral("/no-bus") : busAddress);
    return env;
}

QStringList E2eProgram::dailyLogMessages() const
{
    QStringList messages;
    for (const QString &line : dailyLines(logFolder())) {
        QString message;
        if (splitDailyLine(line, &message))
            messages.append(message);
    }
    return messages;
}

qsizetype E2eProgram::dailyLogCount(const QString &message) const
{
    return dailyLogMessages().count(message);
}

QStringList E2eProgram::malformedDailyLogLines() const
{
    QStringList bad;
    for (const QString &line : dailyLines(logFolder())) {
        QString message;
        if (!splitDailyLine(line, &message))
            bad.append(line);
    }
    return bad;
}

QStringList E2eProgram::playStarts() const
{
    QFile file(m_dir.path() + QStringLiteral("/play-starts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QVariantMap E2eProgram::savedPreferences() const
{
    QFile file(preferencesFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
}
