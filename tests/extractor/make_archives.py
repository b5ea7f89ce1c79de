#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""Builds the archives the pkunzip tests run on, into the directory given.

Ordinary archives come from real tools (Info-ZIP zip, Python's zipfile,
libarchive's bsdtar); hostile and damaged ones are written byte by byte here,
so each carries exactly the flaw under test.
"""
import bz2
import hashlib
import legacy_streams
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

OUT = sys.argv[1]
DOS_TIME = (2001 - 1980) << 25 | 2 << 21 | 3 << 16 | 4 << 11 | 5 << 5 | 6 // 2
UNIX = 3 << 8 | 30


def path(name):
    return os.path.join(OUT, name)


def deflate(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


class Member:
    """One member; descriptor ("signed" or "bare") puts its sizes after the
    data, zip64_compressed that size in a ZIP64 field alone; local and central
    override the method, crc, packed_size or size one header gives; host is
    the system it was made on (0 MS-DOS), Unix when it has a mode."""

    def __init__(self, name, data=b"", method=0, flags=0, mode=None, crc=None,
                 extra=b"", packed=None, local_name=None, offset=None, descriptor=None,
                 zip64_compressed=False, local=None, central=None, host=0):
        self.name = name if isinstance(name, bytes) else name.encode()
        self.data = data
        self.method = method
        self.flags = flags
        self.mode = mode
        self.crc = zlib.crc32(data) if crc is None else crc
        self.extra = extra
        if packed is None:
            packed = deflate(data) if method in (8, 9) else data
        self.packed = packed
        self.local_name = self.name if local_name is None else local_name
        self.offset = offset
        self.descriptor = descriptor
        if descriptor:
            self.flags |= 8
        self.zip64_compressed = zip64_compressed
        self.local = local or {}
        self.central = central or {}
        self.host = host

    def fields(self, packed_size, overrides):
        values = dict(method=self.method, crc=self.crc, packed_size=packed_size,
                      size=len(self.data))
        values.update(overrides)
        return struct.pack("<HHHIIII", 20, self.flags, values["method"], DOS_TIME, values["crc"],
                           values["packed_size"], values["size"])


def write_zip(name, members, directory_shift=0, room=None, order=None):
    """A plain ZIP: local headers, data, central directory, end record; the
    end record's offset of the directory directory_shift bytes short. With
    room, split into segments of that many bytes, NAME.z01 ... and NAME.zip,
    the central directory listing the members in the order given."""
    body = b""
    entries = []
    place = (lambda offset: divmod(offset, room)) if room else (lambda offset: (0, offset))
    for m in members:
        disk, offset = place(len(body) if m.offset is None else m.offset)
        made_by = UNIX if m.mode is not None else m.host << 8 | 20
        external = (m.mode << 16) if m.mode is not None else 0
        extra = m.extra
        packed_size = len(m.packed)
        if m.zip64_compressed:
            extra += struct.pack("<HHQ", 1, 8, packed_size)
            packed_size = 0xFFFFFFFF
        fields = m.fields(packed_size, m.central)
        no_sizes = dict(crc=0, packed_size=0, size=0) if m.descriptor else {}
        local_fields = m.fields(packed_size, {**no_sizes, **m.local})
        body += b"PK\x03\x04" + local_fields + struct.pack("<HH", len(m.local_name), len(extra))
        body += m.local_name + extra + m.packed
        if m.descriptor:
            body += (b"PK\x07\x08" if m.descriptor == "signed" else b"")
            body += struct.pack("<III", m.crc, len(m.packed), len(m.data))
        entries.append(b"PK\x01\x02" + struct.pack("<H", made_by) + fields + struct.pack(
            "<HHHHHII", len(m.name), len(extra), 0, disk, 0, external, offset) + m.name + extra)
    central = b"".join(entries[i] for i in order or range(len(entries)))
    directory_disk, directory = place(len(body) - directory_shift)
    last = (len(body) + len(central) + 21) // room if room else 0
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", last, directory_disk, len(members), len(members),
                                      len(central), directory, 0)
    data = body + central + end
    for number in range(last + 1):
        segment = name[:-4] + ".z%02d" % (number + 1) if number < last else name
        with open(path(segment), "wb") as f:
            f.write(data[number * room:(number + 1) * room] if room else data)
    return len(body), len(central)


def derive(source, name, change):
    with open(path(source), "rb") as f, open(path(name), "wb") as out:
        out.write(change(f.read()))


def zstd(data):
    return subprocess.run(["zstd", "-q", "-c"], input=data, stdout=subprocess.PIPE,
                          check=True).stdout


def unicode_path(raw_name, unicode_name, crc=None):
    crc = zlib.crc32(raw_name) if crc is None else crc
    data = b"\x01" + struct.pack("<I", crc) + unicode_name.encode()
    return struct.pack("<HH", 0x7075, len(data)) + data


def make_tree(root):
    os.makedirs(os.path.join(root, "docs", "empty"))
    os.makedirs(os.path.join(root, "bin"))
    files = {
        "readme.txt": b"hello\n" * 200,
        "docs/notes with blanks.txt": b"blanks\n",
        "docs/zero.dat": b"",
        "bin/random.bin": bytes((i * 7919 + 13) % 251 for i in range(70000)),
        "Pokémon ☆.txt": b"utf8\n",
    }
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
        os.utime(os.path.join(root, name), (981173106, 981173106))


def real_tool_archives():
    tree = path("tree")
    make_tree(tree)
    env = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run(["zip", "-qr", "-X", path("infozip.zip"), "."], cwd=tree, env=env, check=True)
    subprocess.run(["bsdtar", "--format", "zip", "-cf", path("bsdtar.zip"), "."], cwd=tree,
                   env=env, check=True)
    with zipfile.ZipFile(path("python.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("deflated.txt", "compressible " * 500)
        z.writestr(zipfile.ZipInfo("stored.txt", (2001, 2, 3, 4, 5, 6)), "stored")
        z.writestr("Ünïcödé flagged.txt", "flagged")
        z.writestr("dir/", "")
        z.writestr("dir/empty/", "")
    zipfile.ZipFile(path("empty.zip"), "w").close()
    with open(path("secret.txt"), "w") as f:
        f.write("secret\n")
    with open(path("plain.txt"), "w") as f:
        f.write("plain\n")
    subprocess.run(["zip", "-q", "-P", "password", path("encrypted.zip"), "secret.txt"],
                   cwd=OUT, check=True)
    subprocess.run(["zip", "-q", path("encrypted.zip"), "plain.txt"], cwd=OUT, check=True)
    os.remove(path("secret.txt"))
    os.remove(path("plain.txt"))
    shutil.rmtree(tree)


def name_archives():
    write_zip("raw_utf8.zip", [Member("Ελληνικά.txt".encode(), b"raw")])
    write_zip("cp437.zip", [Member(b"caf\x82 \x81ber.txt", b"cp437")])
    write_zip("unicode_field.zip",
              [Member(b"ete.txt", b"field", extra=unicode_path(b"ete.txt", "été.txt"))])
    write_zip("unicode_field_stale.zip",
              [Member(b"ete.txt", b"stale", extra=unicode_path(b"other", "été.txt"))])
    # Made on MS-DOS (the default host here) with "\\" between names, and on
    # Unix, where it is part of the name.
    write_zip("windows_separators.zip", [Member("d\\"), Member("d\\e\\"), Member("d\\e\\c.txt", b"c"),
                                         Member("keep\\name.txt", b"unix", mode=0o100644)])


def code_page_archives():
    """Names in the code page of the machine that wrote them, unflagged; each
    file holds its name in UTF-8."""
    def member(name, encoding, host=0, extra=b""):
        data = b"" if name[-1] in "/\\" else name.encode()
        return Member(name.encode(encoding), data, host=host, extra=extra)

    def names(archive, encoding, names, host=0):
        write_zip(archive, [member(name, encoding, host) for name in names])

    # 0x5C, a backslash, is the second byte of ソ, 表 and 能.
    japanese = ["ソニック.bin", "表紙/", "表紙/能力.txt", "一覧表"]
    names("sjis_dos.zip", "cp932", japanese + ["ゲーム\\", "ゲーム\\セーブ.dat"])
    names("sjis_ntfs.zip", "cp932", japanese + ["ｿﾆｯｸ\\", "ｿﾆｯｸ\\能力表.txt"], host=11)
    names("cp437_accents.zip", "cp437",
          ["Café.txt", "Ölfässer.txt", "Größe/", "Größe/Straße.txt"])
    names("cp866.zip", "cp866", ["Привет.txt", "документы/", "документы/отчёт.doc"])
    # 0x82 (é) ends Café.txt, which is then no Shift-JIS: all are CP437.
    write_zip("sjis_and_cp437.zip", [Member("テスト.txt".encode("cp932"), b"sjis"),
                                      member("Café.txt", "cp437")])
    # The field names one; its raw name, no Shift-JIS, is then no evidence.
    cafe = "Café.txt".encode("cp437")
    write_zip("sjis_unicode_field.zip", [
        member("ソニック.bin", "cp932"),
        Member(cafe, b"field", extra=unicode_path(cafe, "カフェ.txt"))])


def hostile_archives():
    ok = Member("good.txt", b"good")
    write_zip("dotdot.zip", [Member("../evil.txt", b"x"), Member("a/../../evil2.txt", b"x"), ok])
    write_zip("absolute.zip", [Member(os.path.join(OUT, "absolute-evil.txt"), b"x"), ok])
    write_zip("backslash.zip", [Member("..\\..\\evil.txt", b"x"), Member("a\\..\\..\\evil3", b"x"),
                                ok])
    write_zip("escaping_link.zip", [
        Member("up", b"../outside", mode=0o120777),
        Member("abs", b"/etc", mode=0o120777),
        Member("sneaky", b"sub/../../x", mode=0o120777),
        Member("sub/inside", b"../good.txt", mode=0o120777),
        ok])
    write_zip("inner_dotdot_link.zip", [
        Member("d/in", b"../d/./a/b/c/../../../g", mode=0o120777),
        Member("d/out", b"a/../../../x", mode=0o120777),
        Member("here", b".", mode=0o120777),
        Member("through", b"here/../escape", mode=0o120777),
        Member("d/back", b"../here/..", mode=0o120777),
        ok])
    write_zip("through_link.zip", [
        Member("real/", mode=0o40755),
        Member("alias", b"real", mode=0o120777),
        Member("alias/planted.txt", b"x"),
        Member("alias", b"x")])
    write_zip("user_link.zip", [Member("victim", b"overwritten"), Member("userdir/planted", b"x"),
                                ok])
    write_zip("duplicate.zip", [Member("dup.txt", b"first"), Member("dup.txt", b"second"), ok])
    write_zip("bad_crc.zip", [Member("bad.txt", b"payload" * 100, method=8, crc=0x12345678),
                              Member("stored_bad.txt", b"stored", crc=0x1), ok])
    cut = deflate(b"truncated data " * 4000)
    write_zip("corrupt_member.zip", [
        Member("cut.txt", b"truncated data " * 4000, method=8, packed=cut[:len(cut) // 2]),
        Member("garbage.txt", b"y" * 5000, method=8, packed=b"\xff" * 40),
        ok])
    write_zip("modes_and_times.zip", [Member("tool", b"#!/bin/sh\n", mode=0o106755),
                             Member("plain", b"p", mode=0o100600),
                             Member("dated/", mode=0o40755),
                             Member("dated/inside.txt", b"in", mode=0o100644)])
    write_zip("big.zip", [Member("big.bin", b"z" * 200000, method=8), ok])
    body, central = write_zip("whole.zip", [Member("one.txt", b"1" * 3000, method=8),
                                            Member("two.txt", b"2" * 3000, method=8)])
    data = open(path("whole.zip"), "rb").read()
    with open(path("cut_in_member.zip"), "wb") as f:
        f.write(data[:body - 5])
    with open(path("cut_in_central.zip"), "wb") as f:
        f.write(data[:body + central // 2])
    with open(path("not_a_zip.zip"), "w") as f:
        f.write("This is a text file, not an archive.\n" * 10)
    open(path("empty_file.zip"), "w").close()
    shutil.copy(path("whole.zip"), path("-x.zip"))


def layout_archives():
    """ZIP64, stubs, data descriptors, odd extra fields, archives cut short."""
    source = path("zip64src")
    os.makedirs(source)
    with open(os.path.join(source, "a.txt"), "wb") as f:
        f.write(b"zip64 text\n" * 300)
    with open(os.path.join(source, "b.bin"), "wb") as f:
        f.write(random.Random(64).randbytes(5000))
    subprocess.run(["zip", "-q", "-fz", path("zip64.zip"), "a.txt", "b.bin"], cwd=source,
                   check=True)
    # Read from a pipe and written to one, zip can seek neither way: a ZIP64
    # field in the local header and the sizes after the data.
    subprocess.run("zip -q - - < a.txt | cat > " + path("zip64_pipe.zip"), shell=True,
                   cwd=source, check=True)
    shutil.rmtree(source)
    # A made-up self-extractor stub, the offsets left as they were.
    derive("zip64.zip", "zip64_stub.zip", lambda data: b"MZ" + bytes(range(256)) * 4 + data)
    derive("whole.zip", "stub.zip", lambda data: b"MZ" + bytes(range(256)) * 4 + data)
    derive("zip64_pipe.zip", "zip64_pipe_cut.zip", lambda d: d[:d.rindex(b"PK\x01\x02") + 30])

    text = b"sizes after the data " * 300
    write_zip("zip64_compressed_only.zip",
              [Member("big.txt", text, method=8, zip64_compressed=True), Member("x.txt", b"x")])
    body, _ = write_zip("descriptors.zip", [
        Member("signed.txt", text, method=8, descriptor="signed"),
        Member("bare.txt", text[:2000], method=8, descriptor="bare"),
        Member("plain.txt", b"plain")])
    derive("descriptors.zip", "descriptors_cut.zip", lambda data: data[:body + 10])
    body, _ = write_zip("found_again.zip", [
        Member("broken.txt", text, method=8, descriptor="signed", packed=b"\x02" * 300),
        Member("after.txt", text, method=8, descriptor="bare")])
    derive("found_again.zip", "found_again_cut.zip", lambda data: data[:body + 10])
    overrunning = struct.pack("<HH", 0x5455, 100) + b"\x01abc"
    short_zip64 = struct.pack("<HH", 1, 3) + b"abc"
    write_zip("odd_extra_fields.zip", [Member("over.txt", b"over", extra=overrunning),
                                       Member("short.txt", b"short", extra=short_zip64)])
    rng = random.Random(3)
    write_zip("space.zip", [Member("first.bin", rng.randbytes(2 << 20)),
                            Member("second.bin", rng.randbytes(2 << 20)),
                            Member("small.txt", b"small\n")])


def legacy_method_archives():
    """Members in the methods pkunzip decodes by itself, whole and damaged."""
    data = legacy_streams.sample(5, 3000)[:6000]
    far = random.Random(6).randbytes(40000)
    far += data + far
    write_zip("legacy_methods.zip", [
        Member("deflate64.bin", far, method=9, packed=legacy_streams.deflate64(far)),
        Member("imploded.txt", data, method=6, flags=6, packed=legacy_streams.implode(data, 6)),
        Member("reduced.txt", data, method=5, packed=legacy_streams.reduce(data, 4)),
        Member("shrunk.txt", data, method=1, packed=legacy_streams.shrink(data, 500))])
    write_zip("legacy_damaged.zip", [
        Member("cut.txt", data, method=1, packed=legacy_streams.shrink(data, 500)[:300]),
        Member("bad_tree.txt", data, method=6, packed=legacy_streams.implode(data, 0, [5] * 64)),
        # Deflate's length code 285 means 258; to Deflate64 it takes 16 bits more.
        Member("d64.txt", b"deflate64 " * 100, method=9),
        Member("after.txt", data, method=2, packed=legacy_streams.reduce(data, 1))])


def method_archives():
    """A short member and a long one for each method pkunzip decodes besides
    Store and Deflate: 7-Zip writes BZip2, LZMA and PPMd; XZ and Zstandard
    members are written here around the compressors' own output."""
    short = b"short\n"
    long = bytes((i * 7919 + 13) % 251 for i in range(70000)) + b"repeated " * 3000
    folder = path("methods")
    os.makedirs(folder)
    for name, data in (("short.txt", short), ("long.bin", long)):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    for method in ("BZip2", "LZMA", "PPMd"):
        subprocess.run(["7zz", "a", "-bso0", "-tzip", "-mm=" + method,
                        path("7zip_%s.zip" % method.lower()), "short.txt", "long.bin"],
                       cwd=folder, check=True)
    shutil.rmtree(folder)

    xz = lzma.compress
    write_zip("xz.zip", [Member("short.txt", short, method=95, packed=xz(short)),
                         Member("long.bin", long, method=95, packed=xz(long))])
    write_zip("zstd.zip", [Member("short.txt", short, method=93, packed=zstd(short)),
                           Member("long.bin", long, method=93, packed=zstd(long))])
    with zipfile.ZipFile(path("python_lzma.zip"), "w", zipfile.ZIP_LZMA) as z:
        z.writestr("empty.txt", b"")
        z.writestr("short.txt", short)


def kernel_name_archives():
    """Names whose bytes the kernel reads otherwise than a check of the whole
    string would: it stops at a NUL byte, so "..\0x" is "..". And names that
    cost memory or time with their depth."""
    ok = Member("good.txt", b"good")
    write_zip("nul_names.zip", [
        Member(b"..\0x/evil1.txt", b"x"),
        Member(b"..\0/..\0/evil2.txt", b"x"),
        Member(b"..\0/evildir/"),
        Member(b"innocent.txt", b"x",
               extra=unicode_path(b"innocent.txt", "..\0/evil4.txt")),
        Member(b"link", b"..\0", mode=0o120777),
        ok])
    rng = random.Random(19)
    write_zip("nul_same_file.zip", [
        Member(b"dup\0one", rom_bytes(rng, 3 << 20), method=8),
        Member(b"dup\0two", b"second"), ok])
    write_zip("folded_same_file.zip", [Member("A.BIN", rom_bytes(rng, 3 << 20), method=8),
                                       Member("a.bin", b"second")])
    write_zip("trailing_dot.zip", [Member("a.bin", rom_bytes(rng, 3 << 20), method=8),
                                   Member("a.bin. ", b"second")])
    write_zip("folded_accent.zip", [Member("É.BIN", rom_bytes(rng, 3 << 20), method=8, flags=0x800),
                                    Member("é.bin", b"second", flags=0x800)])
    write_zip("apart.zip", [Member("A.BIN", rom_bytes(rng, 3 << 20), method=8),
                            Member("b.bin", b"second")])
    write_zip("deep_names.zip", [Member("a/" * 32000 + "x%d.txt" % i, b"x") for i in range(3)]
              + [Member("b" * 256 + "/long.txt", b"x"), ok])
    write_zip("deep_failing.zip", [Member("a/" * 500 + "x.bin", b"x" * 100, crc=1), ok])
    # A raw name of 62,000 bytes, named short by its Unicode Path field, and a
    # compressed size of 2 GB that both headers declare.
    long_raw = b"a" * 62000
    two_gb = {"packed_size": 0x7FFFFFFF}
    write_zip("long_raw_name.zip", [
        ok, Member(long_raw, b"x", extra=unicode_path(long_raw, "big.txt"), central=two_gb,
                   local=two_gb)])

    # A stub of 64 MiB that is one local header signature every 15 bytes,
    # each followed by what reads as a name of 65,535 bytes; five central
    # entries, their offsets one byte off, bear names that match those all
    # but their last byte.
    period = b"PK\x03\x04\xff\xff\xf0abcd\xff\xff\x01\x01"
    near = [(period * 4370)[:65534] + bytes([0x41 + i]) for i in range(5)]
    write_zip("near_names.zip", [ok] + [Member(name, offset=43 + i * (30 + len(name)))
                                        for i, name in enumerate(near)])
    data = open(path("near_names.zip"), "rb").read()
    with open(path("near_names.zip"), "wb") as f:
        f.write(period * ((64 << 20) // len(period)) + data)


def drive_archives():
    """For FAT32, exFAT and NTFS drives: many members, names the drives refuse
    and names that some of them fold into one."""
    rng = random.Random(26)
    write_zip("drive.zip", [Member("roms/GAME%02d.BIN" % i, rom_bytes(rng, 3000 + 500 * i), method=8)
                            for i in range(24)] + [Member("readme.txt", b"readme")])
    write_zip("refused.zip", [Member("a?b.txt", b"x"), Member('q"x/in.txt', b"x"),
                              Member("ok.txt", b"ok")])
    write_zip("twins.zip", [Member("dup.txt", b"first"), Member("dup.txt", b"second"),
                            Member("ROM.BIN", b"first"), Member("rom.bin", b"second"),
                            Member("É.BIN", b"first", flags=0x800),
                            Member("é.bin", b"second", flags=0x800)])
    # Large enough for threads; each folder's first spelling holds a member
    # that fails, and a drive that folds case takes the second for the same.
    pairs = []
    for i in range(40):
        pairs += [Member("F%d/a" % i, b"bad", crc=0x12345678), Member("f%d/b" % i, b"good")]
    write_zip("folder_twins.zip", [Member("pad.bin", rng.randbytes(300 * 1024))] + pairs)


def rom_bytes(rng, size):
    """Half random, half repetitive, so inflate has both kinds of work."""
    half = size // 2
    return rng.randbytes(half) + (b"ROM " * (size // 8 + 1))[:size - half]


class Expected:
    """What extracting an archive must give, written beside it as NAME.expected:
    "out:" and "err:" lines in the order pkunzip prints them ("err:" holds a part
    of the problem line), "tree:" entries as the test describes a tree, and
    "sha1:" with each file left and its digest."""

    def __init__(self):
        self.lines = []

    def file(self, name, data):
        self.lines += [f"out:{name}", f"tree:{name}=<{len(data)} bytes>",
                       f"sha1:{name} {hashlib.sha1(data).hexdigest()}"]

    def directory(self, name):
        self.lines += [f"out:{name}/", f"tree:{name}/"]

    def problem(self, part):
        self.lines.append(f"err:{part}")

    def write(self, name):
        with open(path(name + ".expected"), "w", encoding="utf-8") as f:
            f.write("\n".join(self.lines) + "\n")


def side_by_side_archive(name, folders, flags=0):
    """Many members, several large, over the size at which pkunzip extracts on
    several threads, with failing and refused members among them."""
    rng = random.Random(name)
    members = []
    expected = Expected()
    for tree_folder in folders:
        expected.lines.append(f"tree:{tree_folder}/")
    for i in range(36):
        folder = folders[i % 4]
        data = rom_bytes(rng, 90000 if i % 9 == 0 else rng.randint(1000, 40000))
        members.append(Member(f"{folder}/rom{i:02d}.bin", data, method=8, flags=flags))
        expected.file(f"{folder}/rom{i:02d}.bin", data)
        if i == 4:
            members.append(Member("lost/only.bin", rom_bytes(rng, 5000), method=8,
                                  crc=0x12345678))
            expected.problem("lost/only.bin: ")
        elif i == 9:
            members.append(Member(f"{folders[1]}/bad.bin", rom_bytes(rng, 3000), method=8,
                                  flags=flags, crc=0x12345678))
            expected.problem(f"{folders[1]}/bad.bin: ")
        elif i == 14:
            members.append(Member(f"{folders[2]}/", mode=0o40755, flags=flags))
            expected.lines.append(f"out:{folders[2]}/")
        elif i == 19:
            members.append(Member("../evil.bin", b"x"))
            expected.problem("../evil.bin: ")
        elif i == 24:
            members.append(Member(f"{folders[3]}/cut.bin", b"y" * 5000, method=8, flags=flags,
                                  packed=b"\xff" * 40))
            expected.problem(f"{folders[3]}/cut.bin: ")
        elif i == 29:
            members.append(Member("empty/", mode=0o40755))
            expected.directory("empty")
        elif i == 31:
            # The failing member makes the directory; a larger one is still
            # being written into it by another thread when the failure comes.
            fresh = rom_bytes(rng, 300000)
            members += [Member("fresh/a.bin", rom_bytes(rng, 100000), method=8, crc=0x12345678),
                        Member("fresh/b.bin", fresh, method=8)]
            expected.problem("fresh/a.bin: ")
            expected.lines.append("tree:fresh/")
            expected.file("fresh/b.bin", fresh)
    write_zip(name, members)
    expected.write(name)


def meeting_names_archive():
    """Members whose paths meet, each time a slow member first and a quick one
    after: extracted side by side the later could win."""
    rng = random.Random(7)
    first, file_x = rom_bytes(rng, 300000), rom_bytes(rng, 300000)
    write_zip("meeting_names.zip", [Member("dup.bin", first, method=8),
                                    Member("dup.bin", b"second"),
                                    Member("x", file_x, method=8),
                                    Member("x/y", b"y")])
    expected = Expected()
    expected.file("dup.bin", first)
    expected.problem("dup.bin: already exists")
    expected.file("x", file_x)
    expected.problem("x/y: ")
    expected.write("meeting_names.zip")


def stream_archives():
    """Streams other extractors decode that take more than the plainest
    reading of their format: Shrink cleared after any code, XZ streams and
    Zstandard frames one after another in a member."""
    data = legacy_streams.sample(7, 6000)
    write_zip("shrink_clears.zip", [
        Member("cleared.txt", data, method=1, packed=legacy_streams.shrink(data, 37))])
    first, second = data[:5000], data[5000:]
    skippable = struct.pack("<II", 0x184D2A50, 5) + b"notes"
    write_zip("joined_streams.zip", [
        Member("two.xz.txt", data, method=95, packed=lzma.compress(first) + lzma.compress(second)),
        Member("two.zst.txt", data, method=93, packed=zstd(first) + zstd(second)),
        Member("skippable.zst.txt", data, method=93, packed=skippable + zstd(data))])


def nested_archives():
    """An archive holding a stored ZIP, its own end cut off or damaged: what
    is left must not pass for the inner archive. Also an archive followed by
    bytes, and a stub holding a stray local header signature."""
    folder = path("nested")
    os.makedirs(folder)
    write_zip(os.path.join(folder, "inner.zip"),
              [Member("inner_only.bin", random.Random(1).randbytes(3000))])
    big = random.Random(2).randbytes(20000)
    for name, data in (("big.bin", big), ("outer.txt", b"outer\n")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    # zip stores a .zip as it is.
    subprocess.run(["zip", "-q", "-X", path("nested.zip"), "big.bin", "inner.zip", "outer.txt"],
                   cwd=folder, check=True)

    class Pipe:
        """Where Python's zipfile writes as to a pipe: it cannot seek or tell."""
        data = b""

        def write(self, data):
            self.data += data
            return len(data)

        def flush(self):
            pass
    pipe = Pipe()
    with zipfile.ZipFile(pipe, "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("big.bin", "inner.zip", "outer.txt"):
            z.write(os.path.join(folder, name), name,
                    zipfile.ZIP_STORED if name == "inner.zip" else None)
    with open(path("nested_pipe_cut.zip"), "wb") as f:
        f.write(pipe.data[:-60])
    shutil.rmtree(folder)

    def flip_end_signature(data):
        at = data.rindex(b"PK\x05\x06")
        return data[:at] + bytes([data[at] ^ 1]) + data[at + 1:]

    def wrong_comment_length(data):
        at = data.rindex(b"PK\x05\x06") + 20
        return data[:at] + struct.pack("<H", 7) + data[at + 2:]
    derive("nested.zip", "nested_cut.zip", lambda data: data[:-60])
    derive("nested.zip", "nested_flipped_end.zip", flip_end_signature)
    derive("nested.zip", "nested_comment_length.zip", wrong_comment_length)
    derive("whole.zip", "trailing_bytes.zip", lambda data: data + b"\x1a" * 100)
    derive("whole.zip", "joined.zip", lambda data: data + open(path("raw_utf8.zip"), "rb").read())
    derive("whole.zip", "trailing_signature.zip", lambda data: data + b"PK\x03\x04" + bytes(100))
    derive("whole.zip", "stray_signature_stub.zip",
           lambda data: b"MZ" + bytes(300) + b"PK\x03\x04" + b"\xff" * 300 + data)


def local_header(name, crc, packed_size, size, method=8, extra=b""):
    return b"PK\x03\x04" + struct.pack("<HHHIIIIHH", 20, 0, method, DOS_TIME, crc, packed_size,
                                       size, len(name), len(extra)) + name + extra


def central_header(name, crc, packed_size, size, offset, method=8, extra=b""):
    return b"PK\x01\x02" + struct.pack("<HHHHIIIIHHHHHII", 20, 20, 0, method, DOS_TIME, crc,
                                       packed_size, size, len(name), len(extra), 0, 0, 0, 0,
                                       offset) + name + extra


def write_laid_out(name, body, central, count):
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, count, count, len(central), len(body), 0)
    with open(path(name), "wb") as f:
        f.write(body + central + end)


def overlapping_archives():
    """Members that share bytes: each written in full, they would make the
    few kilobytes of the archive into many megabytes."""
    shared = bytes(1 << 20)
    stream = deflate(shared)
    # Twenty members, each one's data a stored block quoting the next
    # member's local header, then the next member's data: all end in one
    # stream.
    data, quoted, headers = stream, b"", []
    for i in reversed(range(20)):
        name = b"file%02d" % i
        crc = zlib.crc32(shared, zlib.crc32(quoted))
        header = local_header(name, crc, len(data), len(quoted) + len(shared))
        headers.insert(0, (name, crc, len(data), len(quoted) + len(shared)))
        if i > 0:
            data = b"\x00" + struct.pack("<HH", len(header), len(header) ^ 0xFFFF) + header + data
            quoted = header + quoted
    body = header + data
    central, offset = b"", 0
    for name, crc, packed_size, size in headers:
        central += central_header(name, crc, packed_size, size, offset)
        offset += len(local_header(name, crc, packed_size, size)) + 5
    write_laid_out("quoted_overlap.zip", body, central, 20)
    # Cut before its central directory, the same archive is walked.
    with open(path("quoted_overlap_cut.zip"), "wb") as f:
        f.write(body + b"cut")

    # One member twice: the second copy named otherwise by a Unicode Path field.
    crc = zlib.crc32(shared)
    good = local_header(b"good.txt", zlib.crc32(b"good"), 4, 4, method=0) + b"good"
    body = local_header(b"same.bin", crc, len(stream), len(shared)) + stream
    central = central_header(b"same.bin", crc, len(stream), len(shared), 0)
    central += central_header(b"same.bin", crc, len(stream), len(shared), 0,
                              extra=unicode_path(b"same.bin", "copy.bin"))
    central += central_header(b"good.txt", zlib.crc32(b"good"), 4, 4, len(body), method=0)
    write_laid_out("same_header.zip", body + good, central, 3)

    # The second member's local header lies in the first one's extra field:
    # both members' data start at the same byte.
    inside = local_header(b"inner.bin", crc, len(stream), len(shared))
    carrier = struct.pack("<HH", 0xCAFE, len(inside)) + inside
    outer = local_header(b"outer.bin", crc, len(stream), len(shared), extra=carrier)
    body = outer + stream
    central = central_header(b"outer.bin", crc, len(stream), len(shared), 0, extra=carrier)
    central += central_header(b"inner.bin", crc, len(stream), len(shared), len(outer) - len(inside))
    central += central_header(b"good.txt", zlib.crc32(b"good"), 4, 4, len(body), method=0)
    write_laid_out("header_in_extra.zip", body + good, central, 3)


def split_archives():
    """An archive Info-ZIP splits into segments of 64 KB, split.z01 to split.z04
    beside split.zip: a.bin runs from the first into the second, c.bin from
    the second through the third into the fourth. Then copies of it under
    other names: the second segment missing, the third cut short, the first a
    FIFO, and every segment's extension in capitals."""
    folder = path("split")
    os.makedirs(folder)
    rng = random.Random(20)
    members = {"a.bin": rng.randbytes(100000), "b.txt": b"split\n" * 5000,
               "c.bin": rng.randbytes(150000), "d.txt": b"d\n", "e.bin": rom_bytes(rng, 60000)}
    for name, data in members.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    subprocess.run(["zip", "-q", "-X", "-s", "64k", path("split.zip"), *members], cwd=folder,
                   check=True)
    shutil.rmtree(folder)
    variants = (("split_missing.zip", {2: None}), ("split_cut.zip", {3: lambda d: d[:-3000]}),
                ("split_fifo.zip", {1: None}), ("caps.ZIP", {}))
    for name, changes in variants:
        shutil.copy(path("split.zip"), path(name))
        stem, letter = name[:-4], name[-3]
        for number in range(1, 5):
            change = changes.get(number, lambda data: data)
            if change:
                derive("split.z%02d" % number, "%s.%s%02d" % (stem, letter, number), change)
    os.mkfifo(path("split_fifo.z01"))

    def second_of_two(data):
        """The end record claims the second segment of two, and the central
        directory with it; the entry's header stays on the first."""
        at = data.rindex(b"PK\x05\x06")
        return data[:at + 4] + struct.pack("<HH", 1, 1) + data[at + 8:]
    derive("whole.zip", "claims_second_segment.zip", second_of_two)


# Magic, no flags, window log 10 + 18, one raw block of "x".
HUGE_WINDOW_FRAME = bytes.fromhex("28b52ffd0090090000") + b"x"


def disagreeing_archives():
    """Local headers that disagree with the central directory, where the data
    tells which is right, or neither is; local headers not where the offsets
    say; stored members whose sizes follow their data, walked."""
    text = b"which header is right? " * 100
    write_zip("disagreeing.zip", [
        Member("central_method.txt", text, central={"method": 8}),
        Member("shrunk_or_stored.txt", text, central={"method": 1}),
        Member("central_crc.txt", text, method=8, central={"crc": 0x12345678}),
        Member("central_size.txt", text, method=8, central={"size": len(text) + 1}),
        Member("central_packed_short.txt", text, method=8,
               central={"packed_size": len(deflate(text)) - 10}),
        Member("local_sizes.txt", text, method=8, local={"packed_size": 3, "size": 7}),
        Member("local_crc.txt", text, local={"crc": 1}),
        Member("central_name.txt", b"named", local_name=b"local_name.txt")])
    # The central directory's compressed size would take its first byte.
    write_zip("central_packed_long.zip", [Member("one.txt", b"1", central={"packed_size": 2})])
    saturated = {"packed_size": 0xFFFFFFFF, "size": 0xFFFFFFFF}
    write_zip("zip64_local_compressed_only.zip",
              [Member("big.txt", text, method=8, zip64_compressed=True, local=saturated)])
    # Read as its local header says, quoting.txt would take the next member's
    # header and data for its own.
    quoted = b"x" + local_header(b"last.txt", zlib.crc32(b"last"), 4, 4, method=0) + b"last"
    write_zip("bad_local_headers.zip", [
        Member("first.txt", b"first"),
        Member("past_end.txt", b"x", offset=1 << 30),
        Member("neither.txt", text, method=8, crc=1, local={"crc": 2}),
        # A Zstandard frame asking for a 256 MiB window: decoding it as the
        # central directory says runs out of the memory allowed, which the
        # local header's account of the bytes, stored, would not change.
        Member("huge_window.zst", b"x" * 16, method=93, packed=HUGE_WINDOW_FRAME,
               local={"method": 0, "crc": zlib.crc32(HUGE_WINDOW_FRAME),
                      "size": len(HUGE_WINDOW_FRAME)}),
        Member("quoting.txt", b"x", central={"crc": 0},
               local={"packed_size": len(quoted), "size": len(quoted), "crc": zlib.crc32(quoted)}),
        Member("last.txt", b"last")])

    # Descriptors inserted after the data, the offsets left as they were.
    first, second = b"first\n" * 50, b"second\n" * 50
    for descriptor, length in (("signed", 16), ("bare", 12)):
        write_zip("moved_%s.zip" % descriptor, [
            Member("first.txt", first, descriptor=descriptor),
            Member("second.txt", second, descriptor=descriptor, offset=30 + 9 + len(first))],
            directory_shift=2 * length)

    third = b"third\n" * 50
    write_zip("moved_three.zip", [
        Member("first.txt", first, descriptor="signed"),
        Member("second.txt", second, descriptor="signed", offset=39 + len(first)),
        Member("third.txt", third, descriptor="signed",
               offset=39 + len(first) + 40 + len(second))], directory_shift=3 * 16)

    decoy = b"PK\x07\x08" + struct.pack("<III", 0xDEADBEEF, 100, 100)
    body, _ = write_zip("stored_descriptors.zip", [
        Member("signed.bin", b"s" * 100 + decoy + b"after the decoy", descriptor="signed"),
        Member("bare.bin", bytes(12) + b"as an empty member's descriptor" * 2, descriptor="bare"),
        Member("plain.txt", b"plain")])
    derive("stored_descriptors.zip", "stored_descriptors_cut.zip", lambda data: data[:body + 10])
    with open(path("signature_then_garbage.zip"), "wb") as f:
        f.write(b"PK\x03\x04" + b"\xff" * 200)


def overdeclared_archives():
    """Members whose data decode to 1 MiB where a declaration they must keep
    to says 10 bytes: a walked member's data descriptor, or a central
    directory entry whose local header claims the 1 MiB."""
    zeros, ten = bytes(1 << 20), b"0123456789"
    good = Member("good.txt", b"good")
    for name, method, packed in (("walked_deflate.zip", 8, deflate(zeros)),
                                 ("walked_bzip2.zip", 12, bz2.compress(zeros))):
        body, _ = write_zip(name, [good, Member("bomb.bin", ten, method=method, packed=packed,
                                                descriptor="bare")])
        os.truncate(path(name), body + 10)
    write_zip("local_larger.zip", [good, Member("bomb.bin", zeros, method=8,
                                                central={"crc": 1, "size": 10})])


os.makedirs(OUT, exist_ok=True)
real_tool_archives()
name_archives()
code_page_archives()
hostile_archives()
kernel_name_archives()
drive_archives()
legacy_method_archives()
method_archives()
layout_archives()
side_by_side_archive("many_members.zip", ["set0", "set1", "set2", "set3"])
side_by_side_archive("many_utf8_members.zip", ["Ünï", "cödé", "Ελλ", "ηνικά"], flags=0x800)
meeting_names_archive()
nested_archives()
overlapping_archives()
split_archives()
stream_archives()
disagreeing_archives()
overdeclared_archives()
# Listed last, b.txt is read from the first segment after ten others were.
rng = random.Random(27)
write_zip("many_segments.zip", [Member("a.txt", b"a"), Member("b.txt", b"b")] + [
    Member("%d.bin" % i, rng.randbytes(4000)) for i in range(10)], room=4096,
    order=[0, *range(2, 12), 1])
