// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QVariantList>

// Runs the bundle's playout script "Contents/Resources/Play.scpt", found two folders above the
// executable, handing it args, and gives the process id of the run. A script that cannot be
// started raises a RuntimeException.
qint64 Play(const QVariantList &args = {});
