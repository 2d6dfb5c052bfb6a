// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The application bundle. The executable lives in <bundle>/Contents/MacOS, so the Contents
// folder is two folders above the executable file, wherever the program was put: an executable
// outside a bundle still looks there.
namespace Bundle {

// The folder two levels above the executable file (normally <bundle>/Contents), symbolic links
// resolved, without a trailing slash.
QString contentsFolder();

} // namespace Bundle
