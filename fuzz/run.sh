#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Builds the fuzzers (clang 14, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ when needed, then runs each named
# target for SECONDS on a fresh copy of its seed corpus in fuzz/corpus/, which
# is never changed. Inputs that crash, hang or leak are kept in
# build-fuzz/artifacts/TARGET/; the grown corpus stays in build-fuzz/corpus/.
# usage: fuzz/run.sh SECONDS [TARGET...]   (all targets when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(settings_reader extraction_names archive reader decoders)
fi

cmake -S . -B build-fuzz -DVRILLO_FUZZ=ON -DVRILLO_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# The archive fuzzer writes and removes a small tree per input; a file system
# in memory keeps that cheap.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    artifacts=$PWD/build-fuzz/artifacts/$target/
    rm -rf "$corpus"
    mkdir -p "$corpus" "$artifacts"
    cp fuzz/corpus/"$target"/* "$corpus"/
    dictionary=()
    if [ -f fuzz/"$target".dict ]; then
        dictionary=(-dict=fuzz/"$target".dict)
    fi
    echo "== fuzzing $target for $seconds s"
    # One input at a time, a hang after 10 s, leaks checked after every input
    # that allocated more than it freed.
    build-fuzz/fuzz/fuzz_"$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2560 -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "${dictionary[@]}"
done
