// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QPixmap>
#include <QString>

// The application bundle's resources. The executable lives in <bundle>/Contents/MacOS, so the
// Contents folder is two folders above the executable file, wherever the program was put: an
// executable outside a bundle still looks there.
namespace BundlePictures {

// The folder two levels above the executable file (normally <bundle>/Contents), symbolic
// links resolved, without a trailing slash.
QString bundleContentsFolder();

// Loads <Contents>/Resources/<resourceName>.png. A missing or unreadable picture gives a null
// pixmap; nothing is cached here, so every call reads the file again.
QPixmap loadBundlePicture(const QString &resourceName);

} // namespace BundlePictures
