#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Starts the real program, copied alone into an empty directory, on a virtual
# X server with Qt's X11 platform and no window manager, and drives it as a
# user would:
# 1. finds its main window by title, checks where it stands, and saves a
#    screenshot of it;
# 2. runs a batch whose extractor takes three seconds: meanwhile the window
#    answers _NET_WM_PING, a second click on "Vai!!!" starts nothing, and a
#    close through the frame is kept until the batch has ended;
# 3. runs the real pkunzip on a damaged archive, an archive missing a segment
#    and one whose file is already there, finds each reason in the summary
#    (selected with the mouse) and saves a screenshot of the summary.
# usage: x11smoke.sh PROGRAM PKUNZIP SCREENSHOT.png SUMMARY.png
set -euo pipefail
if [ -z "${VRILLO_SMOKE_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env VRILLO_SMOKE_DISPLAY=1 "$0" "$@"
fi
program=$1 pkunzip=$2 screenshot=$3 summary=$4
wmclient=$(dirname "$0")/wmclient.py
export QT_QPA_PLATFORM=xcb
title="The Vrillo V1.1"
pid=
work=$(mktemp -d)
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/program" "$work/roms" "$work/games"
cp "$program" "$work/program/vrillo"

fail() { echo "$*" >&2 && exit 1; }

# Starts the program and sets window to its main window's id.
start() {
    "$work/program/vrillo" &
    pid=$!
    for _ in $(seq 100); do
        info=$(xwininfo -name "$title" 2>/dev/null) && break
        sleep 0.1
    done
    [ -n "${info:-}" ] || fail "no window titled \"$title\" appeared"
    window=$(echo "$info" | awk '/Window id:/ {print $4}')
    sleep 1
}

# Waits up to $1 tenths of a second for the program to end.
ended() {
    for _ in $(seq "$1"); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; pid=; return 0; }
        sleep 0.1
    done
    return 1
}

# A click at a point of the main window, which stands at 173,155.
click() { xdotool mousemove $((173 + $1)) $((155 + $2)) click 1; }
refresh() { click 382 230; }
selectAll() { click 278 257; }
vai() { click 278 230; }
folderPerArchive() { click 166 287; }

echo "1. the main window"
start
kill -0 "$pid"
import -window "$title" "$screenshot"
geometry=$(echo "$info" | awk -F: '/Absolute upper-left X|Absolute upper-left Y|Width|Height/ {gsub(/ /, "", $2); printf "%s ", $2}')
echo "window at and size: $geometry"
[ "$geometry" = "173 155 432 298 " ] || fail "unexpected window geometry"
kill "$pid" && ended 50

echo "2. a batch of one archive whose extractor takes three seconds"
printf '"%s"\r\n"%s"\r\n' "$work/roms" "$work/games" >"$work/program/ini.ini"
printf '#!/bin/sh\necho started >>"${0%%/*}/runs.log"\nsleep 3\necho ended >>"${0%%/*}/runs.log"\n' \
    >"$work/program/pkunzip"
chmod +x "$work/program/pkunzip"
touch "$work/roms/PACMAN.ZIP"
start
refresh
selectAll
vai
for _ in $(seq 50); do [ -s "$work/program/runs.log" ] && break || sleep 0.1; done
python3 "$wmclient" "$window" ping
vai
python3 "$wmclient" "$window" close
sleep 0.5
! grep -q ended "$work/program/runs.log" || fail "the extractor ended before the checks were done"
kill -0 "$pid" 2>/dev/null || fail "the close was carried out during the batch"
ended 60 || fail "the close was not carried out after the batch"
[ "$(grep -c started "$work/program/runs.log")" -eq 1 ] || fail "a second click started another batch"

echo "3. the real pkunzip: a damaged archive, a missing segment, a file already there"
rm -r "$work/roms" "$work/games" "$work/program/runs.log"
mkdir "$work/roms" "$work/games"
cp "$pkunzip" "$work/program/pkunzip"
echo "already here" >"$work/games/readme.txt"
(
    cd "$work/roms"
    head -c 45000 /dev/urandom | base64 >galaga.1b
    zip -q GALAGA.ZIP galaga.1b
    printf '%0100d' 0 | dd of=GALAGA.ZIP bs=1 seek=2000 conv=notrunc status=none
    echo "from the archive" >readme.txt
    zip -q README.ZIP readme.txt
    head -c 300000 /dev/urandom >digdug.bin
    zip -q -s 100k DIGDUG.zip digdug.bin
    rm galaga.1b readme.txt digdug.bin DIGDUG.z02
)
start
refresh
selectAll
folderPerArchive
vai
box=
for _ in $(seq 100); do
    box=$(xdotool search --onlyvisible --name "^$title\$" | grep -vx "$((window))" | head -n 1) && break
    sleep 0.1
done
[ -n "$box" ] || fail "no summary appeared"
sleep 0.5
import -window root png:- | convert - -trim +repage "$summary"
# Dragged across the text, from its first line to below its last.
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $((X + 100)) $((Y + 20)) mousedown 1 \
    mousemove $((X + WIDTH - 4)) $((Y + HEIGHT - 52)) mouseup 1
sleep 0.5
text=$(xclip -o -selection primary)
echo "$text"
for reason in "GALAGA.ZIP: pkunzip non ha scritto alcuni file" "galaga.1b: damaged data" \
    "DIGDUG.zip: pkunzip non ha scritto alcuni file" "digdug.bin: segment DIGDUG.z02 is missing" \
    "README.ZIP: pkunzip non ha scritto alcuni file" "readme.txt: already exists"; do
    grep -qF -- "$reason" <<<"$text" || fail "the summary does not say \"$reason\""
done
xdotool key Return
sleep 0.5
kill "$pid" && ended 50
identify "$screenshot" "$summary"
