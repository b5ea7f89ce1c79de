// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Weighs the Deflate scratch size: every archive given is inflated member by
// member in a fresh child process (as pkunzip meets it: fresh memory, one
// scratch for all its members), once per scratch size, in interleaved rounds.
// Prints, per size, the median over rounds of the total time of all archives:
// processor time (user and system, page faults included), which other work on
// a shared machine disturbs far less than wall time.
// Size 0 streams everything through zlib. Archives are walked by their local
// headers, so they must carry their sizes there (as Python's zipfile writes).
//
// usage: inflatebench ROUNDS SIZE_KIB[,SIZE_KIB...] ARCHIVE...

#include "inmemory.h"
#include "methods/deflate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace inMemory;

// Inflates every Deflate member; false on any failure or bad CRC.
bool inflateArchive(const Bytes &archive, size_t scratch)
{
    size_t at = 0;
    while (localHeaderAt(archive, at)) {
        const size_t compressed = littleEndian(archive, at + 18, 4);
        CompressedMember member;
        member.method = static_cast<uint16_t>(littleEndian(archive, at + 8, 2));
        member.compressedSize = compressed;
        member.uncompressedSize = littleEndian(archive, at + 22, 4);
        const size_t data = at + zip::localHeaderSize + littleEndian(archive, at + 26, 2) +
                            littleEndian(archive, at + 28, 2);
        if (member.method == zip::deflated) {
            Input input(archive.data() + data, compressed);
            CrcOutput output;
            if (!inflateMemberWithin(member, input, output, scratch) ||
                output.crc != littleEndian(archive, at + 14, 4))
                return false;
        }
        at = data + compressed;
    }
    return true;
}

double processorMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// The time one fresh process takes to inflate the archive, in microseconds.
double timeInFreshProcess(const Bytes &archive, size_t scratch)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        const double start = processorMicroseconds();
        const bool ok = inflateArchive(archive, scratch);
        const double result = ok ? processorMicroseconds() - start : -1;
        _exit(write(pipeEnds[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(pipeEnds[1]);
    double result = -1;
    if (read(pipeEnds[0], &result, sizeof result) != sizeof result)
        result = -1;
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ROUNDS SIZE_KIB[,SIZE_KIB...] ARCHIVE...\n", argv[0]);
        return 2;
    }
    const int rounds = std::stoi(argv[1]);
    std::vector<size_t> sizes;
    for (char *item = std::strtok(argv[2], ","); item; item = std::strtok(nullptr, ","))
        sizes.push_back(std::stoul(item) * 1024);
    std::vector<Bytes> archives;
    for (int i = 3; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        archives.emplace_back(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
    }
    std::vector<std::vector<double>> totals(sizes.size());
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> sums(sizes.size());
        for (const Bytes &archive : archives) {
            for (size_t k = 0; k < sizes.size(); ++k) {
                const size_t which = (k + static_cast<size_t>(round)) % sizes.size();
                const double took = timeInFreshProcess(archive, sizes[which]);
                if (took < 0) {
                    std::fprintf(stderr, "inflating failed\n");
                    return 1;
                }
                sums[which] += took;
            }
        }
        for (size_t k = 0; k < sizes.size(); ++k)
            totals[k].push_back(sums[k]);
    }
    for (size_t k = 0; k < sizes.size(); ++k) {
        std::sort(totals[k].begin(), totals[k].end());
        std::printf("scratch %6zu KiB: %9.1f ms (median of %d rounds)\n", sizes[k] / 1024,
                    totals[k][totals[k].size() / 2] / 1000, rounds);
    }
}
