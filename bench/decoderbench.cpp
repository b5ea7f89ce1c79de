// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Times pkunzip's decoders in-process on the first member of each archive
// given, and checks the member's CRC-32, e.g. the same data written by 7zz as
// Deflate64 and as Deflate:
//   decoderbench big-deflate64.zip big-deflate.zip
#include "inmemory.h"
#include "methods/methods.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace inMemory;

bool timeFirstMember(const char *archive)
{
    std::ifstream file(archive, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(file), {}};
    if (!localHeaderAt(bytes, 0)) {
        std::fprintf(stderr, "%s: no local header at the start\n", archive);
        return false;
    }
    CompressedMember member;
    member.method = static_cast<uint16_t>(littleEndian(bytes, 8, 2));
    member.compressedSize = littleEndian(bytes, 18, 4);
    member.uncompressedSize = littleEndian(bytes, 22, 4);
    const uint32_t crc = littleEndian(bytes, 14, 4);
    const size_t start =
        zip::localHeaderSize + littleEndian(bytes, 26, 2) + littleEndian(bytes, 28, 2);
    if (start + *member.compressedSize > bytes.size()) {
        std::fprintf(stderr, "%s: sizes missing from the local header\n", archive);
        return false;
    }
    std::vector<double> seconds;
    for (int run = 0; run < 5; ++run) {
        Input input(bytes.data() + start, *member.compressedSize);
        CrcOutput output;
        const auto begin = std::chrono::steady_clock::now();
        const Result<uint64_t> decoded = decodeMember(member, input, output);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        if (!decoded || output.crc != crc) {
            std::fprintf(stderr, "%s: %s\n", archive,
                         decoded ? "CRC-32 differs" : decoded.error().text.c_str());
            return false;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%s: method %u, %.1f MB out, median %.3f s, %.0f MB/s\n", archive, member.method,
                *member.uncompressedSize / 1e6, seconds[2],
                *member.uncompressedSize / 1e6 / seconds[2]);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    bool ok = argc > 1;
    for (int i = 1; i < argc; ++i)
        ok = timeFirstMember(argv[i]) && ok;
    return ok ? 0 : 1;
}
