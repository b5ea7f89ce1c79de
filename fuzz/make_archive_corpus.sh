#!/usr/bin/env bash
# Refills fuzz/corpus/archive/ with the archives pkunzip's tests are made of
# (real tools' output and hand-made hostile ones, a few hundred bytes each).
# Run by hand when those tests gain new kinds of archive; the result is
# committed.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 tests/extractor/make_archives.py "$work"
# "-x.zip" is whole.zip again under a name that reads as an option.
rm -f "$work/-x.zip"
rm -rf fuzz/corpus/archive
mkdir -p fuzz/corpus/archive
cp "$work"/*.zip fuzz/corpus/archive/
