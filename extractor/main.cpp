// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "extract.h"
#include "report.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

const char usage[] = "usage: pkunzip ARCHIVE TARGET\n"
                     "Extracts every member of the ZIP archive ARCHIVE into the directory TARGET,\n"
                     "which is created if missing. Nothing that exists is ever replaced.\n"
                     "Exit status: 0 all members written, 1 some member skipped or failed,\n"
                     "2 the archive cannot be read as a ZIP or the arguments are wrong.\n";

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return Report::allWritten;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("pkunzip " PKUNZIP_VERSION);
        return Report::allWritten;
    }
    if (argc != 3) {
        std::fputs(usage, stderr);
        return Report::archiveUnreadable;
    }
    // Buffers of a few hundred KB would each be a fresh mapping, faulted in
    // and unmapped again per member; from the heap they are reused.
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    // A reader of our output that goes away must not stop an extraction
    // half-way.
    std::signal(SIGPIPE, SIG_IGN);
    Report report(argv[1]);
    return extractArchive(argv[1], argv[2], report);
}
