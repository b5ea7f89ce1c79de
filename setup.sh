#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Sets up a fresh Debian 12 machine for The Vrillo and builds it, then
#   ./setup.sh run      starts the program;
#   ./setup.sh package  builds the Debian package build/vrillo_<version>_amd64.deb;
#   ./setup.sh test     runs every test, the installed package's included.
# Packages are installed with apt-get, through sudo when not run as root.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
run | package | test) ;;
*)
    echo "usage: $0 run|package|test" >&2
    exit 2
    ;;
esac

# What the program needs to be built and to run.
run_packages=(
    # compiler and build
    g++ make cmake pkg-config
    # the program: Qt 6 Widgets and the fonts it draws with
    qt6-base-dev libgl-dev fonts-urw-base35 fonts-dejavu-core
    # the extractor: the compression libraries, libarchive (PPMd) and the
    # static libraries it links with
    libdeflate-dev libarchive-dev zlib1g-dev libbz2-dev liblzma-dev libzstd-dev liblz4-dev libb2-dev
    libacl1-dev libxml2-dev libssl-dev nettle-dev
    # the extractor's case-folding table, made from Python's Unicode database
    python3
)
# What building the Debian package adds: its dependencies (dpkg-shlibdeps)
# and the file type check cpack makes before computing them.
package_packages=(dpkg-dev file)
# What the tests add.
test_packages=(
    # archive makers, the X11 smoke test
    zip unzip 7zip zstd libarchive-tools xvfb xauth x11-utils imagemagick desktop-file-utils
    xclip
    # the formatting check reads the files git tracks
    git
    # tests that count the system calls pkunzip makes
    strace
    # the check that every C and C++ file is formatted as .clang-format says
    clang-format
    # tests on the drives users extract to: NTFS, exFAT and FAT32 images made
    # and mounted through the FUSE drivers a desktop uses (fuse3 comes along)
    ntfs-3g exfat-fuse exfatprogs fusefat dosfstools
    # fuzzing: clang 14 with libFuzzer and the sanitizer runtimes
    clang-14 libclang-rt-14-dev
    # the Debian package: checks of it and of its menu entry and metadata,
    # and the window driven for its test
    lintian appstream xdotool
)
case "$mode" in
run) packages=("${run_packages[@]}") ;;
package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
test) packages=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
esac

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}"

jobs=$(nproc)
# The program and its extractor alone, without the tests.
if [ "$mode" = run ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRILLO_TESTS=OFF
    cmake --build build -j"$jobs" --target vrillo pkunzip
    exec build/vrillo
fi

# The package holds only the program and pkunzip, so only they are built.
package() {
    cmake --build build -j"$jobs" --target vrillo_packaged pkunzip_packaged
    (cd build && cpack)
}

if [ "$mode" = package ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRILLO_TESTS=OFF
    package
    exit
fi

# Every tracked C and C++ file as clang-format writes it.
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRILLO_WERROR=ON -DVRILLO_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

# The package as a user meets it: installed, run and saved from as an
# ordinary user, then removed again. No lintian errors are allowed, nor a
# program built without the distribution's hardening.
rm -f build/vrillo_*.deb
package
lintian --fail-on error build/vrillo_*.deb
lintian --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro \
    --fail-on info build/vrillo_*.deb
"${sudo[@]}" tests/package/installed.sh build/vrillo_*.deb

# Every fuzzer for a short while on its seed corpus.
fuzz/run.sh 30

# pkunzip's threads under ThreadSanitizer, on its black-box tests.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRILLO_WERROR=ON -DVRILLO_SANITIZE_THREADS=ON
cmake --build build-tsan -j"$jobs" --target pkunziptest
ctest --test-dir build-tsan --output-on-failure -R '^pkunziptest$'

# The same tests on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer: any report, a leak included, fails its test.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRILLO_WERROR=ON -DVRILLO_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure
