#!/bin/sh
# Extractor benchmark, run by hand from the source tree after a build:
#   bench/run_bench.sh [BUILD_DIR] [make_corpus.py options...]
# Generates the corpus (fixed seed) under BUILD_DIR/bench-corpus, times pkunzip
# against unzip -q -o and bsdtar -xf on each part, then shows pkunzip's peak
# memory and where its time goes. Needs unzip, libarchive-tools, time, strace.
set -eu
build=$(realpath "${1:-build}")
[ $# -gt 0 ] && shift
bench=$(dirname "$(realpath "$0")")
corpus="$build/bench-corpus"
scratch="$build/bench-scratch"
pkunzip="$build/pkunzip"

df -h "$build"
[ -d "$corpus" ] || /usr/bin/python3 "$bench/make_corpus.py" "$corpus" "$@"
mkdir -p "$scratch"

for part in roms large tiny; do
    echo "== $part"
    set -- "$corpus/$part"/*.ZIP
    # The large part is a single archive, so a single sample that one burst
    # of the system's write-back can decide; three runs give a real median.
    if [ "$part" = large ]; then set -- "$@" "$@" "$@"; fi
    "$build/spawnloop" "$pkunzip" "$scratch" "$@"
done

echo "== peak memory (kB)"
for part in roms large tiny; do
    biggest=$(ls -S "$corpus/$part"/*.ZIP | head -n 1)
    rm -rf "$scratch/mem"
    /usr/bin/time -f "$part %M" "$pkunzip" "$biggest" "$scratch/mem" > /dev/null
done

echo "== system calls, one rom archive and one tiny archive"
for archive in "$corpus/roms/GAME0000.ZIP" "$corpus/tiny/T00000.ZIP"; do
    rm -rf "$scratch/strace"
    strace -c -f "$pkunzip" "$archive" "$scratch/strace" > /dev/null
done
rm -rf "$scratch"
