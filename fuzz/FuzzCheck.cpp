// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "FuzzCheck.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

void fuzzFailure(const char *file, int line, const char *what, const QString &detail)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", file, line, what, qUtf8Printable(detail));
    std::fflush(stderr);
    std::abort();
}

namespace {

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)
        return;
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

void quietQtMessages()
{
    qInstallMessageHandler(messageHandler);
}
