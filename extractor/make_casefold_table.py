#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""Writes the case folding table of pkunzip's thread plan, at build time,
from the Unicode database of the Python that runs it.

Code points joined by their simple upper and lower case mappings, followed
either way, are one letter to a file system that compares names in one
case (exFAT and NTFS through their up-case tables, FAT through its code
page): each gets the least code point of its group. Unsure are the code
points this database does not assign, which a newer one might give a case
partner, and those whose case mapping is several code points, for which
the simple mapping is not known here."""

import sys
import unicodedata

LAST = 0x10FFFF


def groups():
    """The least code point joined with each, by union-find."""
    parent = list(range(LAST + 1))

    def root(code):
        while parent[code] != code:
            parent[code] = parent[parent[code]]
            code = parent[code]
        return code

    for code in range(LAST + 1):
        for mapped in (chr(code).upper(), chr(code).lower()):
            if len(mapped) == 1:
                a, b = root(code), root(ord(mapped))
                parent[max(a, b)] = min(a, b)
    return [(code, root(code)) for code in range(LAST + 1) if root(code) != code]


def unsure_ranges():
    ranges = []
    for code in range(LAST + 1):
        character = chr(code)
        unsure = (unicodedata.category(character) == "Cn" or len(character.upper()) > 1
                  or len(character.lower()) > 1)
        if not unsure:
            continue
        if ranges and ranges[-1][1] == code - 1:
            ranges[-1][1] = code
        else:
            ranges.append([code, code])
    return ranges


def rows(items, per_line):
    return "\n".join("    " + " ".join(items[i:i + per_line]) for i in range(0, len(items), per_line))


def main():
    folds = ["{0x%X, 0x%X}," % pair for pair in groups()]
    unsure = ["{0x%X, 0x%X}," % tuple(pair) for pair in unsure_ranges()]
    with open(sys.argv[1], "w", encoding="ascii") as out:
        out.write("// Written at build time by make_casefold_table.py from Unicode %s.\n"
                  % unicodedata.unidata_version)
        out.write("constexpr CaseFold caseFolds[] = {\n%s\n};\n" % rows(folds, 6))
        out.write("constexpr CodeRange unsureCodes[] = {\n%s\n};\n" % rows(unsure, 6))


main()
