// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QObject>
#include <QTimer>

class QCommandLineParser;

// Ends the event loop cleanly on SIGINT or SIGTERM, and after --quit-after seconds.
//
// The signal handler only sets a flag; a short timer on the event loop looks at it and quits,
// because nothing else may safely be done from inside a signal handler.
class ToolLifetime : public QObject
{
    Q_OBJECT
public:
    explicit ToolLifetime(QObject *parent = nullptr);

    static void addOptions(QCommandLineParser &parser);
    // Reads --quit-after and starts watching for signals.
    void start(const QCommandLineParser &parser);
    bool hasDeadline() const { return m_hasDeadline; }

private:
    void checkSignal();

    QTimer m_signalWatch;
    QTimer m_deadline;
    bool m_hasDeadline = false;
};
