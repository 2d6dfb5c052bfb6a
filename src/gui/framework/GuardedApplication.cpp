// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/GuardedApplication.h"

#include "core/platform/ErrorReport.h"

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) { }

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    ErrorReport::guarded("Event", [&] { result = QApplication::notify(receiver, event); });
    return result;
}
