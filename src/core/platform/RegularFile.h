// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include "core/platform/Result.h"

#include <QFile>
#include <QString>

// Opening the program's own files (the preferences, the daily log) so that nothing else found
// at their paths can hold the program up: a FIFO, a device or a socket is refused at once, as
// an error of the open, instead of waiting for a writer or reading without end
// (RegularFilePosix.cpp on Linux).
namespace RegularFile {
// Opens file.fileName() when it names a regular file, through any symbolic links. The mode is
// ReadOnly, or WriteOnly | Append, which creates a missing file; Unbuffered may be added.
// On failure the file is left closed and the result gives the reason.
Result<> open(QFile &file, QIODevice::OpenMode mode);
} // namespace RegularFile
