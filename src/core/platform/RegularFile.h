// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QFile>
#include <QString>

// Opening the program's own files (the preferences, the daily log) so that nothing else found
// at their paths can hold the program up or be written through: a FIFO, a device, a socket or a
// folder is refused at once, as an error of the open, instead of waiting for a writer or
// reading without end (RegularFilePosix.cpp on Linux).
namespace RegularFile {
// Opens file.fileName() when it names a regular file. The mode is ReadOnly, which follows
// symbolic links, or WriteOnly | Append, which creates a missing file and never follows a
// symbolic link at the path itself (the folders on the way may be links): a link planted
// where the program appends would have it write into whatever file the link names.
// Unbuffered may be added. On failure the file is left closed and the result gives the reason.
Result<> open(QFile &file, QIODevice::OpenMode mode);

// Whether a save may put a new file at path, its symbolic links followed: nothing is there
// yet, or a regular file is. Anything else (a FIFO, a device, a socket, a folder) is refused
// with the reason, and so is a path that cannot be looked at.
Result<> replaceable(const QString &path);
} // namespace RegularFile
