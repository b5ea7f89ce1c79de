#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Stands in for pkunzip in the tests. Each run takes 20 ms, like a small
# extraction, and appends one line to the file named by VRILLO_STUB_LOG: its
# start and end in nanoseconds, its working directory, the identity
# (device:inode) of its standard input, output and error, then its arguments,
# all separated by NUL characters. It then ends as VRILLO_STUB_STATUS says for
# the archive's file name: a line "NAME=3" exits with status 3, "NAME=signal 9"
# ends by signal 9; any other archive exits with 0.
start=$(date +%s%N)
sleep 0.02
end=$(date +%s%N)
identity() { stat -L -c %d:%i "/proc/$$/fd/$1" 2>/dev/null || echo closed; }
input=$(identity 0) output=$(identity 1) error=$(identity 2)
{
    printf '%s\0' "$start" "$end" "$(pwd -P)" "$input" "$output"
    printf '%s' "$error"
    for argument; do printf '\0%s' "$argument"; done
    printf '\n'
} >>"$VRILLO_STUB_LOG"

name=${1##*/}
status=$(printf '%s\n' "$VRILLO_STUB_STATUS" | while IFS= read -r line; do
    case $line in "$name="*) printf '%s' "${line#"$name="}" ;; esac
done)
case $status in "signal "*) kill -"${status#signal }" $$ ;; esac
exit "${status:-0}"
