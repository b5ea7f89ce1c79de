#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
# Refills fuzz/corpus/archive/ and fuzz/corpus/reader/ with the archives
# pkunzip's tests are made of (real tools' output and hand-made hostile ones),
# all but the few large ones made to fill a file system or to need threads.
# Run by hand when those tests gain new kinds of archive; the result is
# committed.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 tests/extractor/make_archives.py "$work"
# "-x.zip" is whole.zip again under a name that reads as an option.
rm -f "$work/-x.zip"
for corpus in archive reader; do
    rm -rf fuzz/corpus/$corpus
    mkdir -p fuzz/corpus/$corpus
    find "$work" -maxdepth 1 -name '*.zip' -size -64k -exec cp {} fuzz/corpus/$corpus/ \;
done
