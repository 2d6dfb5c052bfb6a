// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QListWidget;
class QWidget;
class Window1;
class medButton;

// Helpers shared by the main-window tests: reading both logs, setting up the store, finding
// the window's private buttons through the widget tree and writing the bundle's script.
namespace GuiTestKit {

// Creates and loads the shared store, then stores the given keys.
void setUpPreferences(const QVariantMap &values);

// The messages of the on-screen log, newest first, without the time stamp and " : ".
QStringList screenMessages(const QListWidget *log);
QString screenMessage(const QListWidget *log, int row);

// Every line of every daily log file in folder, oldest file first, as raw text.
QStringList dailyLogLines(const QString &folder);
// The message field of each daily line (the text between the asterisks' TAB and " on VT ").
QStringList dailyLogMessages(const QString &folder);

// The window's medButton with that caption; nullptr when there is none.
medButton *buttonWithCaption(Window1 *window, const QString &caption);

// <Contents>/Resources of the running test executable.
QString bundleResourcesFolder();
// Writes an executable shell script to path: each run appends one line to markerFile.
void writeMarkerScript(const QString &path, const QString &markerFile);
// Lines in the marker file (0 when it does not exist).
int markerCount(const QString &markerFile);

// A TSL tally datagram: header byte, a 16-character display text, the tally in byte 20;
// shortened or lengthened to length bytes.
QByteArray tallyDatagram(quint8 header, quint8 tallyByte, int length = 22);

} // namespace GuiTestKit
