#!/usr/bin/python3
"""Writes the benchmark corpus, always the same for the same seed.

usage: make_corpus.py DIR [--roms N] [--tiny N] [--large-mb N]

DIR/roms/   N archives (default 2000) of 1 to 12 members of 4 KB to 2 MB,
            each member partly random, partly compressible, like ROM images
DIR/large/  one archive of about 500 MB
DIR/tiny/   N archives (default 5000) of one member under 1 KB
"""
import argparse
import math
import os
import random
import zipfile

SEED = 20240607
ALPHABET = bytes.maketrans(bytes(range(256)), bytes(b"\x00\x01\x02\x03\xff ABCD" * 32)[:256])


def member_data(rng, size):
    """Some random bytes, the rest from a few symbols: deflate halves it or so."""
    random_part = int(size * rng.uniform(0.2, 0.7))
    return rng.randbytes(random_part) + rng.randbytes(size - random_part).translate(ALPHABET)


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def write_archive(path, members):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for name, data in members:
            archive.writestr(name, data)


def make_roms(rng, folder, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        members = [(f"rom{i:04d}.{k:02d}", member_data(rng, log_uniform(rng, 4096, 2 << 20)))
                   for k in range(rng.randint(1, 12))]
        write_archive(os.path.join(folder, f"GAME{i:04d}.ZIP"), members)


def make_large(rng, folder, megabytes):
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "LARGE.ZIP")
    chunk = 50
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for k in range(0, megabytes, chunk):
            size = min(chunk, megabytes - k) << 20
            archive.writestr(f"disc/track{k // chunk:02d}.bin", member_data(rng, size))


def make_tiny(rng, folder, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        write_archive(os.path.join(folder, f"T{i:05d}.ZIP"),
                      [(f"t{i:05d}.txt", member_data(rng, rng.randint(16, 1000)))])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--roms", type=int, default=2000)
    parser.add_argument("--tiny", type=int, default=5000)
    parser.add_argument("--large-mb", type=int, default=500)
    options = parser.parse_args()
    rng = random.Random(SEED)
    make_roms(rng, os.path.join(options.dir, "roms"), options.roms)
    make_tiny(rng, os.path.join(options.dir, "tiny"), options.tiny)
    make_large(rng, os.path.join(options.dir, "large"), options.large_mb)


main()
