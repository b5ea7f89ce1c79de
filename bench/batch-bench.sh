#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Compares the "&Vai!!!" batch with a bare spawn loop over tiny archives.
# usage: bench/batch-bench.sh [PKUNZIP] [ARCHIVES] [ROUNDS]
# PKUNZIP defaults to build/pkunzip. The extractor's own output is discarded;
# the timings are printed on standard error.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VRILLO_BUILD:-$here/build}
extractor=${1:-$build/pkunzip}
cmake --build "$build" --target vrillo_batchbench >/dev/null
exec "$build/vrillo_batchbench" "$extractor" "${2:-5000}" "${3:-5}" >/dev/null
