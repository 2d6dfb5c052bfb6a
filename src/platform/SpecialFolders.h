// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The framework's special folders, as they are on this desktop.
namespace SpecialFolders {

// "Application Support": the per-user configuration folder (XDG_CONFIG_HOME, ~/.config).
QString applicationSupport();
// The user's Documents folder, without a trailing separator.
QString documents();

} // namespace SpecialFolders
