// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QPixmap>
#include <QVariantList>

// The pictures and the playout script of the application bundle. Each picture is loaded once
// and shared; a picture that could not be loaded is tried again at the next call.
QPixmap AppStrap();
QPixmap buttonBD();
QPixmap pixl1x();

// Runs the bundle's playout script "Contents/Resources/Play.scpt", found two folders above the
// executable, handing it args. A script that cannot be started raises a RuntimeException.
void Play(const QVariantList &args = {});
