// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The user's folders that the program uses, as they are on this desktop.
namespace UserFolders {

// "Application Support": the per-user configuration folder (XDG_CONFIG_HOME, ~/.config).
QString applicationSupport();
// The user's Documents folder, without a trailing separator.
QString documents();

} // namespace UserFolders
