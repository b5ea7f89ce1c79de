#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Stands in for pkunzip in the tests. Each run takes 20 ms, like a small
# extraction, or as many seconds as VRILLO_STUB_SECONDS says; it writes on its
# standard error the file named after the archive in the directory
# VRILLO_STUB_ERRORS, if there is one, and appends one line to the file named
# by VRILLO_STUB_LOG: its
# start and end in nanoseconds, its working directory, the identity
# (device:inode) of its standard input, output and error, then its arguments,
# all separated by NUL characters. It then ends as VRILLO_STUB_STATUS says for
# the archive's file name: a line "NAME=3" exits with status 3, "NAME=signal 9"
# ends by signal 9; any other archive exits with 0.
start=$(date +%s%N)
sleep "${VRILLO_STUB_SECONDS:-0.02}"
name=${1##*/}
if [ -f "$VRILLO_STUB_ERRORS/$name" ]; then cat "$VRILLO_STUB_ERRORS/$name" >&2; fi
end=$(date +%s%N)
identity() { stat -L -c %d:%i "/proc/$$/fd/$1" 2>/dev/null || echo closed; }
input=$(identity 0) output=$(identity 1) error=$(identity 2)
{
    printf '%s\0' "$start" "$end" "$(pwd -P)" "$input" "$output"
    printf '%s' "$error"
    for argument; do printf '\0%s' "$argument"; done
    printf '\n'
} >>"$VRILLO_STUB_LOG"

status=$(printf '%s\n' "$VRILLO_STUB_STATUS" | while IFS= read -r line; do
    case $line in "$name="*) printf '%s' "${line#"$name="}" ;; esac
done)
case $status in "signal "*) kill -"${status#signal }" $$ ;; esac
exit "${status:-0}"
