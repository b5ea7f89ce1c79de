// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Reads arbitrary bytes with pkunzip's ZIP reader alone, writing nothing:
// the central directory with each local header read beside it, and the
// walk over local headers. Names must be UTF-8 and data offsets inside the
// file; members accepted from the central directory must share no byte and
// end before it; memory must follow the file's size, not what it declares
// (-rss_limit_mb). An input whose end record counts several segments is read
// again as the last of them, after two segments made of the input itself:
// the first the whole input, the second its first half, cut short.
#include "base/utf8.h"
#include "zip/splitarchive.h"
#include "zip/zipreader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "reader fuzzer: %s\n", what.c_str());
    std::abort();
}

void checkEntry(const ByteSource &file, const ZipEntry &entry, uint64_t dataOffset)
{
    if (!utf8::isValid(entry.name))
        fail("a name that is not UTF-8");
    if (dataOffset > file.size())
        fail("data offset past the end of the file");
}

// Each extent runs from a member's local header to the end of its data.
void checkApart(std::vector<std::pair<uint64_t, uint64_t>> extents, uint64_t directoryStart)
{
    std::sort(extents.begin(), extents.end());
    for (size_t i = 0; i < extents.size(); ++i) {
        if (extents[i].second > directoryStart)
            fail("a member's data runs into the central directory");
        if (i > 0 && extents[i].first < extents[i - 1].second)
            fail("two members share bytes");
    }
}

// The number of segments the input's end record counts.
uint32_t readListed(const ByteSource &file)
{
    const Result<CentralDirectory> directory = readCentralDirectory(file);
    if (!directory)
        return 1;
    std::vector<std::pair<uint64_t, uint64_t>> extents;
    for (const ZipEntry &entry : directory->entries) {
        const Result<LocatedData> located = locateData(file, *directory, entry);
        if (!located)
            continue;
        checkEntry(file, entry, located->offset);
        checkEntry(file, located->local, located->offset);
        // Either header's sizes, unless refused, may be read.
        uint64_t size = 0;
        if (!located->centralOverlap)
            size = entry.compressedSize.value_or(0);
        if (!located->localOverlap)
            size = std::max(size, located->local.compressedSize.value_or(0));
        extents.emplace_back(entry.headerOffset,
                             located->offset + std::min(size, UINT64_MAX - located->offset));
    }
    checkApart(std::move(extents), directory->start);
    return directory->segments;
}

void walkLocalHeaders(const ByteSource &file)
{
    uint64_t descriptorSearchLeft = 4 * file.size();
    for (auto offset = findLocalHeader(file, 0); offset;
         offset = findLocalHeader(file, *offset + 1))
        if (const Result<LocalEntry> walked = readLocalEntry(file, *offset, descriptorSearchLeft))
            checkEntry(file, walked->entry, walked->dataOffset);
}

void writeSegment(const std::string &path, const uint8_t *data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0)
        fail("cannot write a segment");
}

std::string segmentFolder;

void removeFolder()
{
    ::unlink((segmentFolder + "/in.z01").c_str());
    ::unlink((segmentFolder + "/in.z02").c_str());
    ::rmdir(segmentFolder.c_str());
}

void readSplit(const ByteSource &last, const uint8_t *data, size_t size, uint32_t segments)
{
    if (segmentFolder.empty()) {
        const char *temporary = std::getenv("TMPDIR");
        segmentFolder =
            std::string(temporary != nullptr ? temporary : "/tmp") + "/vrillo-reader-fuzz-XXXXXX";
        if (::mkdtemp(segmentFolder.data()) == nullptr)
            fail("cannot make a folder for segments");
        std::atexit(removeFolder);
    }
    writeSegment(segmentFolder + "/in.z01", data, size);
    writeSegment(segmentFolder + "/in.z02", data, size / 2);
    const Result<std::unique_ptr<SplitArchive>> split =
        SplitArchive::find(segmentFolder + "/in.zip", last, segments);
    if (!split)
        return;
    readListed(**split);
    walkLocalHeaders(**split);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int fd = ::memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        fail("cannot hold the input in memory");
    const PlainFile file(fd, size);
    if (const uint32_t segments = readListed(file); segments > 1)
        readSplit(file, data, size, segments);
    walkLocalHeaders(file);
    ::close(fd);
    return 0;
}
