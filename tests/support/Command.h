// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>
#include <QStringList>

// Short commands a test runs to their end: `ip`, `id`, `cp`, `sh -c`.
namespace Command {

// Runs a command to its end (bounded by timeoutMs); returns whether it exited with 0. Standard
// output and error, merged and trimmed, go to `output` when given.
bool run(const QString &program, const QStringList &arguments, QString *output = nullptr, int timeoutMs = 30000);

} // namespace Command
