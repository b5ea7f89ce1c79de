#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Checks the Debian package the way a user meets it: installs it with apt-get,
# looks for its icons and its licence and validates its menu entry and
# metadata; on a virtual X server, as root and then as an ordinary user, each
# saves two directories of its own through the window into its own
# ~/.config/vrillo/, then starts again and unpacks an archive from the loaded
# source into the loaded destination with the installed pkunzip, so neither
# may see the other's settings. Removing the package must leave nothing of it,
# not even a settings file an earlier package let root save beside the
# program. Whatever happens, the package and all its installation pulled in
# are removed again. Runs as root.
# usage: installed.sh PACKAGE.deb
set -euo pipefail

deb=$(realpath "$1")
user=65534 # nobody
title="The Vrillo V1.1"

if [ "$(id -u)" -ne 0 ]; then
    echo "installed.sh installs a package: run it as root" >&2
    exit 1
fi
if dpkg-query -W -f='${Status}' vrillo 2>/dev/null | grep -q 'ok installed'; then
    echo "vrillo is already installed; not touching it" >&2
    exit 1
fi

work=$(mktemp -d)
chmod 755 "$work"
installed_before=$work/packages-before
xvfb_pid=
vrillo_pid=
stray=/usr/lib/vrillo/ini.ini
stray_written=

packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' |
        awk '$1 ~ /^.i/ {print $2}' | sort
}

clean_up() {
    local status=$?
    set +e
    [ -n "$vrillo_pid" ] && kill "$vrillo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    if [ -s "$installed_before" ]; then
        # The package and whatever apt-get brought with it, and nothing else.
        mapfile -t added < <(comm -13 "$installed_before" <(packages))
        if [ "${#added[@]}" -gt 0 ]; then
            echo "removing ${added[*]}"
            env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=300 "${added[@]}" >"$work/purge.log" 2>&1 ||
                { cat "$work/purge.log" >&2; status=1; }
        fi
        if comm -3 "$installed_before" <(packages) | grep -q .; then
            echo "the installed packages differ from before the test" >&2
            status=1
        fi
    fi
    # A removal that failed to take the test's stray file leaves it to us.
    if [ -n "$stray_written" ] && [ -f "$stray" ]; then
        rm -f "$stray"
        rmdir --ignore-fail-on-non-empty "$(dirname "$stray")"
    fi
    rm -rf "$work"
    exit "$status"
}
trap clean_up EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Waits up to about ten seconds for a command to succeed.
wait_for() {
    for _ in $(seq 100); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

packages >"$installed_before"
echo "installing $deb"
env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends "$deb" \
    >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "apt-get install"; }

[ "$(readlink -f "$(command -v vrillo)")" = /usr/lib/vrillo/vrillo ] || fail "vrillo is not /usr/lib/vrillo/vrillo"
[ -x /usr/lib/vrillo/pkunzip ] || fail "no pkunzip beside the program"
# Software centres list a desktop program only with an icon of 64 pixels or
# more; menus take whichever size fits, the scalable one above all.
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/vrillo.png
    identify -format '%wx%h\n' "$icon" | grep -qx "${size}x${size}" || fail "no ${size}x${size} icon"
done
[ "$(file -b --mime-type /usr/share/icons/hicolor/scalable/apps/vrillo.svg)" = image/svg+xml ] ||
    fail "no scalable icon"
grep -qx 'License: GPL-3.0-or-later' /usr/share/doc/vrillo/copyright || fail "the copyright file names no GPL-3.0-or-later"
desktop-file-validate /usr/share/applications/org.example.vrillo.desktop
grep -qx 'Exec=vrillo' /usr/share/applications/org.example.vrillo.desktop || fail "menu entry does not start vrillo"
appstreamcli validate --no-net /usr/share/metainfo/org.example.vrillo.metainfo.xml

# Root's world and the ordinary user's: a fresh home and a destination
# each, an archive to unpack they share, and a virtual X server any local
# client may use.
roms=$work/roms
mkdir "$roms" "$work/root" "$work/user"
for who in root user; do
    mkdir -m 700 "$work/$who/home" "$work/$who/runtime"
    mkdir "$work/$who/out"
