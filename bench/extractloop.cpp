// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Times pkunzip's own extraction code run over every archive in one process,
// each archive into a new folder of its own, next to `cp -r` of the tree it
// wrote: no process start-up, so what is left is the reader against the file
// system's own floor. Between passes the output is removed and the disk left
// to settle, untimed. Prints each round, the medians and the median of the
// rounds' ratios.
//
// usage: extractloop [--rounds N] SCRATCH_DIR ARCHIVE...
#include "extract.h"
#include "timing.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// Writes the members' lines to /dev/null and the problems to standard error;
// gives the number of archives not extracted whole.
int extractAll(const std::vector<std::string> &archives, const fs::path &output)
{
    std::FILE *discard = std::fopen("/dev/null", "w");
    int failures = 0;
    for (size_t i = 0; i < archives.size(); ++i) {
        Report report(archives[i], discard, stderr);
        if (extractArchive(archives[i], output / std::to_string(i), report) != Report::allWritten)
            ++failures;
    }
    std::fclose(discard);
    return failures;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    int a = 1;
    if (argc > 2 && std::string(argv[1]) == "--rounds") {
        rounds = std::atoi(argv[2]);
        a = 3;
    }
    if (argc - a < 2 || rounds < 1) {
        std::fputs("usage: extractloop [--rounds N] SCRATCH_DIR ARCHIVE...\n", stderr);
        return 2;
    }
    const fs::path extracted = fs::path(argv[a]) / "extracted";
    const fs::path copy = fs::path(argv[a]) / "copy";
    const std::vector<std::string> archives(argv + a + 1, argv + argc);
    readIntoCache(archives);
    std::vector<double> extractSeconds;
    std::vector<double> copySeconds;
    std::vector<double> ratios;
    int failures = 0;
    std::printf("%zu archives; wall time in s\n%-8s %9s %9s %9s\n", archives.size(), "round",
                "extract", "cp -r", "ratio");
    for (int r = 0; r < rounds; ++r) {
        removeAndSettle(extracted);
        removeAndSettle(copy);
        extractSeconds.push_back(
            secondsTaken([&] { failures += extractAll(archives, extracted); }));
        sync();
        copySeconds.push_back(secondsTaken([&] {
            if (!runQuietly({"/bin/cp", "-r", extracted.string(), copy.string()}))
                ++failures;
        }));
        ratios.push_back(extractSeconds.back() / copySeconds.back());
        std::printf("%-8d %9.3f %9.3f %9.3f\n", r + 1, extractSeconds.back(), copySeconds.back(),
                    ratios.back());
    }
    removeAndSettle(extracted);
    removeAndSettle(copy);
    std::printf("%-8s %9.3f %9.3f %9.3f\nfailures %d\n", "median", median(extractSeconds),
                median(copySeconds), median(ratios), failures);
    return failures == 0 ? 0 : 1;
}
