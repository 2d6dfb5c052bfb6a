// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QPixmap>

// The pictures of the application bundle. Each picture is loaded once
// and shared; a picture that could not be loaded is tried again at the next call.
QPixmap AppStrap();
QPixmap buttonBD();
QPixmap pixl1x();
