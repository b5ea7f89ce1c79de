// Reads arbitrary bytes with pkunzip's ZIP reader alone, writing nothing:
// the central directory with each local header checked against it, and the
// walk over local headers. Names must be UTF-8 and data offsets inside the
// file; memory must follow the file's size, not what it declares
// (-rss_limit_mb).
#include "membername.h"
#include "zipreader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "reader fuzzer: %s\n", what.c_str());
    std::abort();
}

void checkEntry(const ArchiveFile &file, const ZipEntry &entry, uint64_t dataOffset)
{
    if (!memberName::isValidUtf8(entry.name))
        fail("a name that is not UTF-8");
    if (dataOffset > file.size)
        fail("data offset past the end of the file");
}

void readListed(const ArchiveFile &file)
{
    const Result<CentralDirectory> directory = readCentralDirectory(file);
    if (!directory)
        return;
    for (const ZipEntry &entry : directory->entries)
        if (const Result<uint64_t> dataOffset = locateData(file, entry))
            checkEntry(file, entry, *dataOffset);
}

void walkLocalHeaders(const ArchiveFile &file)
{
    for (auto offset = findLocalHeader(file, 0); offset;
         offset = findLocalHeader(file, *offset + 1))
        if (const Result<LocalEntry> walked = readLocalEntry(file, *offset))
            checkEntry(file, walked->entry, walked->dataOffset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int fd = ::memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        fail("cannot hold the input in memory");
    const ArchiveFile file{fd, size};
    readListed(file);
    walkLocalHeaders(file);
    ::close(fd);
    return 0;
}
