#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Extractor benchmark, run by hand from the source tree:
#   bench/run_bench.sh [--perf] [--ntfs] [--scratch DIR] [--earlier PKUNZIP] [BUILD_DIR] [make_corpus.py options...]
# Builds pkunzip and the two timing loops in BUILD_DIR (default build) and
# makes the corpus (fixed seed) under BUILD_DIR/bench-corpus, again whenever
# its options change. On each part it then times pkunzip against unzip -q -o,
# bsdtar -xf and 7zz x (when installed) as a batch runs them (spawnloop.cpp);
# times pkunzip's own extraction code in one process over the ROM-like and
# many-member parts against cp -r of the tree it wrote (extractloop.cpp);
# times the many-member part again with every tool held to one processor;
# shows pkunzip's peak memory and system calls. With --perf it records one
# pkunzip pass over the ROM-like part with perf record -g and prints where
# pkunzip's time went; the recording stays in BUILD_DIR/bench-perf.data
# (perf report -g shows the call chains). The archives are extracted under DIR (default
# BUILD_DIR/bench-scratch), which is left empty. --earlier times another
# build of pkunzip (the last release, say) beside this one. With --ntfs,
# instead of all that, it times pkunzip against unzip on the ROM-like part
# extracted onto an NTFS image mounted through ntfs-3g, as a desktop mounts a
# drive shared with Windows, and counts the system calls of both tools on one
# archive there: every call crosses into the driver (needs root). Needs unzip,
# libarchive-tools, time, strace, ntfs-3g for --ntfs and linux-perf for --perf.
#
# On ext4 without a journal, creating a file skips every inode deleted in the
# last minutes, one lookup each, so after deleting a pass's output (or any
# other large deletion on the machine) the next pass crawls: extract onto a
# file system with a journal, as most are, e.g. as root
#   truncate -s 8G build/scratch.img && mkfs.ext4 -q build/scratch.img
#   mkdir -p build/scratch && mount -o loop build/scratch.img build/scratch
set -eu
perf=no
ntfs=no
scratch=
earlier=
while [ $# -gt 0 ]; do
    case "$1" in
    --perf) perf=yes ;;
    --ntfs) ntfs=yes ;;
    --scratch)
        scratch=$(realpath "$2")
        shift
        ;;
    --earlier)
        earlier=$(realpath "$2")
        shift
        ;;
    *) break ;;
    esac
    shift
done
build=$(realpath "${1:-build}")
[ $# -gt 0 ] && shift
bench=$(dirname "$(realpath "$0")")
corpus="$build/bench-corpus"
scratch="${scratch:-$build/bench-scratch}/run"
pkunzip="$build/pkunzip"

cmake --build "$build" --target pkunzip spawnloop extractloop > /dev/null
if [ "$(cat "$corpus/options" 2> /dev/null || echo none)" != "options: $*" ]; then
    rm -rf "$corpus"
    /usr/bin/python3 "$bench/make_corpus.py" "$corpus" "$@"
    echo "options: $*" > "$corpus/options"
fi
# Room for both tools' output of the ROM-like part, kept to the end of a
# round, and the image removed again however the run ends.
ntfs_part() {
    image="$build/bench-ntfs.img"
    drive="$build/bench-ntfs"
    truncate -s 2G "$image"
    mkntfs -q -F -f "$image" 2> /dev/null
    loop=$(losetup -f --show "$image")
    mkdir -p "$drive"
    trap 'umount "$drive"; losetup -d "$loop"; rm -f "$image"' EXIT
    ntfs-3g -o windows_names "$loop" "$drive"
    echo "== roms on NTFS through ntfs-3g, each tool started once per archive (load $(load))"
    "$build/spawnloop" --only pkunzip,unzip "$pkunzip" "$drive/run" "$corpus/roms"/*.ZIP
    echo "== system calls on NTFS, one ROM-like archive: pkunzip, then unzip"
    strace -c -f "$pkunzip" "$corpus/roms/GAME0000.ZIP" "$drive/pkunzip" > /dev/null
    strace -c -f unzip -q -o "$corpus/roms/GAME0000.ZIP" -d "$drive/unzip" > /dev/null
}

# Other work on the machine moves every figure: the load goes with each.
load() { cut -d ' ' -f 1-3 /proc/loadavg; }

if [ "$ntfs" = yes ]; then
    ntfs_part
    exit
fi

mkdir -p "$scratch"
df -h "$scratch"

for part in roms large tiny arcade many; do
    echo "== $part, each tool started once per archive (load $(load))"
    "$build/spawnloop" ${earlier:+--earlier "$earlier"} "$pkunzip" "$scratch" "$corpus/$part"/*.ZIP
done

for part in roms many; do
    echo "== $part in one process against cp -r of the extracted tree (load $(load))"
    "$build/extractloop" "$scratch" "$corpus/$part"/*.ZIP
done

echo "== many, both tools held to one processor (load $(load))"
taskset -c 0 "$build/spawnloop" ${earlier:+--earlier "$earlier"} "$pkunzip" "$scratch" \
    "$corpus/many"/*.ZIP

echo "== peak memory (kB)"
for part in roms large tiny arcade many; do
    biggest=$(ls -S "$corpus/$part"/*.ZIP | head -n 1)
    rm -rf "$scratch/mem"
    /usr/bin/time -f "$part %M" "$pkunzip" "$biggest" "$scratch/mem" > /dev/null
done

echo "== system calls, one archive of each part"
for archive in "$corpus/roms/GAME0000.ZIP" "$corpus/tiny/T00000.ZIP" "$corpus/arcade/SET000.ZIP" \
    "$corpus/many/MANY.ZIP"; do
    rm -rf "$scratch/strace"
    strace -c -f "$pkunzip" "$archive" "$scratch/strace" > /dev/null
done

if [ "$perf" = yes ]; then
    echo "== where pkunzip's time goes, one pass over roms (load $(load))"
    perf record -q -g -o "$build/bench-perf.data" -- \
        "$build/spawnloop" --rounds 1 --only pkunzip "$pkunzip" "$scratch" "$corpus/roms"/*.ZIP \
        > /dev/null
    perf report -i "$build/bench-perf.data" --no-children --comms pkunzip --percentage relative \
        --sort dso,symbol --stdio --percent-limit 1 -g none 2> /dev/null |
        grep -v -e '^#' -e '^$' | cut -c 1-80
fi
rm -rf "$scratch"
