// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QStringList>

// Runs a script file of the bundle. Where `osascript` is on the PATH the file is handed to it
// (a compiled AppleScript needs no executable bit); elsewhere the file is run as a program of
// its own, so a shell script with a #! line works.
//
// The call returns as soon as the script's program has been started: the event loop never
// waits for the script, and what the script does afterwards is not watched. A script still
// running when the program ends goes on running.
namespace ScriptRunner {

// Throws RuntimeException when the script cannot be started: no such file, a folder, a file
// that may not be executed, or an exec that fails (a missing #! interpreter included).
void runScript(const QString &scriptFile, const QStringList &args);

} // namespace ScriptRunner
