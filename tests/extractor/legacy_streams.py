#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""usage: legacy_streams.py DIRECTORY
Test-only encoders for Shrink, Reduce and Implode, which no tool here writes,
and the decoder tests' streams: NAME.in a member's compressed bytes (Deflate64
by 7zz), NAME.out its data, whose size is declared even when NAME.in is damaged.
"""
import collections
import os
import random
import subprocess
import sys
import tempfile
import zipfile


class Bits:
    """A stream of bits, lowest first in each byte."""
    def __init__(self):
        self.value, self.count = 0, 0

    def put(self, value, width):
        self.value |= value << self.count
        self.count += width

    def code(self, code, length):
        """A prefix code, most significant bit first."""
        for i in reversed(range(length)):
            self.put(code >> i & 1, 1)

    def bytes(self):
        return self.value.to_bytes((self.count + 7) // 8, "little")


def matches(data, window, shortest, longest, zeros_before=False):
    """Greedy: yields a byte or (distance, length) for each step."""
    recent, p = {}, 0
    while p < len(data):
        best = (0, 0)
        key = data[p:p + shortest]
        candidates = recent.get(key, [])[-8:]
        if zeros_before and key == bytes(len(key)):
            candidates = candidates + [-1]
        for q in candidates:
            if p - q > window:
                continue
            n = 0
            while n < longest and p + n < len(data) and \
                    (data[q + n] if q + n >= 0 else 0) == data[p + n]:
                n += 1
            best = max(best, (n, p - q))
        n = best[0] if best[0] >= shortest else 1
        for i in range(p, p + n):
            recent.setdefault(data[i:i + shortest], []).append(i)
        yield data[p] if n == 1 else (best[1], n)
        p += n


def shrink(data, clear_every):
    """LZW as Shrink writes it: the code size grows only on a 256,1 sequence,
    and after every clear_every codes 256,2 frees the codes no other code
    extends. Strings are found as the decoder's table holds them, by prefix
    code and byte: the entry made right after a clear takes the code just
    written as its prefix even when the clear freed it, and stands for
    whatever that code is made again."""
    out, size = Bits(), 9
    code_of, entry = {}, {}  # (prefix, byte) -> code, and back
    def emit(code):
        nonlocal size
        while code >= 1 << size:
            out.put(256, size), out.put(1, size)
            size += 1
        out.put(code, size)
    w, emitted, free = data[0], 0, 257
    for c in data[1:]:
        if (w, c) in code_of:
            w = code_of[w, c]
            continue
        emit(w)
        emitted += 1
        if emitted % clear_every == 0:
            out.put(256, size), out.put(2, size)
            for leaf in set(entry) - {prefix for prefix, _ in entry.values()}:
                del code_of[entry.pop(leaf)]
            free = 257
        while free in entry:
            free += 1
        if free < 8192:
            code_of[w, c], entry[free] = free, (w, c)
        w = c
    emit(w)
    return out.bytes()


def shannon_fano(lengths):
    """The codes the format assigns to a tree's code lengths."""
    order = sorted(range(len(lengths)), key=lambda i: lengths[i])
    codes, code, step, last = [0] * len(lengths), 0, 0, 0
    for i in reversed(order):
        code += step
        if lengths[i] != last:
            last, step = lengths[i], 1 << (16 - lengths[i])
        codes[i] = code >> (16 - lengths[i])
    return codes


def tree_bytes(lengths):
    runs = []
    for length in lengths:
        if runs and runs[-1][1] == length and runs[-1][0] < 16:
            runs[-1][0] += 1
        else:
            runs.append([1, length])
    return bytes([len(runs) - 1] + [(n - 1) << 4 | (l - 1) for n, l in runs])


# Complete code sets with codes longer than a first look-up resolves.
SMALL_TREE = [1, 2, 3, 4, 5] + [10] * 5 + [11] * 54
LITERAL_TREE = [(list(range(1, 8)) + [14] * 7 + [15] * 242)[i * 37 % 256] for i in range(256)]


def implode(data, flags, small_tree=SMALL_TREE):
    low = 7 if flags & 2 else 6
    literal_tree = flags & 4
    shortest = 3 if literal_tree else 2
    out = Bits()
    header = (tree_bytes(LITERAL_TREE) if literal_tree else b"") + tree_bytes(small_tree) * 2
    for byte in header:
        out.put(byte, 8)
    literals, small = shannon_fano(LITERAL_TREE), shannon_fano(small_tree)
    for step in matches(data, 64 << low, shortest, shortest + 63 + 255, zeros_before=True):
        if isinstance(step, int):
            out.put(1, 1)
            out.code(literals[step], LITERAL_TREE[step]) if literal_tree else out.put(step, 8)
            continue
        distance, length = step[0] - 1, step[1] - shortest
        out.put(0, 1), out.put(distance & ((1 << low) - 1), low)
        out.code(small[distance >> low], small_tree[distance >> low])
        out.code(small[min(length, 63)], small_tree[min(length, 63)])
        if length >= 63:
            out.put(length - 63, 8)
    return out.bytes()


