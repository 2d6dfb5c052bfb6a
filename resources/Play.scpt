#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
#
# Playout start. Brenvale Control runs this file whenever playout should start (a tally
# going on with "Tally Start" ticked, or the "Play" button). It is started in the background
# and nobody waits for it or reads what it prints.
#
# Each site replaces this file with its own to drive its playout, for example by telling its
# playout application to start playing the loaded clip. On macOS, where osascript exists,
# the file is handed to osascript, so a compiled AppleScript can take its place there.
#
# As shipped it starts nothing: it notes the call on standard error and ends successfully.
echo "Play.scpt: no playout configured at this site${*:+ (arguments: $*)}" >&2
exit 0
