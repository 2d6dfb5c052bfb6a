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
//
// The script gets the null device as standard input, the program's standard output and error
// and no other descriptor, every signal at its default, and the environment the program was
// started with: what the program sets for itself later (QT_NO_GLIB in main) stays the
// program's own. Other programs the program starts (the folder opener) start the same way.
namespace ScriptRunner {

// Starts the script and gives its process id. Throws RuntimeException when it cannot be
// started: no such file, a folder, a file that may not be executed, or an exec that fails (a
// missing #! interpreter included).
qint64 runScript(const QString &scriptFile, const QStringList &args);

// Starts `program` (a path) with `args` as a script is started and gives its process id.
// Throws RuntimeException when it cannot be started.
qint64 startProgram(const QString &program, const QStringList &args);

// Whether a script started here has not been collected yet: it runs, or it ended so recently
// that it still waits to be collected. Ended scripts are collected first, so the answer is as
// fresh as the call.
bool isAlive(qint64 pid);

} // namespace ScriptRunner