def reduce(data, factor):
    """Copies marked by byte 144, then each byte coded against the follower
    set of the byte before it; the sets' sizes vary so that every index width
    is used."""
    length_mask = (1 << (8 - factor)) - 1
    stage = []
    for step in matches(data, 256 << factor, 4, 3 + length_mask + 255):
        if isinstance(step, int):
            stage += [144, 0] if step == 144 else [step]
            continue
        distance, extra = step[0] - 1, step[1] - 3
        top = (distance >> 8) << (8 - factor)
        stage += [144, top | min(extra, length_mask)]
        stage += [extra - length_mask] if extra >= length_mask else []
        stage.append(distance & 255)
    sets = {j: [] for j in range(256)}
    for (last, byte), _ in collections.Counter(zip([0] + stage, stage)).most_common():
        sets[last] += [byte] if len(sets[last]) < last % 33 else []
    out = Bits()
    for j in reversed(range(256)):
        out.put(len(sets[j]), 6)
        for byte in sets[j]:
            out.put(byte, 8)
    for last, byte in zip([0] + stage, stage):
        if sets[last]:
            hit = byte in sets[last]
            out.put(0 if hit else 1, 1)
            if hit:
                out.put(sets[last].index(byte), max(1, (len(sets[last]) - 1).bit_length()))
                continue
        out.put(byte, 8)
    return out.bytes()


def deflate64(data):
    with tempfile.TemporaryDirectory() as directory:
        plain, archive = os.path.join(directory, "data"), os.path.join(directory, "data.zip")
        with open(plain, "wb") as f:
            f.write(data)
        subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", "-mx=9", archive, plain],
                       check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            raw = f.read()
        info = zipfile.ZipFile(archive).infolist()[0]
    at = info.header_offset
    at += 30 + int.from_bytes(raw[at + 26:at + 28], "little") + \
        int.from_bytes(raw[at + 28:at + 30], "little")
    return raw[at:at + info.compress_size]


def sample(seed, size):
    """Zeros first, text-like repeats, every byte value, long runs, noise."""
    rng = random.Random(seed)
    words = [bytes(rng.choice(b"etaoin shrdlu\x90") for _ in range(rng.randint(2, 8)))
             for _ in range(60)]
    text = b" ".join(rng.choice(words) for _ in range(size // 6))
    return bytes(40) + text[:size] + bytes(range(256)) + b"\x90" * 9 + b"x" * 700 + \
        rng.randbytes(300) + text[:2000]


def streams(directory):
    data = sample(1, 12000)
    far = random.Random(2).randbytes(9000)
    cases = {
        "shrink": (shrink(data, 2000), data),
        "shrink_full_table": (shrink(data * 3, 8000), data * 3),
        "shrink_clears": (shrink(data, 37), data),
        "reduce_cut": (reduce(data, 2)[:800], data),
        "shrink_cut": (shrink(data, 2000)[:900], data),
        "implode_cut": (implode(data, 6)[:900], data),
    }
    # Distances past 32 KiB, stored and dynamic blocks; a fixed block.
    for name, plain in (("deflate64_far", far + random.Random(3).randbytes(50000) + far +
                         b"y" * 70000 + data), ("deflate64_fixed", b"short and fixed, fixed")):
        cases[name] = (deflate64(plain), plain)
    # 7zz writes no match past 257 bytes: length code 285 with 16 extra bits by hand.
    long_run = Bits()
    long_run.put(0b011, 3), long_run.code(0x30 + ord("y"), 8), long_run.code(0b11000101, 8)
    long_run.put(59997, 16), long_run.code(0, 5), long_run.code(0, 7)
    cases["deflate64_long"] = (long_run.bytes(), b"y" * 60001)
    cases["deflate64_cut"] = (cases["deflate64_far"][0][:30000], cases["deflate64_far"][1])
    # A dynamic block whose code length code has 19 codes of one bit; a
    # fixed block whose first symbol copies from before the start.
    cases["deflate64_bad_tree"] = (bytes([0x05, 0xe0, 0xff]) + bytes([0x49, 0x92, 0x24]) * 10,
                                   data)
    bad_distance = Bits()
    bad_distance.put(0b011, 3), bad_distance.code(0b0000001, 7), bad_distance.code(3, 5)
    cases["deflate64_bad_distance"] = (bad_distance.bytes(), data)
    for flags in (0, 2, 4, 6):
        cases[f"implode_{flags}"] = (implode(data, flags), data)
    for factor in (1, 2, 3, 4):
        cases[f"reduce_{factor}"] = (reduce(data, factor), data)
    cases["implode_bad_tree"] = (implode(data, 0, [5] * 64), data)
    cases["implode_short_tree"] = (implode(data, 0, [7] * 64), data)
    bad_code = Bits()
    bad_code.put(65, 9), bad_code.put(400, 9)
    cases["shrink_bad_code"] = (bad_code.bytes(), data)
    bad_index = Bits()
    for j in reversed(range(256)):
        bad_index.put(3 if j == 0 else 0, 6)
    bad_index.put(0x030201, 24), bad_index.put(0, 1), bad_index.put(3, 2)
    cases["reduce_bad_index"] = (bad_index.bytes(), data)
    cases["reduce_bad_set"] = (b"\x21" + bytes(300), data)
    for name, (packed, plain) in cases.items():
        for suffix, content in ((".in", packed), (".out", plain)):
            open(os.path.join(directory, name + suffix), "wb").write(content)


if __name__ == "__main__":
    os.makedirs(sys.argv[1], exist_ok=True)
    streams(os.path.abspath(sys.argv[1]))
