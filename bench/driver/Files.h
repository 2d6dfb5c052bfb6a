// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The files the bench watches: the program's daily-log folder and the children's output.
namespace Files {
// Removes every file of `folder` (a path ending in '/').
void clearFolder(const std::string &folder);
// Waits, woken by inotify, for `text` to appear in a file of `folder`; gives when it was seen.
std::optional<std::int64_t> waitForText(const std::string &folder, const std::string &text, int timeoutMs);
// Polls `file` until it holds `text`.
bool waitForOutput(const std::string &file, const std::string &text, int timeoutMs);
} // namespace Files
