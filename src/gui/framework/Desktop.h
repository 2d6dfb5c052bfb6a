// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// The desktop's own applications: the file browser and the web browser. A folder goes to the
// desktop's opener xdg-open (found on the PATH), started as the playout script is; an address
// goes through QDesktopServices, so a URL handler registered for "https" receives it instead
// (tests use that).
namespace Desktop {

// Opens the item at the POSIX path with its default application, for a folder a file-browser
// window. The path is used as given; a relative one is taken from the current folder.
// Throws IOException (with an errno value) when the path is empty, names nothing, or the
// opener is missing or cannot be started.
void openFolder(const QString &posixPath);

// Opens the address in the default web browser. A refusal is not reported.
void showURL(const QString &url);

} // namespace Desktop
