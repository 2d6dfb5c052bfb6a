// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "SystemLogSink.h"

#include <syslog.h>
#include <unistd.h>

namespace SystemLogSink {

void write(const QByteArray &line)
{
    static const bool opened = [] {
        openlog("Brenvale", LOG_NDELAY, LOG_USER);
        return true;
    }();
    (void)opened;
    syslog(LOG_NOTICE, "%s", line.constData());

    // One write per line keeps lines whole when several processes share the terminal.
    QByteArray withEnd = line;
    withEnd.append('\n');
    const char *data = withEnd.constData();
    qsizetype left = withEnd.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, static_cast<size_t>(left));
        if (written <= 0)
            break;
        data += written;
        left -= written;
    }
}

} // namespace SystemLogSink
