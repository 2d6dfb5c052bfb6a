// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "support/gui/GuiTestKit.h"

#include "core/platform/Bundle.h"
#include "core/prefs/ModernPreferences.h"
#include "gui/framework/BundlePictures.h"
#include "gui/widgets/medButton.h"
#include "gui/windows/Window1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>

#include <algorithm>

namespace GuiTestKit {

void setUpPreferences(const QVariantMap &values)
{
    ModernPreferences::Initialise(QStringLiteral("Brenvale"));
    // Loading settles where the file lives, so that the preferences window can save it.
    ModernPreferences::Preferences->Load();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        ModernPreferences::Preferences->Set(it.key(), it.value());
}

QString screenMessage(const QListWidget *log, int row)
{
    const QString text = log->item(row)->text();
    const qsizetype separator = text.indexOf(QLatin1String(" : "));
    return separator < 0 ? text : text.mid(separator + 3);
}

QStringList screenMessages(const QListWidget *log)
{
    QStringList messages;
    for (int row = 0; row < log->count(); ++row)
        messages.append(screenMessage(log, row));
    return messages;
}

QStringList dailyLogLines(const QString &folder)
{
    QStringList lines;
    const QDir dir(folder);
    const auto files = dir.entryList({QStringLiteral("OnTheAirVideo Log *.txt")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString content = QString::fromUtf8(file.readAll());
        const auto split = content.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
        lines.append(split);
    }
    return lines;
}

QStringList dailyLogMessages(const QString &folder)
{
    QStringList messages;
    const auto lines = dailyLogLines(folder);
    for (const QString &line : lines) {
        const QString marker = QStringLiteral("**********\t");
        QString message = line.mid(line.indexOf(marker) + marker.size());
        const qsizetype vt = message.lastIndexOf(QLatin1String(" on VT "));
        if (vt >= 0)
            message.truncate(vt);
        messages.append(message);
    }
    return messages;
}

medButton *buttonWithCaption(Window1 *window, const QString &caption)
{
    const auto buttons = window->findChildren<medButton *>();
    for (medButton *button : buttons) {
        if (button->caption() == caption)
            return button;
    }
    return nullptr;
}

QString bundleResourcesFolder()
{
    return Bundle::contentsFolder() + QStringLiteral("/Resources");
}

void writeMarkerScript(const QString &path, const QString &markerFile)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    script.write("#!/bin/sh\necho \"play $*\" >> '");
    script.write(markerFile.toUtf8());
    script.write("'\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

int markerCount(const QString &markerFile)
{
    QFile file(markerFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(file.readAll().count('\n'));
}

QByteArray tallyDatagram(quint8 header, quint8 tallyByte, int length)
{
    QByteArray datagram(std::max(length, 21), '\0');
    datagram[0] = static_cast<char>(header);
    datagram[1] = 0x00;
    const QByteArray text = QByteArrayLiteral("VT CAM 1        ");
    datagram.replace(2, 16, text);
    datagram[18] = 0x00; // byte count of the XDATA that follows
    datagram[19] = 0x02;
    datagram[20] = static_cast<char>(tallyByte);
    datagram.truncate(length);
    return datagram;
}

} // namespace GuiTestKit
