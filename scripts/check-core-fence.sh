#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# The fence around src/core, run by the test command: no file there includes a QtWidgets header
# (<QtWidgets/QLabel>, <QWidget>, <qwidget.h>, <QtWidgets>) or a path that reaches into gui/,
# by path from src or relative ("../../gui/..."). The build refuses a core file that names a gui
# header by path from src, but Qt's own include folder and a relative path get past it.
# Prints each offending line as file:line: text and fails; exit code 2 when it cannot look.
#
# Usage: scripts/check-core-fence.sh SRC_CORE_FOLDER QTWIDGETS_INCLUDE_FOLDER
set -euo pipefail

core=${1:-}
widgets=${2:-}
if [ ! -d "$core" ] || [ ! -f "$widgets/QWidget" ]; then
    echo "usage: $0 SRC_CORE_FOLDER QTWIDGETS_INCLUDE_FOLDER (the folder holding QWidget)" >&2
    exit 2
fi

# Header names that only QtWidgets has: a few lower-case forwarding headers (qaction.h...) also
# live in QtGui, where they are no widget.
others=$(for module in "$(dirname "$widgets")"/Qt*; do
    [ "$module" -ef "$widgets" ] || find "$module" -maxdepth 1 -type f -printf '%f\n'
done | sort -u)
widgetNames=$(comm -23 <(find "$widgets" -maxdepth 1 -type f -printf '%f\n' | sort -u) <(printf '%s\n' "$others"))

offending=0
while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    number=${rest%%:*}
    text=${rest#*:}
    path=$(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/p' <<<"$text")
    [ -n "$path" ] || continue
    if [[ "/$path/" == */gui/* || "$path" == QtWidgets || "$path" == QtWidgets/* ]] \
        || { [[ "$path" != */* ]] && grep -qxF -- "$path" <<<"$widgetNames"; }; then
        echo "$file:$number: $text"
        offending=$((offending + 1))
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' --include='*.h' --include='*.hpp' --include='*.cpp' \
    --include='*.c' "$core" || true)

if [ "$offending" -gt 0 ]; then
    echo "src/core must not include QtWidgets or anything under gui/: $offending line(s) above" >&2
    exit 1
fi
echo "src/core includes no QtWidgets header and nothing under gui/"
