#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Starts the real program, copied alone into an empty directory, on a virtual
# X server with Qt's X11 platform; finds its main window by title, checks where
# it stands, and saves a screenshot of it.
# usage: x11smoke.sh PROGRAM SCREENSHOT.png
set -euo pipefail
program=$1
screenshot=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/vrillo"

xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
    export QT_QPA_PLATFORM=xcb
    "$1" &
    pid=$!
    title="The Vrillo V1.1"
    for _ in $(seq 100); do
        info=$(xwininfo -name "$title" 2>/dev/null) && break
        sleep 0.1
    done
    if [ -z "${info:-}" ]; then
        echo "no window titled \"$title\" appeared" >&2
        exit 1
    fi
    sleep 1
    kill -0 "$pid"
    import -window "$title" "$2"
    kill "$pid"
    geometry=$(echo "$info" | awk -F: "/Absolute upper-left X|Absolute upper-left Y|Width|Height/ {gsub(/ /, \"\", \$2); printf \"%s \", \$2}")
    echo "window at and size: $geometry"
    [ "$geometry" = "173 155 432 298 " ] || { echo "unexpected window geometry" >&2; exit 1; }
' smoke "$work/vrillo" "$screenshot"

identify "$screenshot"
