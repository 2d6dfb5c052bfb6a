// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QPixmap>
#include <QString>

// The pictures in the application bundle's Resources folder.
namespace BundlePictures {

// Loads <Contents>/Resources/<resourceName>.png. A missing or unreadable picture gives a null
// pixmap; nothing is cached here, so every call reads the file again.
QPixmap loadBundlePicture(const QString &resourceName);

} // namespace BundlePictures
