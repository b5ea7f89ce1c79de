#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""Writes the benchmark corpus, always the same for the same seed.

usage: make_corpus.py DIR [--roms N] [--tiny N] [--large-mb N] [--arcade N] [--many N]

DIR/roms/   N archives (default 400: about 230 MB in 1,540 files, 165 MB
            compressed) of 1 to 7 members of 4 KB to 800 KB, each member
            partly random, partly compressible, like ROM images
DIR/large/  one archive of about 500 MB in members of 50 MB
DIR/tiny/   N archives (default 5000) of one member under 1 KB
DIR/arcade/ N archive sets (default 300) of 16 to 96 members of 1 to 128 KB
DIR/many/   one archive of N members (default 30000) of 100 bytes to 20 KB
            in 300 folders, the shape of a large Java archive or of a whole
            collection in one archive
"""
import argparse
import math
import os
import random
import zipfile

SEED = 20240607
ALPHABET = bytes.maketrans(bytes(range(256)), bytes(b"\x00\x01\x02\x03\xff ABCD" * 32)[:256])


def member_data(rng, size):
    """Some random bytes, the rest from a few symbols: deflate keeps about 70%."""
    random_part = int(size * rng.uniform(0.2, 0.7))
    return rng.randbytes(random_part) + rng.randbytes(size - random_part).translate(ALPHABET)


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def write_archive(path, members):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for name, data in members:
            archive.writestr(name, data)


# Each part draws its shape (member counts and sizes) and its bytes from two
# generators of its own, so its shape does not depend on its bytes or on the
# other parts' sizes.
def generators():
    return random.Random(SEED), random.Random(SEED + 1)


def make_sets(folder, count, member_counts, member_sizes, archive_name, member_name):
    """count archives of a number of members drawn from member_counts, each of
    a size drawn from member_sizes; the names are formats of the archive's
    number i and the member's number k."""
    os.makedirs(folder, exist_ok=True)
    shape, content = generators()
    for i in range(count):
        sizes = [log_uniform(shape, *member_sizes) for _ in range(shape.randint(*member_counts))]
        members = [(member_name.format(i=i, k=k), member_data(content, size))
                   for k, size in enumerate(sizes)]
        write_archive(os.path.join(folder, archive_name.format(i=i)), members)


def make_roms(folder, count):
    make_sets(folder, count, (1, 7), (4096, 800 << 10), "GAME{i:04d}.ZIP", "rom{i:04d}.{k:02d}")


def make_large(folder, megabytes):
    os.makedirs(folder, exist_ok=True)
    _, content = generators()
    path = os.path.join(folder, "LARGE.ZIP")
    chunk = 50
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for k in range(0, megabytes, chunk):
            size = min(chunk, megabytes - k) << 20
            archive.writestr(f"disc/track{k // chunk:02d}.bin", member_data(content, size))


def make_tiny(folder, count):
    os.makedirs(folder, exist_ok=True)
    shape, content = generators()
    for i in range(count):
        write_archive(os.path.join(folder, f"T{i:05d}.ZIP"),
                      [(f"t{i:05d}.txt", member_data(content, shape.randint(16, 1000)))])


def make_arcade(folder, count):
    make_sets(folder, count, (16, 96), (1024, 128 << 10), "SET{i:03d}.ZIP", "{i:03d}-{k:02d}.rom")


def make_many(folder, count):
    os.makedirs(folder, exist_ok=True)
    shape, content = generators()
    members = [(f"pkg{k % 300:03d}/sub{k % 7}/Class{k:05d}.bin",
                member_data(content, log_uniform(shape, 100, 20 << 10))) for k in range(count)]
    write_archive(os.path.join(folder, "MANY.ZIP"), members)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--roms", type=int, default=400)
    parser.add_argument("--tiny", type=int, default=5000)
    parser.add_argument("--large-mb", type=int, default=500)
    parser.add_argument("--arcade", type=int, default=300)
    parser.add_argument("--many", type=int, default=30000)
    options = parser.parse_args()
    make_roms(os.path.join(options.dir, "roms"), options.roms)
    make_tiny(os.path.join(options.dir, "tiny"), options.tiny)
    make_large(os.path.join(options.dir, "large"), options.large_mb)
    make_arcade(os.path.join(options.dir, "arcade"), options.arcade)
    make_many(os.path.join(options.dir, "many"), options.many)


main()
