// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <exception>
#include <functional>

// The unhandled-error report: an error that escapes an event handler ends that handler, is
// written to the system log and standard error with its kind and message, and the program
// goes on. Tests may watch the reports through the observer.
namespace ErrorReport {

void report(const char *where, const std::exception &error);
void reportUnknown(const char *where);

using Observer = std::function<void(const QString &where, const QString &kind, const QString &message)>;
void setObserver(Observer observer);

// Runs one event handler; whatever escapes it is reported instead of unwinding into Qt.
template<typename Handler> void guarded(const char *where, Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        report(where, error);
    } catch (...) {
        reportUnknown(where);
    }
}

} // namespace ErrorReport