done
printf 'waka %.0s' $(seq 1000) >"$work/PACMAN.TXT"
(cd "$work" && zip -q "$roms/PACMAN.ZIP" PACMAN.TXT)
chown -R "$user:$user" "$work/user"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for test -s "$work/display" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
display=:$(head -n1 "$work/display")

# Runs a command as $who, root or the ordinary user, in that one's world.
as_who() {
    local become=() name=root
    if [ "$who" != root ]; then
        become=(setpriv --reuid="$user" --regid="$user" --clear-groups)
        name=nobody
    fi
    "${become[@]}" env -i HOME="$work/$who/home" USER="$name" PATH=/usr/bin:/bin DISPLAY="$display" \
        XDG_RUNTIME_DIR="$work/$who/runtime" QT_QPA_PLATFORM=xcb "$@"
}

window=
find_window() { DISPLAY=$display xdotool search --name "^$title\$" 2>/dev/null | head -n1 | grep .; }
start_vrillo() {
    as_who vrillo >>"$work/vrillo.log" 2>&1 &
    vrillo_pid=$!
    window=$(wait_for find_window) || { cat "$work/vrillo.log" >&2; fail "no window titled \"$title\""; }
    sleep 1
}
# Whether vrillo has ended: gone, or a zombie until it is waited for.
vrillo_ended() {
    local state
    read -r _ _ state _ 2>/dev/null <"/proc/$vrillo_pid/stat" || return 0
    [ "$state" = Z ]
}
stop_vrillo() {
    click 330 284 # "&Esci"
    wait_for vrillo_ended || fail "vrillo did not end on Esci"
    wait "$vrillo_pid" || fail "vrillo ended with status $?"
    vrillo_pid=
}

# Window coordinates are the controls' own, in pixels from the window's corner.
click() {
    DISPLAY=$display xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.3
}
type_into() {
    click "$1" "$2"
    DISPLAY=$display xdotool key ctrl+a type --delay 20 "$3"
    sleep 0.3
}

# Each saves its own directories, in its own folder and nowhere else.
for who in root user; do
    out=$work/$who/out
    settings=$work/$who/home/.config/vrillo/ini.ini
    start_vrillo
    type_into 329 77 "$roms" # origine
    type_into 329 133 "$out" # destinazione
    click 266 198            # "&Salva  Impostazioni"
    wait_for test -e "$settings" || fail "no settings file at $settings"
    expected=$(printf '"%s"\r\n"%s"\r\n' "$roms" "$out" | od -An -c)
    [ "$(od -An -c "$settings")" = "$expected" ] || { od -c "$settings" >&2; fail "unexpected settings"; }
    [ "$(stat -c %u "$settings")" = "$(as_who id -u)" ] || fail "settings not owned by $who"
    [ ! -e "$stray" ] || fail "$who's settings written beside the installed program"
    stop_vrillo
done

# The fields start as "/" and hold these directories only if the settings
# were loaded; the archive can reach the destination no other way. The user
# goes first: had root's settings been shared, root would find the user's.
for who in user root; do
    out=$work/$who/out
    start_vrillo
    click 382 230 # "&Refresh"
    click 278 257 # "Se&leziona Tutti"
    click 278 230 # "&Vai!!!"
    wait_for test -s "$out/PACMAN/PACMAN.TXT" || { cat "$work/vrillo.log" >&2; fail "the archive was not unpacked for $who"; }
    cmp -s "$out/PACMAN/PACMAN.TXT" "$work/PACMAN.TXT" || fail "wrong content"
    [ "$(stat -c %u "$out/PACMAN/PACMAN.TXT")" = "$(as_who id -u)" ] || fail "unpacked file not owned by $who"
    stop_vrillo
done
[ "$(find "$work"/*/out -name PACMAN.TXT | wc -l)" = 2 ] || fail "an archive was unpacked into the other's destination"

# What an earlier package let root leave beside the program goes with it.
echo stray >"$stray"
stray_written=1
env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q -o DPkg::Lock::Timeout=300 vrillo \
    >"$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove"; }
! grep -i "not empty" "$work/remove.log" || fail "removal left a directory behind"
for path in /usr/lib/vrillo /usr/bin/vrillo /usr/share/applications/org.example.vrillo.desktop; do
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "removal left $path behind"
done
echo "installed package: PASS"
